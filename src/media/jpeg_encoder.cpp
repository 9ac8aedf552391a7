#include "media/jpeg_encoder.hpp"

#include <memory>

#include <vips/vips.h>

#include "media/vips_runtime.hpp"

namespace skiff::media {
namespace {

using Image = VipsImagePtr;
using GFree = GlibFree;

std::optional<std::string> encode(const Bitmap& bitmap, int quality) {
    // Wraps the pixels without copying; they outlive every image made from them here.
    Image image(vips_image_new_from_memory(bitmap.pixels.data(), bitmap.pixels.size(), bitmap.width,
                                           bitmap.height, bitmap.channels, VIPS_FORMAT_UCHAR));
    if (!image) return std::nullopt;
    image->Type = VIPS_INTERPRETATION_sRGB;
    if (bitmap.channels == 4) {
        VipsArrayDouble* white = vips_array_double_newv(1, 255.0);
        VipsImage* flat = nullptr;
        int failed = vips_flatten(image.get(), &flat, "background", white, nullptr);
        vips_area_unref(VIPS_AREA(white));
        if (failed) return std::nullopt;
        image.reset(flat);
    }
    void* bytes = nullptr;
    std::size_t length = 0;
    if (vips_jpegsave_buffer(image.get(), &bytes, &length, "Q", quality, "strip", TRUE, nullptr) !=
        0) {
        return std::nullopt;
    }
    std::unique_ptr<void, GFree> owned(bytes);
    return std::string(static_cast<const char*>(bytes), length);
}

}  // namespace

std::optional<std::string> encodeJpeg(const Bitmap& bitmap, int quality) {
    bool wellFormed = bitmap.width > 0 && bitmap.height > 0 &&
                      (bitmap.channels == 3 || bitmap.channels == 4) &&
                      bitmap.pixels.size() ==
                          static_cast<std::size_t>(bitmap.width) * bitmap.height * bitmap.channels;
    if (!wellFormed || quality < 1 || quality > 100 || !ensureVips()) return std::nullopt;
    std::optional<std::string> jpeg = encode(bitmap, quality);
    if (!jpeg) clearVipsError();
    return jpeg;
}

}  // namespace skiff::media
