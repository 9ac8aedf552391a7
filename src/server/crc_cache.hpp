#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <unordered_map>

namespace skiff::server {

// What makes a file's bytes the same as when its CRC was taken: the same inode on the same
// device, with the same size and modification time to the nanosecond.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t modifiedNs = 0;

    static FileIdentity of(const struct stat& facts);
    bool operator==(const FileIdentity&) const = default;
};

// The CRC-32s of files sent in archives, so a second archive of the same share reads nothing
// beyond what it sends. Bounded: the oldest entries go first. Safe from any thread.
class CrcCache {
  public:
    explicit CrcCache(std::size_t capacity = 131072) : m_capacity(capacity) {}

    std::optional<std::uint32_t> find(const FileIdentity& file) const;
    void remember(const FileIdentity& file, std::uint32_t crc);

  private:
    struct Hash {
        std::size_t operator()(const FileIdentity& file) const;
    };
    std::size_t m_capacity;
    mutable std::mutex m_lock;
    std::unordered_map<FileIdentity, std::uint32_t, Hash> m_crcs;
    std::deque<FileIdentity> m_order;  // oldest first
};

}  // namespace skiff::server
