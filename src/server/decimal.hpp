#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace skiff::server {

// A signed decimal integer: an optional "+" or "-", then one or more ASCII digits, nothing
// else. None when the text breaks that form or the value does not fit 64 bits.
std::optional<std::int64_t> parseDecimal(std::string_view text);

}  // namespace skiff::server
