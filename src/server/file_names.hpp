#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace skiff::server {

// A file name a phone sent, made safe to store: NFC, last path piece only, no control
// characters, direction marks or ":", no leading dots, trimmed, "file" when nothing is left, long
// names cut.
std::string cleanFileName(std::string_view name);

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

// `destination` when nothing is there, else the first free `name (n).ext` for n = 2..9999
// (an existing " (n)" ending is dropped first), else a random UUID name.
std::filesystem::path uniqueDestination(const std::filesystem::path& destination);

// Renames without ever replacing an existing file; fails with EEXIST on a clash.
std::error_code moveWithoutReplacing(const std::filesystem::path& from,
                                     const std::filesystem::path& to);

}  // namespace skiff::server
