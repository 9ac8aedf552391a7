#include "server/session_code.hpp"

#include <openssl/evp.h>
#include <openssl/rand.h>
#include <openssl/sha.h>
#include <sys/random.h>

#include <cstdint>
#include <cstdio>
#include <string>

namespace skiff::server {

namespace {

void secureRandomBytes(unsigned char* out, std::size_t count) {
    if (RAND_bytes(out, static_cast<int>(count)) == 1) return;
    // OpenSSL's generator seeds from getrandom; ask the kernel directly if it ever fails.
    std::size_t got = 0;
    while (got < count) {
        ssize_t n = getrandom(out + got, count - got, 0);
        if (n > 0) got += static_cast<std::size_t>(n);
    }
}

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

std::string pairCodeFor(std::string_view token, std::string_view host) {
    std::string input = "tally|";
    input += token;
    input += '|';
    input += host;
    unsigned char digest[SHA256_DIGEST_LENGTH];
    unsigned int length = 0;
    EVP_Digest(input.data(), input.size(), digest, &length, EVP_sha256(), nullptr);
    std::uint32_t number = (std::uint32_t{digest[0]} << 24) | (std::uint32_t{digest[1]} << 16) |
                           (std::uint32_t{digest[2]} << 8) | std::uint32_t{digest[3]};
    char text[8];
    std::snprintf(text, sizeof text, "%04u", number % 10000u);
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

std::string randomHex(std::size_t count) {
    std::string bytes(count, '\0');
    secureRandomBytes(reinterpret_cast<unsigned char*>(bytes.data()), count);
    static constexpr char digits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned char b : bytes) {
        hex += digits[b >> 4];
        hex += digits[b & 15];
    }
    return hex;
}

std::string randomUuid() {
    unsigned char b[16];
    secureRandomBytes(b, sizeof b);
    b[6] = (b[6] & 0x0F) | 0x40;
    b[8] = (b[8] & 0x3F) | 0x80;
    char text[40];
    std::snprintf(text, sizeof text,
                  "%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X", b[0],
                  b[1], b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12], b[13],
                  b[14], b[15]);
    return text;
}

}  // namespace skiff::server
