#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace skiff::server {

// Counts the open connections per host and in all, so that one host's idle sockets can take
// neither every descriptor nor the room the admitted phones need.
class ConnectionSlots : public std::enable_shared_from_this<ConnectionSlots> {
  public:
    using Slot = std::shared_ptr<void>;  // gives its place back when the last copy goes

    ConnectionSlots(std::size_t perHost, std::size_t total);

    // A place for one more connection from `host`, or none when the host or the server is
    // full. Hosts not admitted yet share only three quarters of the total.
    Slot take(const std::string& host, bool admitted);
    void setTotal(std::size_t total);

  private:
    void give(const std::string& host);

    const std::size_t m_perHost;
    std::mutex m_lock;
    std::size_t m_total;
    std::size_t m_open = 0;
    std::map<std::string, std::size_t> m_hosts;
};

}  // namespace skiff::server
