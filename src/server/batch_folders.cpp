#include "server/batch_folders.hpp"

#include <algorithm>
#include <vector>

namespace skiff::server {

std::optional<std::string> BatchFolders::find(const Key& key, Clock::time_point now) {
    auto found = m_entries.find(key);
    if (found == m_entries.end()) return std::nullopt;
    if (now - found->second.used > lifetime) {
        m_entries.erase(found);
        return std::nullopt;
    }
    found->second.used = now;
    return found->second.chosen;
}

void BatchFolders::remember(const Key& key, std::string chosen, Clock::time_point now) {
    m_entries[key] = Entry{std::move(chosen), now};
    prune(key.host, now);
}

void BatchFolders::forget(const Key& key) {
    m_entries.erase(key);
}

// Drops what has expired, then the oldest entries while the host or everyone holds too many:
// a phone that sends endless batches only forgets its own old ones.
void BatchFolders::prune(const std::string& host, Clock::time_point now) {
    std::erase_if(m_entries, [&](const auto& entry) { return now - entry.second.used > lifetime; });
    auto dropOldest = [&](auto belongs) {
        auto oldest = m_entries.end();
        for (auto it = m_entries.begin(); it != m_entries.end(); ++it)
            if (belongs(it->first) &&
                (oldest == m_entries.end() || it->second.used < oldest->second.used))
                oldest = it;
        if (oldest != m_entries.end()) m_entries.erase(oldest);
    };
    auto ofHost = [&](const Key& key) { return key.host == host; };
    while (std::count_if(m_entries.begin(), m_entries.end(), [&](const auto& entry) {
               return ofHost(entry.first);
           }) > static_cast<std::ptrdiff_t>(perHost))
        dropOldest(ofHost);
    while (m_entries.size() > total) dropOldest([](const Key&) { return true; });
}

}  // namespace skiff::server
