#pragma once

#include <filesystem>
#include <optional>

#include "media/bitmap.hpp"

namespace skiff::media {

// An RGB still of the video fitted within side x side pixels, upright as the video is meant
// to be shown and never enlarged. The frame comes from about a tenth of the way in (at most
// three seconds), skipping past near-black frames, so fade-ins do not give black tiles.
// None when the file cannot be decoded.
std::optional<Bitmap> thumbnailVideo(const std::filesystem::path& file, int side);

}  // namespace skiff::media
