#pragma once

#include <optional>
#include <string>

#include "media/bitmap.hpp"

namespace skiff::media {

// The bitmap as baseline JPEG bytes at quality 1-100 with no metadata; transparency is laid
// over white. None when the bitmap is malformed or the encoder fails.
std::optional<std::string> encodeJpeg(const Bitmap& bitmap, int quality);

}  // namespace skiff::media
