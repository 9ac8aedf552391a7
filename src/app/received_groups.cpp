#include "app/received_groups.hpp"

#include <algorithm>
#include <map>

namespace skiff::app {

namespace {

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

// "Ảnh/2024/" below the receive folder: the file's top folder is two levels above it.
std::filesystem::path topFolder(const server::ReceivedFile& file) {
    std::filesystem::path top = file.url.parent_path();
    for (std::size_t levels = std::count(file.folder.begin(), file.folder.end(), '/'); levels > 1;
         --levels)
        top = top.parent_path();
    return top;
}

}  // namespace

std::vector<FileEntry> groupReceived(const std::vector<ReceivedItem>& items) {
    std::vector<FileEntry> entries;
    std::map<std::filesystem::path, std::size_t> folders;  // top folder -> its entry
    for (const auto& item : items) {
        const server::ReceivedFile& file = item.file;
        if (file.text) continue;  // texts have cards of their own
        std::optional<QString> warning;
        if (file.maybeConverted) warning = qs(*file.maybeConverted);
        if (file.folder.empty()) {
            entries.push_back({"r" + item.id, file.url, qs(file.url.filename().string()), file.size,
                               qs(file.device), warning, false});
            continue;
        }
        std::filesystem::path top = topFolder(file);
        auto [found, fresh] = folders.try_emplace(top, entries.size());
        if (fresh)
            entries.push_back(
                {"", top, qs(top.filename().string()), 0, qs(file.device), std::nullopt, false});
        FileEntry& entry = entries[found->second];
        entry.id = "r" + item.id;  // items run newest first: the last one seen is the first file
        entry.size += file.size;
        ++entry.files;
        if (!entry.warning) entry.warning = warning;
    }
    return entries;
}

}  // namespace skiff::app
