#include "media/video_probe.hpp"

#include <cmath>

extern "C" {
#include <libavformat/avformat.h>
}

#include "media/video_container.hpp"

namespace skiff::media {
namespace {

std::optional<double> positiveFinite(double seconds) {
    if (std::isfinite(seconds) && seconds > 0) return seconds;
    return std::nullopt;
}

}  // namespace

std::optional<double> probeVideoDuration(const std::filesystem::path& file) {
    VideoContainer context = openVideoContainer(file);
    if (!context) return std::nullopt;

    // Most containers state their length in the header; the rest need their packets read.
    if (context->duration == AV_NOPTS_VALUE || context->duration <= 0) {
        if (avformat_find_stream_info(context.get(), nullptr) < 0) return std::nullopt;
    }
    if (context->duration != AV_NOPTS_VALUE && context->duration > 0) {
        return positiveFinite(static_cast<double>(context->duration) / AV_TIME_BASE);
    }

    int index = av_find_best_stream(context.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (index < 0) return std::nullopt;
    const AVStream* stream = context->streams[index];
    // An unknown length (AV_NOPTS_VALUE) is negative, so it ends as nothing too.
    return positiveFinite(static_cast<double>(stream->duration) * av_q2d(stream->time_base));
}

}  // namespace skiff::media
