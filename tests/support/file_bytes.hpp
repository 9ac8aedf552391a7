#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace skiff::test {

// The whole content of a file; empty when it cannot be read.
inline std::string readBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace skiff::test
