#include "media/video_probe.hpp"

#include <cmath>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/log.h>
}

namespace skiff::media {
namespace {

struct FormatCloser {
    void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
using FormatContext = std::unique_ptr<AVFormatContext, FormatCloser>;

// Owns the option set handed to avformat_open_input, which may replace it with the options
// it did not use.
struct OpenOptions {
    AVDictionary* entries = nullptr;
    OpenOptions() = default;
    OpenOptions(const OpenOptions&) = delete;
    OpenOptions& operator=(const OpenOptions&) = delete;
    ~OpenOptions() { av_dict_free(&entries); }
};

// Files come from phones, so FFmpeg may only read the file itself and only through the
// ordinary video demuxers: playlist and concat formats could otherwise pull in other files.
constexpr const char* kAllowedDemuxers = "mov,matroska,avi,mpeg,mpegts,asf,flv,ogg";

void silenceLogging() {
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_QUIET); });
}

FormatContext openContainer(const std::filesystem::path& file) {
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(file, error);
    if (error) return nullptr;
    // Spelled as a file: URL so a ':' in the name is never taken for a protocol.
    std::string url = "file:" + absolute.string();

    OpenOptions options;
    if (av_dict_set(&options.entries, "protocol_whitelist", "file", 0) < 0 ||
        av_dict_set(&options.entries, "format_whitelist", kAllowedDemuxers, 0) < 0) {
        return nullptr;
    }

    AVFormatContext* raw = nullptr;
    // On failure FFmpeg frees the context itself and leaves raw null.
    if (avformat_open_input(&raw, url.c_str(), nullptr, &options.entries) < 0) return nullptr;
    return FormatContext(raw);
}

std::optional<double> positiveFinite(double seconds) {
    if (std::isfinite(seconds) && seconds > 0) return seconds;
    return std::nullopt;
}

}  // namespace

std::optional<double> probeVideoDuration(const std::filesystem::path& file) {
    silenceLogging();
    FormatContext context = openContainer(file);
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
    if (stream->duration == AV_NOPTS_VALUE || stream->duration <= 0) return std::nullopt;
    return positiveFinite(static_cast<double>(stream->duration) * av_q2d(stream->time_base));
}

}  // namespace skiff::media
