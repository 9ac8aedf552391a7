#pragma once

#include <cstdint>
#include <vector>

namespace skiff::app {

// 8-bit grey pixels, rows top to bottom without padding: 0 is black, 255 white.
struct GreyImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;
};

}  // namespace skiff::app
