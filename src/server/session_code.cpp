#include "server/session_code.hpp"

#include "server/secure_random.hpp"

#include <cstdint>
#include <cstdio>
#include <string>

namespace skiff::server {

namespace {

std::uint32_t secureRandom32() {
    std::uint32_t value = 0;
    secureRandomBytes(reinterpret_cast<unsigned char*>(&value), sizeof value);
    return value;
}

}  // namespace

std::string makeSessionCode() {
    // Values above the largest multiple of 10^6 would make low codes more likely: draw again.
    std::uint32_t value = secureRandom32();
    while (value > 4293999999u) value = secureRandom32();
    char text[8];
    std::snprintf(text, sizeof text, "%06u", value % 1000000u);
    return text;
}

std::string makePairCode() {
    std::uint32_t value = secureRandom32();
    while (value > 4294959999u) value = secureRandom32();
    char text[8];
    std::snprintf(text, sizeof text, "%04u", value % 10000u);
    return text;
}

bool constantTimeEquals(std::string_view offered, std::string_view expected) {
    if (offered.size() != expected.size()) return false;
    volatile unsigned char difference = 0;
    for (std::size_t i = 0; i < offered.size(); ++i)
        difference = difference | static_cast<unsigned char>(offered[i] ^ expected[i]);
    return difference == 0;
}

std::string groupedCode(std::string_view code) {
    if (code.size() != 6) return std::string(code);
    return std::string(code.substr(0, 3)) + " " + std::string(code.substr(3));
}

}  // namespace skiff::server
