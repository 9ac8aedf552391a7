#include "media/video_container.hpp"

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

}  // namespace

void VideoContainerCloser::operator()(AVFormatContext* context) const {
    avformat_close_input(&context);
}

VideoContainer openVideoContainer(const std::filesystem::path& file) {
    silenceLogging();
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
    return VideoContainer(raw);
}

}  // namespace skiff::media
