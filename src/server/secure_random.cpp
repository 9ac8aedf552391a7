#include "server/secure_random.hpp"

#include <openssl/rand.h>
#include <sys/random.h>

#include <cstdio>

namespace skiff::server {

void secureRandomBytes(unsigned char* out, std::size_t count) {
    if (RAND_bytes(out, static_cast<int>(count)) == 1) return;
    // OpenSSL's generator seeds from getrandom; ask the kernel directly if it ever fails.
    std::size_t got = 0;
    while (got < count) {
        ssize_t n = getrandom(out + got, count - got, 0);
        if (n > 0) got += static_cast<std::size_t>(n);
    }
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
