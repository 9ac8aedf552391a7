#pragma once

#include <cstdint>
#include <ctime>
#include <string>

namespace skiff::server {

// A modification time as ZIP stores it: MS-DOS time and date in the local time zone.
struct DosTimestamp {
    std::uint16_t time = 0;
    std::uint16_t date = 0;
};

// Years before 1980 keep their month, day and time with 0 in the year bits; years after
// 2107, which the 7-bit year cannot hold, become the last moment it can.
DosTimestamp dosTimestamp(std::time_t moment);

// The records of a stored (uncompressed) archive whose CRC and sizes follow each file's bytes
// in a data descriptor, with UTF-8 names. Sizes and offsets are the planned ones.
std::string localFileHeader(const std::string& name, std::uint32_t size, DosTimestamp stamp);
std::string dataDescriptor(std::uint32_t crc, std::uint32_t size);
std::string centralDirectoryRecord(const std::string& name, std::uint32_t crc, std::uint32_t size,
                                   DosTimestamp stamp, std::uint32_t localHeaderOffset);
std::string endOfCentralDirectory(std::uint16_t entries, std::uint32_t directorySize,
                                  std::uint32_t directoryOffset);

}  // namespace skiff::server
