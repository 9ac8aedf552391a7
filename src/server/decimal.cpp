#include "server/decimal.hpp"

#include <charconv>

namespace skiff::server {

std::optional<std::int64_t> parseDecimal(std::string_view text) {
    std::uint64_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    if (value > static_cast<std::uint64_t>(INT64_MAX)) return std::nullopt;
    return static_cast<std::int64_t>(value);
}

}  // namespace skiff::server
