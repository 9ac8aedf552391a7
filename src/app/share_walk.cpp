#include "app/share_walk.hpp"

#include <algorithm>

namespace skiff::app {

namespace {

void walk(const std::filesystem::path& path, bool followedFromFolder,
          std::vector<std::filesystem::path>& out, std::vector<std::filesystem::path>* skipped) {
    std::error_code error;
    auto status = std::filesystem::status(path, error);
    if (error || !std::filesystem::exists(status)) return;
    if (std::filesystem::is_directory(status)) {
        if (followedFromFolder &&
            std::filesystem::is_symlink(std::filesystem::symlink_status(path, error)))
            return;
        std::vector<std::filesystem::path> entries;
        for (auto it = std::filesystem::directory_iterator(path, error);
             !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
            std::string name = it->path().filename().string();
            if (!name.empty() && name.front() != '.') entries.push_back(it->path());
        }
        std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
            return a.filename().string() < b.filename().string();
        });
        for (const auto& entry : entries) walk(entry, true, out, skipped);
        return;
    }
    if (!std::filesystem::is_regular_file(status)) {
        if (skipped) skipped->push_back(path);
        return;
    }
    out.push_back(path);
}

}  // namespace

std::vector<std::filesystem::path> filesToShare(const std::filesystem::path& path,
                                                std::vector<std::filesystem::path>* skipped) {
    std::vector<std::filesystem::path> out;
    walk(path, false, out, skipped);
    return out;
}

}  // namespace skiff::app
