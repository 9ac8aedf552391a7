#pragma once

#include <chrono>
#include <compare>
#include <cstddef>
#include <map>
#include <optional>
#include <string>

namespace skiff::server {

// Which top folder each batch of a phone's folder upload went into. The first file of a
// batch settles it (the picked folder's own name, or the next free "name (n)" when that is
// taken); every later file of the batch follows it, even after a lost connection.
class BatchFolders {
  public:
    using Clock = std::chrono::steady_clock;
    static constexpr auto lifetime = std::chrono::hours(12);  // after the batch's last file
    static constexpr std::size_t perHost = 64;
    static constexpr std::size_t total = 4096;

    struct Key {
        std::string root;  // the receive folder
        std::string host;
        std::string batch;
        std::string top;  // the top folder as the phone named it, cleaned
        auto operator<=>(const Key&) const = default;
    };

    // The folder chosen for `key`, which counts as a use.
    std::optional<std::string> find(const Key& key, Clock::time_point now);
    void remember(const Key& key, std::string chosen, Clock::time_point now);
    void forget(const Key& key);
    void clear() { m_entries.clear(); }
    std::size_t size() const { return m_entries.size(); }

  private:
    struct Entry {
        std::string chosen;
        Clock::time_point used;
    };
    void prune(const std::string& host, Clock::time_point now);

    std::map<Key, Entry> m_entries;
};

}  // namespace skiff::server
