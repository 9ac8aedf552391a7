#include "server/utf8.hpp"

#include <unicode/unistr.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <climits>
#include <cstdio>

namespace skiff::server {

bool isValidUtf8(std::string_view bytes) {
    if (bytes.size() > INT32_MAX) return false;  // ICU counts in 32 bits
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    const auto length = static_cast<int32_t>(bytes.size());
    for (int32_t i = 0; i < length;) {
        UChar32 c;
        U8_NEXT(data, i, length, c);
        if (c < 0) return false;
    }
    return true;
}

std::string toValidUtf8(std::string_view bytes) {
    bool ascii = std::all_of(bytes.begin(), bytes.end(),
                             [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (ascii) return std::string(bytes);
    std::string out;
    icu::UnicodeString::fromUTF8(icu::StringPiece(bytes.data(), static_cast<int32_t>(bytes.size())))
        .toUTF8String(out);
    return out;
}

bool isControlOrDirectionMark(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x061C || c == 0x200E || c == 0x200F ||
           (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

std::string escapeControls(std::string_view utf8) {
    icu::UnicodeString text = icu::UnicodeString::fromUTF8(
        icu::StringPiece(utf8.data(), static_cast<int32_t>(utf8.size())));
    icu::UnicodeString out;
    for (int32_t i = 0; i < text.length(); i = text.moveIndex32(i, 1)) {
        UChar32 c = text.char32At(i);
        if (!isControlOrDirectionMark(static_cast<char32_t>(c))) {
            out.append(c);
            continue;
        }
        char escape[12];
        std::snprintf(escape, sizeof escape, c < 0x100 ? "\\x%02x" : "\\u%04x",
                      static_cast<unsigned>(c));
        out.append(icu::UnicodeString(escape, -1, icu::UnicodeString::kInvariant));
    }
    std::string result;
    out.toUTF8String(result);
    return result;
}

}  // namespace skiff::server
