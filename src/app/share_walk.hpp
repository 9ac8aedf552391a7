#pragma once

#include <filesystem>
#include <vector>

namespace skiff::app {

// The files a share of `path` adds: the file itself, or every visible file of a folder's
// tree, depth first, names in code-point order. Links to folders are not followed (a link
// back to a parent would never end); a link to a file counts as that file.
std::vector<std::filesystem::path> filesToShare(const std::filesystem::path& path);

}  // namespace skiff::app
