#include "support/upload_client.hpp"

#include <openssl/sha.h>
#include <zlib.h>

#include <cstdio>
#include <cstring>

namespace skiff::test {

UploadClient::UploadClient(std::uint16_t port, std::string code, std::string userAgent)
    : m_port(port), m_code(std::move(code)), m_userAgent(std::move(userAgent)) {}

std::string UploadClient::encode(const std::string& text) {
    std::string out;
    char escaped[4];
    for (unsigned char c : text) {
        std::snprintf(escaped, sizeof escaped, "%%%02X", c);
        out += std::isalnum(c) || (c && std::strchr("-_.~", c)) ? std::string(1, char(c)) : escaped;
    }
    return out;
}

std::string UploadClient::crc32Of(const std::string& bytes) {
    uLong crc = crc32(0L, reinterpret_cast<const Bytef*>(bytes.data()), uInt(bytes.size()));
    char text[9];
    std::snprintf(text, sizeof text, "%08lx", static_cast<unsigned long>(crc));
    return text;
}

std::string UploadClient::sha256Of(const std::string& bytes) {
    unsigned char digest[SHA256_DIGEST_LENGTH];  // apart from the server's own digest code
    SHA256(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), digest);
    std::string hex;
    for (unsigned char b : digest)
        hex += "0123456789abcdef"[b >> 4], hex += "0123456789abcdef"[b & 15];
    return hex;
}

Reply UploadClient::post(const std::string& target, const std::string& body,
                         const std::string& headers) {
    std::string head = "POST " + target + " HTTP/1.1\r\nHost: x\r\n";
    if (!m_userAgent.empty()) head += "User-Agent: " + m_userAgent + "\r\n";
    head += "Content-Length: " + std::to_string(body.size()) + "\r\n" + headers + "\r\n";
    return request(m_port, head + body, false, m_from.empty() ? nullptr : m_from.c_str());
}

Reply UploadClient::init(const std::string& uid, const std::string& name, std::int64_t size,
                         const std::string& extraQuery) {
    return post("/api/up/init?t=" + m_code + "&uid=" + uid + "&name=" + encode(name) +
                "&size=" + std::to_string(size) + extraQuery);
}

Reply UploadClient::chunk(const std::string& uid, std::int64_t offset, const std::string& body,
                          const std::string* crc) {
    std::string header = "X-CRC32: " + (crc ? *crc : crc32Of(body)) + "\r\n";
    if (crc && crc->empty()) header.clear();
    return post("/api/up/chunk?t=" + m_code + "&uid=" + uid + "&offset=" + std::to_string(offset),
                body, header);
}

Reply UploadClient::finish(const std::string& uid, const std::string& sha256) {
    return post("/api/up/finish?t=" + m_code + "&uid=" + uid + "&sha256=" + sha256);
}

Reply UploadClient::cancel(const std::string& uid) {
    return post("/api/up/cancel?t=" + m_code + "&uid=" + uid);
}

Reply UploadClient::sendFile(const std::string& uid, const std::string& name,
                             const std::string& content, std::size_t chunkSize,
                             const std::string& extraQuery) {
    Reply started = init(uid, name, static_cast<std::int64_t>(content.size()), extraQuery);
    if (started.status != 200) return started;
    for (std::size_t offset = 0; offset < content.size(); offset += chunkSize) {
        Reply sent =
            chunk(uid, static_cast<std::int64_t>(offset), content.substr(offset, chunkSize));
        if (sent.status != 200) return sent;
    }
    return finish(uid, sha256Of(content));
}

std::string chunkRequest(const std::string& uid, std::int64_t offset, const std::string& body,
                         const std::string& code) {
    return "POST /api/up/chunk?t=" + code + "&uid=" + uid + "&offset=" + std::to_string(offset) +
           " HTTP/1.1\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\nX-CRC32: " + UploadClient::crc32Of(body) + "\r\n\r\n" + body;
}

nlohmann::json json(const Reply& reply) {
    return nlohmann::json::parse(reply.body, nullptr, false);
}

}  // namespace skiff::test
