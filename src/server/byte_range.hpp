#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace skiff::server {

// The part of a file one download sends.
struct ByteRange {
    std::int64_t start = 0;
    std::int64_t end = 0;  // inclusive
    bool partial = false;  // answer 206 with Content-Range
    std::int64_t length() const { return end - start + 1; }
};

// Reads a "range" header (nullptr when absent) for a file of `total` bytes. Only one
// "bytes=" range is honoured; a list or another unit gets the whole file. None means 416.
// Numbers that do not fit 64 bits count as unreadable and are ignored.
std::optional<ByteRange> resolveRange(const std::string* header, std::int64_t total);

}  // namespace skiff::server
