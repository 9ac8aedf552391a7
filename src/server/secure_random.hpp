#pragma once

#include <cstddef>
#include <string>

namespace skiff::server {

// Bytes from the system's secure random source.
void secureRandomBytes(unsigned char* out, std::size_t count);

// `count` random bytes as lower-case hex digits.
std::string randomHex(std::size_t count);

// A version 4 UUID in its upper-case text form.
std::string randomUuid();

}  // namespace skiff::server
