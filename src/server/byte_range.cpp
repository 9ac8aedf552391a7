#include "server/byte_range.hpp"

#include <algorithm>
#include <string>
#include <vector>

#include "server/decimal.hpp"

namespace skiff::server {

std::optional<ByteRange> resolveRange(const std::string* header, std::int64_t total) {
    ByteRange range{0, std::max<std::int64_t>(total - 1, 0), false};
    constexpr std::string_view unit = "bytes=";
    if (!header || header->rfind(unit, 0) != 0 || header->find(',') != std::string::npos)
        return range;

    std::string_view spec = std::string_view(*header).substr(unit.size());
    std::vector<std::string_view> pieces;
    for (std::size_t start = 0;;) {
        std::size_t dash = spec.find('-', start);
        pieces.push_back(spec.substr(start, dash - start));
        if (dash == std::string_view::npos) break;
        start = dash + 1;
    }
    if (pieces.size() != 2) {
        if (total <= 0) return std::nullopt;
        return range;
    }
    auto first = parseDecimal(pieces[0]);
    auto second = parseDecimal(pieces[1]);
    if (pieces[0].empty() && !pieces[1].empty() && second) {
        range.start = std::max<std::int64_t>(total - *second, 0);  // the last N bytes
    } else {
        if (first) range.start = *first;
        if (!pieces[1].empty() && second && *second <= range.end) range.end = *second;
    }
    if (range.end < range.start || range.start >= total) return std::nullopt;
    range.partial = true;
    return range;
}

}  // namespace skiff::server
