#pragma once

#include <filesystem>
#include <optional>

#include "media/bitmap.hpp"

namespace skiff::media {

// The picture, or a PDF's first page, shrunk to fit within side x side pixels with its
// aspect kept and turned upright by its orientation tag; never enlarged. None when the file
// is missing, truncated, corrupt or of a format we do not read.
std::optional<Bitmap> thumbnailPicture(const std::filesystem::path& file, int side);

}  // namespace skiff::media
