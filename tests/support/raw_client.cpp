#include "support/raw_client.hpp"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace skiff::test {

RawClient::RawClient(std::uint16_t port, bool ipv6, const char* from) {
    sockaddr_in6 v6{
        .sin6_family = AF_INET6, .sin6_port = htons(port), .sin6_addr = in6addr_loopback};
    sockaddr_in v4{.sin_family = AF_INET, .sin_port = htons(port)};
    v4.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    sockaddr_in source{.sin_family = AF_INET};
    m_fd = ::socket(ipv6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    bool ok = m_fd >= 0 &&
              (!from || ipv6 ||
               (::inet_pton(AF_INET, from, &source.sin_addr) == 1 &&
                ::bind(m_fd, reinterpret_cast<sockaddr*>(&source), sizeof source) == 0)) &&
              (ipv6 ? ::connect(m_fd, reinterpret_cast<sockaddr*>(&v6), sizeof v6)
                    : ::connect(m_fd, reinterpret_cast<sockaddr*>(&v4), sizeof v4)) == 0;
    if (!ok) {
        if (m_fd >= 0) ::close(m_fd);
        throw std::runtime_error("connect failed");
    }
}

RawClient::RawClient(RawClient&& other) noexcept : m_fd(other.m_fd), m_reset(other.m_reset) {
    other.m_fd = -1;
}

RawClient::~RawClient() {
    if (m_fd >= 0) ::close(m_fd);
}

bool RawClient::send(std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t sent = ::send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) continue;
        if (sent < 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
}

int RawClient::readSome(std::string& out, std::chrono::steady_clock::time_point deadline) {
    char buffer[65536];
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd waiting{m_fd, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&waiting, 1, static_cast<int>(left.count())) <= 0)
            return -1;
        ssize_t got = ::recv(m_fd, buffer, sizeof buffer, 0);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) m_reset = errno == ECONNRESET;
        if (got > 0) out.append(buffer, static_cast<std::size_t>(got));
        return got > 0 ? 1 : 0;
    }
}

std::string RawClient::readAtLeast(std::size_t count, std::chrono::milliseconds timeout) {
    std::string out;
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (out.size() < count && readSome(out, deadline) == 1) {
    }
    return out;
}

bool RawClient::waitClosed(std::chrono::milliseconds timeout) {
    std::string ignored;
    auto deadline = std::chrono::steady_clock::now() + timeout;
    for (int got; (got = readSome(ignored, deadline)) != -1; ignored.clear())
        if (got == 0) return true;
    return false;
}

Reply parseReply(const std::string& raw) {
    Reply reply;
    std::size_t end = raw.find("\r\n\r\n");
    if (end == std::string::npos) return reply;
    reply.head = raw.substr(0, end);
    reply.body = raw.substr(end + 4);
    std::size_t lineEnd = std::min(reply.head.find("\r\n"), reply.head.size());
    if (reply.head.rfind("HTTP/1.1 ", 0) == 0) reply.status = std::stoi(reply.head.substr(9, 3));
    for (std::size_t start = lineEnd + 2; start < reply.head.size();) {
        std::size_t next = std::min(reply.head.find("\r\n", start), reply.head.size());
        std::string line = reply.head.substr(start, next - start);
        if (std::size_t colon = line.find(": "); colon != std::string::npos)
            reply.headers[line.substr(0, colon)] = line.substr(colon + 2);
        start = next + 2;
    }
    return reply;
}

std::string exchange(std::uint16_t port, std::string_view request, bool ipv6, const char* from) {
    RawClient client(port, ipv6, from);
    return client.send(request), client.readAll();
}

Reply request(std::uint16_t port, std::string_view text, bool ipv6, const char* from) {
    return parseReply(exchange(port, text, ipv6, from));
}

Reply get(std::uint16_t port, const std::string& target, const std::string& headers) {
    return request(port, "GET " + target + " HTTP/1.1\r\nHost: x\r\n" + headers + "\r\n");
}

}  // namespace skiff::test
