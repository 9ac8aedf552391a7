#include "server/zip_plan.hpp"

#include <sys/stat.h>
#include <unicode/locid.h>
#include <unicode/unistr.h>

#include <ctime>
#include <map>
#include <set>

#include "server/file_names.hpp"

namespace skiff::server {

namespace {

constexpr std::int64_t sizeFilter = 214748364800;
constexpr std::size_t maxEntries = 65535;  // the end record counts entries in 16 bits

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
    if (kept.size() > maxEntries) return ZipRefusal::tooManyEntries;

    ZipPlan plan;
    std::set<std::string> used;
    // Where the search for a free number goes on for each name: numbers below it are taken
    // for good, so thousands of equal names cost no more than one pass each.
    std::map<std::string, int> nextNumber;
    plan.total = 22;
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
        auto n = static_cast<std::int64_t>(name.size());
        plan.total += 30 + n + size + 16 + 46 + n;
        if (size >= zipLimit) return ZipRefusal::tooLarge;
        plan.entries.push_back({*file, std::move(name), size, dosTimestamp(modified)});
    }
    if (plan.total >= zipLimit) return ZipRefusal::tooLarge;
    return plan;
}

}  // namespace skiff::server
