#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include <sys/socket.h>

namespace skiff::test {

// A plain blocking TCP client for talking to the server byte for byte.
class RawClient {
  public:
    // To 127.0.0.1 (::1 when `ipv6`), from the loopback address `from` to play another host.
    RawClient(std::uint16_t port, bool ipv6 = false, const char* from = nullptr);
    ~RawClient();
    RawClient(RawClient&& other) noexcept;
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;

    // Returns false when the peer has stopped taking bytes.
    bool send(std::string_view bytes);
    void shutdownWrite() { ::shutdown(m_fd, SHUT_WR); }
    // Until the server closes or the timeout passes.
    std::string readAll(std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        return readAtLeast(std::string::npos, timeout);
    }
    // Until `count` bytes came, the peer closed or the timeout passed.
    std::string readAtLeast(std::size_t count,
                            std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // False on timeout.
    bool waitClosed(std::chrono::milliseconds timeout);
    // True when the last read ended with a reset instead of an orderly close.
    bool wasReset() const { return m_reset; }

  private:
    // Appends what came: 1 when some came, 0 when the peer closed, -1 on timeout.
    int readSome(std::string& out, std::chrono::steady_clock::time_point deadline);
    int m_fd = -1;
    bool m_reset = false;
};

struct Reply {
    int status = 0;
    std::string head;                            // everything before the blank line
    std::map<std::string, std::string> headers;  // names as sent
    std::string body;

    std::optional<std::string> header(const std::string& name) const {
        auto found = headers.find(name);
        return found == headers.end() ? std::nullopt : std::optional(found->second);
    }
};

// Splits a raw response; status 0 when it is not one.
Reply parseReply(const std::string& raw);

std::string exchange(std::uint16_t port, std::string_view request, bool ipv6 = false,
                     const char* from = nullptr);
Reply request(std::uint16_t port, std::string_view request, bool ipv6 = false,
              const char* from = nullptr);
// A GET of `target` with the given extra header lines (each ending in CR LF).
Reply get(std::uint16_t port, const std::string& target, const std::string& headers = "");

}  // namespace skiff::test
