#include "server/connection_slots.hpp"

namespace skiff::server {

ConnectionSlots::Slot::Slot(std::weak_ptr<ConnectionSlots> owner, std::string host)
    : m_owner(std::move(owner)), m_host(std::move(host)) {}

ConnectionSlots::Slot::~Slot() {
    if (auto owner = m_owner.lock()) owner->give(m_host, m_draining);
}

void ConnectionSlots::Slot::drain() {
    if (m_draining) return;
    if (auto owner = m_owner.lock()) m_draining = owner->moveToDraining(m_host);
}

ConnectionSlots::ConnectionSlots(std::size_t perHost, std::size_t total)
    : m_perHost(perHost), m_total(total) {}

void ConnectionSlots::setTotal(std::size_t total) {
    std::lock_guard guard(m_lock);
    m_total = total;
}

std::unique_ptr<ConnectionSlots::Slot> ConnectionSlots::take(const std::string& host,
                                                             bool admitted) {
    {
        std::lock_guard guard(m_lock);
        std::size_t cap = admitted ? m_total : m_total * 3 / 4;
        HostCount& mine = m_hosts[host];
        if (mine.live >= m_perHost || m_open >= cap) {
            if (mine.live == 0 && mine.draining == 0) m_hosts.erase(host);
            return nullptr;
        }
        ++mine.live;
        ++m_open;
    }
    return std::make_unique<Slot>(weak_from_this(), host);
}

bool ConnectionSlots::moveToDraining(const std::string& host) {
    std::lock_guard guard(m_lock);
    HostCount& mine = m_hosts[host];
    if (mine.draining >= m_perHost) return false;
    --mine.live;
    ++mine.draining;
    return true;
}

void ConnectionSlots::give(const std::string& host, bool draining) {
    std::lock_guard guard(m_lock);
    auto found = m_hosts.find(host);
    if (found != m_hosts.end()) {
        --(draining ? found->second.draining : found->second.live);
        if (found->second.live == 0 && found->second.draining == 0) m_hosts.erase(found);
    }
    --m_open;
}

}  // namespace skiff::server
