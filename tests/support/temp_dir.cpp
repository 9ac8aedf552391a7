#include "support/temp_dir.hpp"

#include <cstdlib>
#include <stdexcept>
#include <string>

namespace skiff::test {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "skiff-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    m_path = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

}  // namespace skiff::test
