#include "server/zip_layout.hpp"

#include <algorithm>

namespace skiff::server {

namespace {

constexpr std::uint16_t versionNeeded = 20;
constexpr std::uint16_t versionMadeBy = 0x0314;        // Unix, ZIP 2.0
constexpr std::uint16_t flags = 0x0808;                // sizes in a descriptor, UTF-8 names
constexpr std::uint32_t regularFileMode = 0x81A40000;  // -rw-r--r--

void put16(std::string& out, std::uint16_t value) {
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>(value >> 8);
}

void put32(std::string& out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) out += static_cast<char>((value >> shift) & 0xFF);
}

}  // namespace

DosTimestamp dosTimestamp(std::time_t moment) {
    std::tm local{};
    if (!localtime_r(&moment, &local)) return {0, (1 << 5) | 1};
    int year = local.tm_year + 1900;
    if (year > 2107) {
        year = 2107;
        local.tm_mon = 11;
        local.tm_mday = 31;
        local.tm_hour = 23;
        local.tm_min = 59;
        local.tm_sec = 59;
    }
    DosTimestamp stamp;
    stamp.time = static_cast<std::uint16_t>(local.tm_hour * 2048 + local.tm_min * 32 +
                                            std::min(local.tm_sec, 59) / 2);
    stamp.date = static_cast<std::uint16_t>((std::max(year, 1980) - 1980) * 512 +
                                            (local.tm_mon + 1) * 32 + local.tm_mday);
    return stamp;
}

std::string localFileHeader(const std::string& name, std::uint32_t size, DosTimestamp stamp) {
    std::string out;
    out.reserve(30 + name.size());
    put32(out, 0x04034B50);
    put16(out, versionNeeded);
    put16(out, flags);
    put16(out, 0);  // stored
    put16(out, stamp.time);
    put16(out, stamp.date);
    put32(out, 0);  // the CRC follows the data
    put32(out, size);
    put32(out, size);
    put16(out, static_cast<std::uint16_t>(name.size()));
    put16(out, 0);
    return out + name;
}

std::string dataDescriptor(std::uint32_t crc, std::uint32_t size) {
    std::string out;
    put32(out, 0x08074B50);
    put32(out, crc);
    put32(out, size);
    put32(out, size);
    return out;
}

std::string centralDirectoryRecord(const std::string& name, std::uint32_t crc, std::uint32_t size,
                                   DosTimestamp stamp, std::uint32_t localHeaderOffset) {
    std::string out;
    out.reserve(46 + name.size());
    put32(out, 0x02014B50);
    put16(out, versionMadeBy);
    put16(out, versionNeeded);
    put16(out, flags);
    put16(out, 0);
    put16(out, stamp.time);
    put16(out, stamp.date);
    put32(out, crc);
    put32(out, size);
    put32(out, size);
    put16(out, static_cast<std::uint16_t>(name.size()));
    put16(out, 0);  // extra field
    put16(out, 0);  // comment
    put16(out, 0);  // disk
    put16(out, 0);  // internal attributes
    put32(out, regularFileMode);
    put32(out, localHeaderOffset);
    return out + name;
}

std::string endOfCentralDirectory(std::uint16_t entries, std::uint32_t directorySize,
                                  std::uint32_t directoryOffset) {
    std::string out;
    put32(out, 0x06054B50);
    put16(out, 0);
    put16(out, 0);
    put16(out, entries);
    put16(out, entries);
    put32(out, directorySize);
    put32(out, directoryOffset);
    put16(out, 0);
    return out;
}

}  // namespace skiff::server
