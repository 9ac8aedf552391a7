#pragma once

#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

#include "support/raw_client.hpp"

namespace skiff::test {

// Speaks the upload protocol the way the phone page does, one connection per request.
class UploadClient {
  public:
    UploadClient(std::uint16_t port, std::string code = "123456", std::string userAgent = "");

    Reply init(const std::string& uid, const std::string& name, std::int64_t size,
               const std::string& extraQuery = "");
    // Sends `body` with its correct CRC-32 unless `crc` is given.
    Reply chunk(const std::string& uid, std::int64_t offset, const std::string& body,
                const std::string* crc = nullptr);
    Reply finish(const std::string& uid, const std::string& sha256);
    Reply cancel(const std::string& uid);
    // init, all chunks of `chunkSize`, finish; returns the finish reply.
    Reply sendFile(const std::string& uid, const std::string& name, const std::string& content,
                   std::size_t chunkSize = 4194304, const std::string& extraQuery = "");

    // Later requests from this loopback address: another host.
    void sendFrom(std::string address) { m_from = std::move(address); }

    static std::string crc32Of(const std::string& bytes);
    static std::string sha256Of(const std::string& bytes);
    static std::string encode(const std::string& text);

  private:
    Reply post(const std::string& target, const std::string& body = "",
               const std::string& headers = "");
    std::uint16_t m_port;
    std::string m_code;
    std::string m_userAgent;
    std::string m_from;
};

nlohmann::json json(const Reply& reply);

// A whole chunk request with its correct CRC-32, for tests that send it in pieces or raw.
std::string chunkRequest(const std::string& uid, std::int64_t offset, const std::string& body,
                         const std::string& code = "123456");

}  // namespace skiff::test
