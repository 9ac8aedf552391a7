#pragma once

#include <filesystem>
#include <optional>

#include "media/bitmap.hpp"

namespace skiff::media {

// A preview of a picture, PDF or video fitted within side x side pixels, never enlarged,
// chosen by the file's name; none for other files or when the file cannot be decoded.
std::optional<Bitmap> makeThumbnail(const std::filesystem::path& file, int side);

}  // namespace skiff::media
