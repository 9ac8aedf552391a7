#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace skiff::server {

// One or more ASCII digits and nothing else, as HTTP writes lengths and ranges: a sign is refused,
// so "+5" is never read as 5. None when the text breaks that form or does not fit an int64_t.
std::optional<std::int64_t> parseDecimal(std::string_view text);

}  // namespace skiff::server
