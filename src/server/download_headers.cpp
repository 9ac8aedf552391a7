#include "server/download_headers.hpp"

#include <unicode/utf8.h>

#include <cstdio>

#include "server/utf8.hpp"

namespace skiff::server {

std::string contentDisposition(const std::string& rawName, bool inlineView) {
    std::string name = toValidUtf8(rawName);
    // The plain form is for old clients: one "_" for every character it cannot carry (DEL
    // included, which no header may hold).
    std::string ascii;
    const auto* bytes = reinterpret_cast<const uint8_t*>(name.data());
    auto length = static_cast<int32_t>(name.size());
    for (int32_t i = 0; i < length;) {
        UChar32 c;
        U8_NEXT(bytes, i, length, c);
        if (c >= 127 || c < 32 || c == '"' || c == '\\')
            ascii += '_';
        else
            ascii += static_cast<char>(c);
    }
    std::string encoded;
    for (unsigned char c : name) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) {
            encoded += static_cast<char>(c);
        } else {
            char escape[4];
            std::snprintf(escape, sizeof escape, "%%%02X", c);
            encoded += escape;
        }
    }
    if (encoded.empty()) encoded = "file";
    return std::string(inlineView ? "inline" : "attachment") + "; filename=\"" + ascii +
           "\"; filename*=UTF-8''" + encoded;
}

std::string downloadHeaders(const std::string& name, const std::string& contentType,
                            const ByteRange& range, std::int64_t length, std::int64_t total,
                            bool inlineView) {
    std::string head = range.partial ? "HTTP/1.1 206 Partial Content\r\n" : "HTTP/1.1 200 OK\r\n";
    head += "Content-Type: " + contentType + "\r\n";
    head += "Content-Length: " + std::to_string(length) + "\r\n";
    head += "Accept-Ranges: bytes\r\n";
    if (range.partial) {
        head += "Content-Range: bytes " + std::to_string(range.start) + "-" +
                std::to_string(range.end) + "/" + std::to_string(total) + "\r\n";
    }
    head += "Content-Disposition: " + contentDisposition(name, inlineView) + "\r\n";
    head +=
        "Cache-Control: no-store\r\nX-Content-Type-Options: nosniff\r\nConnection: close\r\n\r\n";
    return head;
}

}  // namespace skiff::server
