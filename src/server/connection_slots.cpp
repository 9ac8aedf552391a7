#include "server/connection_slots.hpp"

namespace skiff::server {

ConnectionSlots::ConnectionSlots(std::size_t perHost, std::size_t total)
    : m_perHost(perHost), m_total(total) {}

void ConnectionSlots::setTotal(std::size_t total) {
    std::lock_guard guard(m_lock);
    m_total = total;
}

ConnectionSlots::Slot ConnectionSlots::take(const std::string& host, bool admitted) {
    {
        std::lock_guard guard(m_lock);
        std::size_t cap = admitted ? m_total : m_total * 3 / 4;
        std::size_t& mine = m_hosts[host];
        if (mine >= m_perHost || m_open >= cap) {
            if (mine == 0) m_hosts.erase(host);
            return nullptr;
        }
        ++mine;
        ++m_open;
    }
    std::weak_ptr<ConnectionSlots> weak = weak_from_this();
    return Slot(static_cast<void*>(this), [weak, host](void*) {
        if (auto self = weak.lock()) self->give(host);
    });
}

void ConnectionSlots::give(const std::string& host) {
    std::lock_guard guard(m_lock);
    auto found = m_hosts.find(host);
    if (found != m_hosts.end() && --found->second == 0) m_hosts.erase(found);
    --m_open;
}

}  // namespace skiff::server
