#pragma once

#include <filesystem>
#include <string>

namespace skiff::media {

// What a file name's extension tells us about the file; the extension is
// compared without regard to ASCII case and the file itself is never opened.

// True for pictures, videos and PDFs, the kinds we can draw a preview of.
bool canThumb(const std::filesystem::path& file);

// True for video containers.
bool isVideo(const std::filesystem::path& file);

// "image", "video" or "file".
std::string fileKind(const std::filesystem::path& file);

// Content-Type for showing a shared file inside the phone's browser.
std::string inlineMimeType(const std::filesystem::path& file);

}  // namespace skiff::media
