#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "server/records.hpp"
#include "server/zip_layout.hpp"

namespace skiff::server {

struct ZipEntry {
    SharedFile file;
    std::string name;   // unique in the archive without regard to case
    std::int64_t size;  // when planned
    DosTimestamp stamp;
    std::size_t sharedIndex;  // the file's place in the shared list it was planned from
};

struct ZipPlan {
    std::vector<ZipEntry> entries;
    std::int64_t total = 0;  // the exact archive length
};

enum class ZipRefusal { noFiles };

// Plans the archive of the shared files from their sizes alone, so its length is known
// before a byte is read. Archives past the 32-bit limits get ZIP64 records where needed.
std::variant<ZipPlan, ZipRefusal> planArchive(const std::vector<SharedFile>& shared);

// The exact length of the archive of these entries, read from names and sizes alone.
std::int64_t archiveLength(const std::vector<ZipEntry>& entries);

}  // namespace skiff::server
