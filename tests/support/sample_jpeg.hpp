#pragma once

#include <filesystem>

namespace skiff::test {

// A small grey progressive JPEG whose header claims width x height pixels (up to 65,535 a
// side): decoding it as the header says would take gigabytes.
bool writeJpegClaiming(const std::filesystem::path& file, int width, int height);

}  // namespace skiff::test
