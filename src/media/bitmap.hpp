#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace skiff::media {

// Decoded 8-bit sRGB pixels, rows top to bottom with no padding: RGB, or RGBA when the
// picture has transparency.
struct Bitmap {
    int width = 0;
    int height = 0;
    int channels = 3;
    std::vector<std::uint8_t> pixels;
};

}  // namespace skiff::media
