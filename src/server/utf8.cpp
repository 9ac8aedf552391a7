#include "server/utf8.hpp"

#include <unicode/unistr.h>

#include <algorithm>

namespace skiff::server {

std::string toValidUtf8(std::string_view bytes) {
    bool ascii = std::all_of(bytes.begin(), bytes.end(),
                             [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (ascii) return std::string(bytes);
    std::string out;
    icu::UnicodeString::fromUTF8(icu::StringPiece(bytes.data(), static_cast<int32_t>(bytes.size())))
        .toUTF8String(out);
    return out;
}

}  // namespace skiff::server
