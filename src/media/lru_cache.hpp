#pragma once

#include <cstddef>
#include <list>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <utility>

namespace skiff::media {

// A map bounded both in entries and in total cost (whatever unit the caller charges, such as
// bytes), dropping the least recently used entries to stay within both. Safe to share
// between threads.
template <typename Key, typename Value>
class LruCache {
  public:
    LruCache(std::size_t maxCount, std::size_t maxCost)
        : m_maxCount(maxCount), m_maxCost(maxCost) {}
    LruCache(const LruCache&) = delete;
    LruCache& operator=(const LruCache&) = delete;

    // The value, which then counts as the most recently used.
    std::optional<Value> get(const Key& key) {
        std::lock_guard lock(m_mutex);
        auto found = m_index.find(key);
        if (found == m_index.end()) return std::nullopt;
        m_entries.splice(m_entries.begin(), m_entries, found->second);
        return found->second->value;
    }

    // Looks without counting as a use.
    bool contains(const Key& key) const {
        std::lock_guard lock(m_mutex);
        return m_index.count(key) != 0;
    }

    // Stores or replaces the value. One that alone costs more than the limit is not kept,
    // since it would only push everything else out and then itself.
    void put(const Key& key, Value value, std::size_t cost) {
        std::lock_guard lock(m_mutex);
        if (auto found = m_index.find(key); found != m_index.end()) {
            m_cost -= found->second->cost;
            m_entries.erase(found->second);
            m_index.erase(found);
        }
        if (cost > m_maxCost || m_maxCount == 0) return;
        m_entries.push_front(Entry{key, std::move(value), cost});
        m_index.emplace(key, m_entries.begin());
        m_cost += cost;
        while (m_entries.size() > m_maxCount || m_cost > m_maxCost) {
            m_cost -= m_entries.back().cost;
            m_index.erase(m_entries.back().key);
            m_entries.pop_back();
        }
    }

    std::size_t count() const {
        std::lock_guard lock(m_mutex);
        return m_entries.size();
    }

    std::size_t totalCost() const {
        std::lock_guard lock(m_mutex);
        return m_cost;
    }

  private:
    struct Entry {
        Key key;
        Value value;
        std::size_t cost;
    };

    const std::size_t m_maxCount;
    const std::size_t m_maxCost;
    mutable std::mutex m_mutex;
    std::list<Entry> m_entries;  // most recently used first
    std::unordered_map<Key, typename std::list<Entry>::iterator> m_index;
    std::size_t m_cost = 0;
};

}  // namespace skiff::media
