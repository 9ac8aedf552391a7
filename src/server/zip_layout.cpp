#include "server/zip_layout.hpp"

#include <algorithm>

namespace skiff::server {

namespace {

constexpr std::uint16_t versionNeeded = 20;
constexpr std::uint16_t versionMadeBy = 0x0314;        // Unix, ZIP 2.0
constexpr std::uint16_t flags = 0x0808;                // sizes in a descriptor, UTF-8 names
constexpr std::uint32_t regularFileMode = 0x81A40000;  // -rw-r--r--
constexpr std::uint16_t zip64VersionNeeded = 45;
constexpr std::uint16_t zip64VersionMadeBy = 0x032D;  // Unix, ZIP 4.5
constexpr std::uint16_t zip64ExtraTag = 0x0001;

void put16(std::string& out, std::uint16_t value) {
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>(value >> 8);
}

void put32(std::string& out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) out += static_cast<char>((value >> shift) & 0xFF);
}

void put64(std::string& out, std::uint64_t value) {
    for (int shift = 0; shift < 64; shift += 8) out += static_cast<char>((value >> shift) & 0xFF);
}

// A 32-bit field's value: the value itself, or all ones when it lives in a ZIP64 record.
std::uint32_t clamp32(std::uint64_t value) {
    return static_cast<std::uint32_t>(std::min(value, zip32Limit));
}

// The central record's ZIP64 field: both sizes when the size does not fit, the offset when
// it does not.
std::uint16_t centralExtraLength(std::uint64_t size, std::uint64_t localHeaderOffset) {
    std::uint16_t fields =
        (size >= zip32Limit ? 16 : 0) + (localHeaderOffset >= zip32Limit ? 8 : 0);
    return fields ? fields + 4 : 0;
}

bool needsZip64End(std::uint64_t entries, std::uint64_t directorySize,
                   std::uint64_t directoryOffset) {
    return entries > zip16Entries || directorySize >= zip32Limit || directoryOffset >= zip32Limit;
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

std::string localFileHeader(const std::string& name, std::uint64_t size, DosTimestamp stamp) {
    bool large = size >= zip32Limit;
    std::string out;
    out.reserve(localFileHeaderLength(name.size(), size));
    put32(out, 0x04034B50);
    put16(out, large ? zip64VersionNeeded : versionNeeded);
    put16(out, flags);
    put16(out, 0);  // stored
    put16(out, stamp.time);
    put16(out, stamp.date);
    put32(out, 0);  // the CRC follows the data
    put32(out, clamp32(size));
    put32(out, clamp32(size));
    put16(out, static_cast<std::uint16_t>(name.size()));
    put16(out, large ? 20 : 0);
    out += name;
    if (large) {  // a local ZIP64 field holds both sizes
        put16(out, zip64ExtraTag);
        put16(out, 16);
        put64(out, size);
        put64(out, size);
    }
    return out;
}

std::string dataDescriptor(std::uint32_t crc, std::uint64_t size) {
    std::string out;
    put32(out, 0x08074B50);
    put32(out, crc);
    // Readers take 8-byte sizes here exactly when the local header has a ZIP64 field.
    if (size >= zip32Limit) {
        put64(out, size);
        put64(out, size);
    } else {
        put32(out, static_cast<std::uint32_t>(size));
        put32(out, static_cast<std::uint32_t>(size));
    }
    return out;
}

std::string centralDirectoryRecord(const std::string& name, std::uint32_t crc, std::uint64_t size,
                                   DosTimestamp stamp, std::uint64_t localHeaderOffset) {
    bool largeSize = size >= zip32Limit;
    bool largeOffset = localHeaderOffset >= zip32Limit;
    std::uint16_t extra = centralExtraLength(size, localHeaderOffset);
    std::string out;
    out.reserve(46 + name.size() + extra);
    put32(out, 0x02014B50);
    put16(out, extra ? zip64VersionMadeBy : versionMadeBy);
    put16(out, extra ? zip64VersionNeeded : versionNeeded);
    put16(out, flags);
    put16(out, 0);
    put16(out, stamp.time);
    put16(out, stamp.date);
    put32(out, crc);
    put32(out, clamp32(size));
    put32(out, clamp32(size));
    put16(out, static_cast<std::uint16_t>(name.size()));
    put16(out, extra);
    put16(out, 0);  // comment
    put16(out, 0);  // disk
    put16(out, 0);  // internal attributes
    put32(out, regularFileMode);
    put32(out, clamp32(localHeaderOffset));
    out += name;
    if (extra) {  // only the values whose fields above say so, in this order
        put16(out, zip64ExtraTag);
        put16(out, static_cast<std::uint16_t>(extra - 4));
        if (largeSize) {
            put64(out, size);
            put64(out, size);
        }
        if (largeOffset) put64(out, localHeaderOffset);
    }
    return out;
}

std::string endOfCentralDirectory(std::uint64_t entries, std::uint64_t directorySize,
                                  std::uint64_t directoryOffset) {
    std::string out;
    if (needsZip64End(entries, directorySize, directoryOffset)) {
        std::uint64_t zip64EndOffset = directoryOffset + directorySize;
        put32(out, 0x06064B50);
        put64(out, 44);  // what follows this field
        put16(out, zip64VersionMadeBy);
        put16(out, zip64VersionNeeded);
        put32(out, 0);
        put32(out, 0);
        put64(out, entries);
        put64(out, entries);
        put64(out, directorySize);
        put64(out, directoryOffset);
        put32(out, 0x07064B50);  // the locator
        put32(out, 0);
        put64(out, zip64EndOffset);
        put32(out, 1);  // disks in all
    }
    auto count = static_cast<std::uint16_t>(std::min(entries, zip16Entries));
    put32(out, 0x06054B50);
    put16(out, 0);
    put16(out, 0);
    put16(out, count);
    put16(out, count);
    put32(out, clamp32(directorySize));
    put32(out, clamp32(directoryOffset));
    put16(out, 0);
    return out;
}

std::uint64_t localFileHeaderLength(std::size_t nameLength, std::uint64_t size) {
    return 30 + nameLength + (size >= zip32Limit ? 20 : 0);
}

std::uint64_t dataDescriptorLength(std::uint64_t size) {
    return size >= zip32Limit ? 24 : 16;
}

std::uint64_t centralDirectoryRecordLength(std::size_t nameLength, std::uint64_t size,
                                           std::uint64_t localHeaderOffset) {
    return 46 + nameLength + centralExtraLength(size, localHeaderOffset);
}

std::uint64_t endOfCentralDirectoryLength(std::uint64_t entries, std::uint64_t directorySize,
                                          std::uint64_t directoryOffset) {
    return 22 + (needsZip64End(entries, directorySize, directoryOffset) ? 56 + 20 : 0);
}

}  // namespace skiff::server
