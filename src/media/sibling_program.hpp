#pragma once

#include <filesystem>

namespace skiff::media {

// Where one of Skiff's own helper programs (the decoder, the window) is: beside the running
// executable (the build tree), else in ../libexec/skiff (an installed package), else `fallback`.
std::filesystem::path siblingProgram(const char* name, const std::filesystem::path& fallback);

}  // namespace skiff::media
