#include "server/zip_plan.hpp"

#include <sys/stat.h>
#include <unicode/locid.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <ctime>
#include <map>
#include <set>

#include "server/file_names.hpp"

namespace skiff::server {

namespace {

constexpr std::int64_t sizeFilter = 214748364800;

std::string lowerCase(const std::string& text) {
    icu::UnicodeString unicode = icu::UnicodeString::fromUTF8(text);
    unicode.toLower(icu::Locale::getRoot());  // full case mapping
    std::string out;
    unicode.toUTF8String(out);
    return out;
}

}  // namespace

std::variant<ZipPlan, ZipRefusal> planArchive(const std::vector<SharedFile>& shared) {
    std::vector<const SharedFile*> kept;
    for (const SharedFile& file : shared)
        if (file.size <= sizeFilter) kept.push_back(&file);
    if (kept.empty()) return ZipRefusal::noFiles;

    ZipPlan plan;
    std::set<std::string> used;
    // Where the search for a free number goes on for each name: numbers below it are taken
    // for good, so thousands of equal names cost no more than one pass each.
    std::map<std::string, int> nextNumber;
    for (const SharedFile* file : kept) {
        std::string name = file->name;
        if (used.count(lowerCase(name))) {
            NameParts parts = splitExtension(file->name);
            int& n = nextNumber.try_emplace(lowerCase(file->name), 2).first->second;
            for (;; ++n) {
                name = numberedName(parts, n);
                if (!used.count(lowerCase(name))) break;
            }
        }
        used.insert(lowerCase(name));

        struct stat info {};
        std::int64_t size = file->size;
        std::time_t modified = std::time(nullptr);
        if (::stat(file->url.c_str(), &info) == 0) {
            size = static_cast<std::int64_t>(info.st_size);
            modified = info.st_mtim.tv_sec;
        }
        size = std::max<std::int64_t>(size, 0);
        plan.entries.push_back({*file, std::move(name), size, dosTimestamp(modified),
                                static_cast<std::size_t>(file - shared.data())});
    }
    plan.total = archiveLength(plan.entries);
    return plan;
}

std::int64_t archiveLength(const std::vector<ZipEntry>& entries) {
    std::uint64_t offset = 0;  // of the next local header, then of the central directory
    std::uint64_t directory = 0;
    for (const ZipEntry& entry : entries) {
        auto size = static_cast<std::uint64_t>(entry.size);
        directory += centralDirectoryRecordLength(entry.name.size(), size, offset);
        offset +=
            localFileHeaderLength(entry.name.size(), size) + size + dataDescriptorLength(size);
    }
    return static_cast<std::int64_t>(
        offset + directory + endOfCentralDirectoryLength(entries.size(), directory, offset));
}

}  // namespace skiff::server
