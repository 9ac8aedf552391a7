#pragma once

#include <filesystem>
#include <vector>

namespace skiff::app {

// The files a share of `path` adds: the file itself, or every visible file of a folder's
// tree, depth first, names in code-point order. Links to folders are not followed (a link
// back to a parent would never end); a link to a file counts as that file. Only regular
// files are shared: pipes, sockets and devices go to `skipped` when it is given.
std::vector<std::filesystem::path> filesToShare(const std::filesystem::path& path,
                                                std::vector<std::filesystem::path>* skipped = nullptr);

}  // namespace skiff::app
