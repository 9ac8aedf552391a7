#pragma once

#include <cstdint>
#include <string>

#include "server/byte_range.hpp"

namespace skiff::server {

// `inline` or `attachment` with a plain ASCII filename and the full UTF-8 filename*.
std::string contentDisposition(const std::string& name, bool inlineView);

// The header block sent ahead of a file's bytes.
std::string downloadHeaders(const std::string& name, const std::string& contentType,
                            const ByteRange& range, std::int64_t length, std::int64_t total,
                            bool inlineView);

}  // namespace skiff::server
