#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace skiff::server {

// A file name a phone sent, made safe to store: NFC, last path piece only, no control
// characters, direction marks or ":", no leading dots, trimmed, "file" when nothing is left, long
// names cut.
std::string cleanFileName(std::string_view name);

// The name a text from a phone is stored under: its first few words, cleaned as file names
// are, with ".txt"; "Văn bản.txt" when no word is left.
std::string textFileName(std::string_view text);

// The folder part of a file's place in a picked or dropped folder ("Ảnh/2024/"), each folder
// cleaned as names are. Empty, ".", "..", hidden and reserved folders are refused, as are more
// than `folderDepthLimit` folders or more than `folderPathBytes` bytes.
constexpr std::size_t folderDepthLimit = 32;
constexpr std::size_t folderPathBytes = 4096;
struct FolderPath {
    enum class Refusal { none, empty, dots, hidden, reserved, tooDeep, tooLong };
    std::vector<std::string> folders;  // cleaned, outermost first; none for a plain file
    Refusal refusal = Refusal::none;
    std::string text() const;  // "a/b/", or empty
};
FolderPath cleanFolderPath(std::string_view path);
// A short English code for a refusal ("hidden", "too deep").
const char* refusalCode(FolderPath::Refusal refusal);

// Cuts a name at grapheme boundaries, keeping its extension where it can, so that it plus a
// " (9999)" counter fits the file system's 255-byte limit.
std::string fitNameLength(const std::string& name);

// The name split by the path-extension rule: the extension follows the last "."; a name
// without one, or whose only "." comes first (".profile"), has none.
struct NameParts {
    std::string base;
    std::string extension;  // without the dot; empty when there is none
};
NameParts splitExtension(const std::string& name);

// `{base} ({n}).{ext}`, or `{base} ({n})` without an extension.
std::string numberedName(const NameParts& parts, int n);

// `name` when `taken` says it is free, else the first free `name (n).ext` for n = 2..9999
// (an existing " (n)" ending is dropped first), else a random UUID name. A folder's name
// (`wholeName`) keeps its dots: "Ảnh.2024" goes on as "Ảnh.2024 (2)".
std::string uniqueName(const std::string& name,
                       const std::function<bool(const std::string&)>& taken,
                       bool wholeName = false);

// `destination` when nothing is there, else the first free `name (n).ext` for n = 2..9999
// (an existing " (n)" ending is dropped first), else a random UUID name.
std::filesystem::path uniqueDestination(const std::filesystem::path& destination);

// Moves `from` to `destination`, or to the next free name after it when another file takes
// the name meanwhile; where it went, or nothing when `attempts` moves all failed.
std::optional<std::filesystem::path> moveToFreeName(const std::filesystem::path& from,
                                                    std::filesystem::path destination,
                                                    int attempts = 5);

// Makes the folder's entries durable, a rename into it among them.
bool syncFolder(const std::filesystem::path& folder);

// Renames without ever replacing an existing file; fails with EEXIST on a clash.
std::error_code moveWithoutReplacing(const std::filesystem::path& from,
                                     const std::filesystem::path& to);
// The same between names in two open folders; neither name is followed if it is a link.
std::error_code moveWithoutReplacingAt(int fromDir, const char* from, int toDir, const char* to);

}  // namespace skiff::server
