#pragma once

#include <filesystem>
#include <optional>

namespace skiff::media {

// Length of a video file in seconds, read from its container; none when the file cannot
// be opened as a video container or reports no positive finite length. Safe to call from
// several threads at once.
std::optional<double> probeVideoDuration(const std::filesystem::path& file);

}  // namespace skiff::media
