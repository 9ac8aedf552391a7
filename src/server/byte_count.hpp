#pragma once

#include <cstdint>
#include <string>

namespace skiff::server {

// A file size for people, in decimal units with a Vietnamese decimal comma: "532 byte",
// "12 KB", "4,2 MB", "1,25 GB".
std::string formatByteCount(std::int64_t bytes);

}  // namespace skiff::server
