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
};

struct ZipPlan {
    std::vector<ZipEntry> entries;
    std::int64_t total = 0;  // the exact archive length
};

enum class ZipRefusal { noFiles, tooLarge, tooManyEntries };

// Plans the archive of the shared files from their sizes alone, so its length is known
// before a byte is read.
std::variant<ZipPlan, ZipRefusal> planArchive(const std::vector<SharedFile>& shared);

// Archive lengths and entry sizes must stay below this for the 32-bit format.
constexpr std::int64_t zipLimit = 4294967294;

}  // namespace skiff::server
