#include "media/sandboxed_decoders.hpp"

#include <string>

#include "media/decoder_answer.hpp"
#include "media/decoder_limits.hpp"
#include "media/decoder_process.hpp"
#include "media/file_kinds.hpp"

namespace skiff::media {
namespace {

// Seconds since 1970 up to the end of year 9999.
constexpr double kLatestDate = 253402300799.0;
constexpr double kLongestVideo = 1e9;
constexpr std::size_t kSecondsAnswerBytes = 64;

}  // namespace

std::optional<Bitmap> sandboxedThumbnail(const std::filesystem::path& file, int side) {
    if (side <= 0 || !canThumb(file)) return std::nullopt;
    std::size_t most = static_cast<std::size_t>(side) * side * 4 + 64;
    std::optional<std::string> answer = DecoderProcess::shared().run(
        {"thumbnail", std::to_string(side), file.string()}, kThumbnailDeadline, most);
    if (!answer) return std::nullopt;
    return readBitmapAnswer(*answer, side);
}

std::optional<double> sandboxedDuration(const std::filesystem::path& file) {
    std::optional<std::string> answer = DecoderProcess::shared().run(
        {"duration", file.string()}, kProbeDeadline, kSecondsAnswerBytes);
    if (!answer) return std::nullopt;
    std::optional<double> seconds = readSecondsAnswer(*answer, 0, kLongestVideo);
    if (seconds && *seconds <= 0) return std::nullopt;
    return seconds;
}

std::optional<double> sandboxedCaptureDate(const std::filesystem::path& file) {
    std::optional<std::string> answer =
        DecoderProcess::shared().run({"date", file.string()}, kProbeDeadline, kSecondsAnswerBytes);
    if (!answer) return std::nullopt;
    return readSecondsAnswer(*answer, 0, kLatestDate);
}

}  // namespace skiff::media
