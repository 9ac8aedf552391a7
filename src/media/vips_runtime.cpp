#include "media/vips_runtime.hpp"

#include <array>
#include <mutex>

#include <vips/vips.h>

namespace skiff::media {
namespace {

// Loaders for the picture formats we show, and nothing else: files come from phones, and
// libvips would otherwise pick among dozens of parsers by sniffing the bytes, whatever the
// name says. ImageMagick, which reads hundreds of formats (some able to pull in other
// files), is there only for BMP and only from memory: the picture thumbnailer hands it
// bytes it has checked itself, so a file swapped after the check never reaches it.
constexpr std::array kAllowedLoaders = {
    "VipsForeignLoadJpeg",          "VipsForeignLoadPng",  "VipsForeignLoadWebp",
    "VipsForeignLoadNsgif",         "VipsForeignLoadTiff", "VipsForeignLoadHeif",
    "VipsForeignLoadJxl",           "VipsForeignLoadPdf",  "VipsForeignLoadMagickBuffer",
    "VipsForeignLoadMagick7Buffer",
};

void ignoreLog(const gchar*, GLogLevelFlags, const gchar*, gpointer) {}

bool start() {
    if (VIPS_INIT("skiff") != 0) {
        clearVipsError();
        return false;
    }
    // We bound parallelism ourselves, a few thumbnails at a time, so each libvips operation
    // keeps to its own thread rather than starting a team per picture.
    vips_concurrency_set(1);
    // The operation cache would hold decoded pictures beyond the limits of our own caches.
    vips_cache_set_max(0);
    vips_operation_block_set("VipsForeignLoad", TRUE);
    for (const char* loader : kAllowedLoaders) vips_operation_block_set(loader, FALSE);
    // Odd but readable files (an unknown colour profile, say) make libvips warn on stderr,
    // which is the terminal the user is looking at.
    g_log_set_handler("VIPS",
                      static_cast<GLogLevelFlags>(G_LOG_LEVEL_WARNING | G_LOG_LEVEL_MESSAGE),
                      ignoreLog, nullptr);
    return true;
}

}  // namespace

bool ensureVips() {
    static std::once_flag once;
    static bool started = false;
    std::call_once(once, [] { started = start(); });
    return started;
}

void clearVipsError() {
    vips_error_clear();
}

}  // namespace skiff::media
