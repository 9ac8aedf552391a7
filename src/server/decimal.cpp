#include "server/decimal.hpp"

#include <charconv>

namespace skiff::server {

std::optional<std::int64_t> parseDecimal(std::string_view text) {
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty()) return std::nullopt;
    std::uint64_t magnitude = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), magnitude);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    constexpr std::uint64_t largest = static_cast<std::uint64_t>(INT64_MAX);
    if (negative) {
        if (magnitude > largest + 1) return std::nullopt;
        return magnitude == largest + 1 ? INT64_MIN : -static_cast<std::int64_t>(magnitude);
    }
    if (magnitude > largest) return std::nullopt;
    return static_cast<std::int64_t>(magnitude);
}

}  // namespace skiff::server
