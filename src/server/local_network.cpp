#include "server/local_network.hpp"

#include <arpa/inet.h>

#include <algorithm>
#include <cctype>

namespace skiff::server {

namespace {

bool startsWithMappedPrefix(std::string_view text) {
    constexpr std::string_view prefix = "::ffff:";
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
    return true;
}

}  // namespace

bool isLocalHost(std::string_view host) {
    std::string_view text = host.substr(0, host.find('%'));
    while (!text.empty() && (text.front() == '[' || text.front() == ']')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == '[' || text.back() == ']')) text.remove_suffix(1);
    if (startsWithMappedPrefix(text)) text.remove_prefix(7);
    std::string owned(text);

    in_addr v4{};
    if (inet_pton(AF_INET, owned.c_str(), &v4) == 1) {
        auto* b = reinterpret_cast<const unsigned char*>(&v4.s_addr);
        return b[0] == 10 || b[0] == 127 || (b[0] == 169 && b[1] == 254) ||
               (b[0] == 172 && b[1] >= 16 && b[1] <= 31) || (b[0] == 192 && b[1] == 168);
    }
    in6_addr v6{};
    if (inet_pton(AF_INET6, owned.c_str(), &v6) == 1) {
        const unsigned char* b = v6.s6_addr;
        bool loopback =
            std::all_of(b, b + 15, [](unsigned char x) { return x == 0; }) && b[15] == 1;
        return loopback || (b[0] == 0xFE && (b[1] & 0xC0) == 0x80) || (b[0] & 0xFE) == 0xFC;
    }
    return false;
}

std::string hostText(std::string_view address) {
    std::string_view text = address.substr(0, address.find('%'));
    if (startsWithMappedPrefix(text)) {
        std::string v4(text.substr(7));
        in_addr parsed{};
        if (inet_pton(AF_INET, v4.c_str(), &parsed) == 1) return v4;
    }
    return std::string(text);
}

}  // namespace skiff::server
