#include "media/thumb_store.hpp"

#include "media/file_kinds.hpp"

namespace skiff::media {

ThumbStore::ThumbStore(DurationProbe probe) : m_probe(std::move(probe)) {}

ThumbStore::~ThumbStore() {
    // Queued work is of no use once the store goes away; only running jobs are waited for.
    m_mediaWorkers.stop();
    m_mediaWorkers.join();
}

ThumbStore& ThumbStore::shared() {
    static ThumbStore store;
    return store;
}

std::optional<double> ThumbStore::duration(const std::filesystem::path& url) {
    std::string key = url.string();
    {
        std::lock_guard lock(m_dursMutex);
        if (auto known = m_durs.find(key); known != m_durs.end()) {
            if (known->second > 0) return known->second;
            return std::nullopt;
        }
        if (!isVideo(url)) return std::nullopt;
        m_durs.emplace(key, 0.0);
    }
    runInBackground([this, url, key = std::move(key)] {
        std::optional<double> seconds = m_probe(url);
        std::lock_guard lock(m_dursMutex);
        m_durs[key] = seconds.value_or(0.0);
    });
    return std::nullopt;
}

void ThumbStore::waitIdle() {
    std::unique_lock lock(m_jobsMutex);
    m_jobsIdle.wait(lock, [this] { return m_jobsPending == 0; });
}

}  // namespace skiff::media
