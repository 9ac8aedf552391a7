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
    // One connection's place, given back when the slot goes.
    class Slot {
      public:
        Slot(std::weak_ptr<ConnectionSlots> owner, std::string host);
        ~Slot();
        Slot(const Slot&) = delete;
        Slot& operator=(const Slot&) = delete;

        // The connection has answered and only reads what the peer still sends. It moves to
        // its host's closing share, so a peer that reconnects at once is not turned away by
        // sockets on their way out; when that share is full it keeps its place.
        void drain();

      private:
        std::weak_ptr<ConnectionSlots> m_owner;
        std::string m_host;
        bool m_draining = false;
    };

    ConnectionSlots(std::size_t perHost, std::size_t total);

    // A place for one more connection from `host`, or none when the host or the server is
    // full. Hosts not admitted yet share only three quarters of the total.
    std::unique_ptr<Slot> take(const std::string& host, bool admitted);
    void setTotal(std::size_t total);

  private:
    struct HostCount {
        std::size_t live = 0;
        std::size_t draining = 0;
    };

    bool moveToDraining(const std::string& host);
    void give(const std::string& host, bool draining);

    const std::size_t m_perHost;
    std::mutex m_lock;
    std::size_t m_total;
    std::size_t m_open = 0;  // live and draining alike: each holds a descriptor
    std::map<std::string, HostCount> m_hosts;
};

}  // namespace skiff::server
