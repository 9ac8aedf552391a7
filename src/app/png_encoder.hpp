#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

#include "app/grey_image.hpp"

namespace skiff::app {

// The image as a PNG file's bytes; nothing when the image is empty or inconsistent.
std::optional<std::vector<std::uint8_t>> encodePng(const GreyImage& image);

// Writes the image as a PNG file; false when it cannot be encoded or written.
bool writePng(const GreyImage& image, const std::filesystem::path& file);

}  // namespace skiff::app
