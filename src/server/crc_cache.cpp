#include "server/crc_cache.hpp"

namespace skiff::server {

FileIdentity FileIdentity::of(const struct stat& facts) {
    return {static_cast<std::uint64_t>(facts.st_dev), static_cast<std::uint64_t>(facts.st_ino),
            static_cast<std::int64_t>(facts.st_size),
            static_cast<std::int64_t>(facts.st_mtim.tv_sec) * 1000000000 + facts.st_mtim.tv_nsec};
}

std::size_t CrcCache::Hash::operator()(const FileIdentity& file) const {
    std::size_t h = std::hash<std::uint64_t>()(file.inode);
    for (std::uint64_t part : {file.device, static_cast<std::uint64_t>(file.size),
                               static_cast<std::uint64_t>(file.modifiedNs)})
        h = h * 1099511628211u ^ std::hash<std::uint64_t>()(part);
    return h;
}

std::optional<std::uint32_t> CrcCache::find(const FileIdentity& file) const {
    std::lock_guard<std::mutex> guard(m_lock);
    auto found = m_crcs.find(file);
    if (found == m_crcs.end()) return std::nullopt;
    return found->second;
}

void CrcCache::remember(const FileIdentity& file, std::uint32_t crc) {
    std::lock_guard<std::mutex> guard(m_lock);
    auto [place, added] = m_crcs.insert_or_assign(file, crc);
    if (!added) return;
    m_order.push_back(file);
    while (m_order.size() > m_capacity) {
        m_crcs.erase(m_order.front());
        m_order.pop_front();
    }
}

}  // namespace skiff::server
