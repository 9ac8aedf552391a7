#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

namespace skiff::media {

// When a photo or video was taken, in seconds since 1970: a picture's EXIF DateTimeOriginal
// (with its OffsetTimeOriginal, else read as the computer's local time) or a video's
// creation time. Nothing when the file does not say, or says something implausible.
std::optional<double> captureDate(const std::filesystem::path& file);

// "2021:05:06 07:08:09" (EXIF) or "2021-05-06T07:08:09[.fff][Z|+07:00|+0700]" (ISO 8601) in
// seconds since 1970. `offset` ("+07:00") applies when the stamp has none; with neither, the
// stamp is the computer's local time.
std::optional<double> parseCaptureStamp(std::string_view stamp, std::string_view offset = {});

}  // namespace skiff::media
