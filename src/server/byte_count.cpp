#include "server/byte_count.hpp"

#include <cmath>
#include <cstdio>

namespace skiff::server {

std::string formatByteCount(std::int64_t bytes) {
    if (bytes < 1000) return std::to_string(bytes) + " byte";
    struct Unit {
        const char* name;
        double size;
        int decimals;
    };
    // Like the usual file-size style: whole kilobytes, one decimal for MB, two above.
    static constexpr Unit units[] = {
        {"KB", 1e3, 0}, {"MB", 1e6, 1}, {"GB", 1e9, 2}, {"TB", 1e12, 2}, {"PB", 1e15, 2}};
    const Unit* unit = &units[0];
    for (const Unit& candidate : units)
        if (static_cast<double>(bytes) >= candidate.size) unit = &candidate;
    char text[64];
    std::snprintf(text, sizeof text, "%.*f %s", unit->decimals,
                  static_cast<double>(bytes) / unit->size, unit->name);
    std::string out = text;
    if (auto dot = out.find('.'); dot != std::string::npos) out[dot] = ',';
    return out;
}

}  // namespace skiff::server
