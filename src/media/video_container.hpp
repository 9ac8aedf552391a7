#pragma once

#include <filesystem>
#include <memory>

struct AVFormatContext;

namespace skiff::media {

struct VideoContainerCloser {
    void operator()(AVFormatContext* context) const;
};
using VideoContainer = std::unique_ptr<AVFormatContext, VideoContainerCloser>;

// Opens a video file for FFmpeg to read, allowing only the file itself and the ordinary
// video demuxers; null when it cannot be opened as one. Safe to call from several threads.
VideoContainer openVideoContainer(const std::filesystem::path& file);

}  // namespace skiff::media
