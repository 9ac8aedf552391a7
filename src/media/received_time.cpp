#include "media/received_time.hpp"

#include <cmath>

#include "media/file_kinds.hpp"
#include "media/sandboxed_decoders.hpp"

namespace skiff::media {
namespace {

constexpr double kPickWindowSeconds = 60;

}  // namespace

double receivedFileTime(const std::filesystem::path& file, double sentSeconds,
                        double uploadStartSeconds) {
    if (std::fabs(sentSeconds - uploadStartSeconds) > kPickWindowSeconds) return sentSeconds;
    std::string kind = fileKind(file);
    if (kind != "image" && kind != "video") return sentSeconds;
    return sandboxedCaptureDate(file).value_or(sentSeconds);
}

}  // namespace skiff::media
