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

// Sizes and offsets from this value on do not fit a 32-bit field (its all-ones value means
// "see the ZIP64 record"), and entry counts above `zip16Entries` not the end record's 16 bits.
// Only the records holding such a value get ZIP64 fields, so smaller archives stay in the
// original format every reader knows.
constexpr std::uint64_t zip32Limit = 0xFFFFFFFF;
constexpr std::uint64_t zip16Entries = 0xFFFF;

// The records of a stored (uncompressed) archive whose CRC and sizes follow each file's bytes
// in a data descriptor, with UTF-8 names. Sizes and offsets are the planned ones.
std::string localFileHeader(const std::string& name, std::uint64_t size, DosTimestamp stamp);
std::string dataDescriptor(std::uint32_t crc, std::uint64_t size);
std::string centralDirectoryRecord(const std::string& name, std::uint32_t crc, std::uint64_t size,
                                   DosTimestamp stamp, std::uint64_t localHeaderOffset);
// The end record, preceded by the ZIP64 end record and its locator when a count, the
// directory's size or its offset needs them.
std::string endOfCentralDirectory(std::uint64_t entries, std::uint64_t directorySize,
                                  std::uint64_t directoryOffset);

// The lengths of those records, so an archive's length is known without building it.
std::uint64_t localFileHeaderLength(std::size_t nameLength, std::uint64_t size);
std::uint64_t dataDescriptorLength(std::uint64_t size);
std::uint64_t centralDirectoryRecordLength(std::size_t nameLength, std::uint64_t size,
                                           std::uint64_t localHeaderOffset);
std::uint64_t endOfCentralDirectoryLength(std::uint64_t entries, std::uint64_t directorySize,
                                          std::uint64_t directoryOffset);

}  // namespace skiff::server
