#pragma once

#include <condition_variable>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>

#include <asio/post.hpp>
#include <asio/thread_pool.hpp>

#include "media/video_probe.hpp"

namespace skiff::media {

// Facts about media files that are slow to learn, worked out in the background and kept
// for the life of the process so a request never waits on a decoder.
class ThumbStore {
  public:
    using DurationProbe = std::function<std::optional<double>(const std::filesystem::path&)>;

    // The probe is replaceable so a caller can observe how often files are really read.
    explicit ThumbStore(DurationProbe probe = probeVideoDuration);
    ~ThumbStore();
    ThumbStore(const ThumbStore&) = delete;
    ThumbStore& operator=(const ThumbStore&) = delete;

    static ThumbStore& shared();

    // The video's length in seconds once known. The first ask about a video starts reading
    // it in the background and answers none; a video that could not be read stays unknown.
    std::optional<double> duration(const std::filesystem::path& url);

    // Blocks until every job handed to the workers so far has finished.
    void waitIdle();

  private:
    // Runs job on a worker and keeps waitIdle() informed.
    template <typename Job>
    void runInBackground(Job&& job) {
        {
            std::lock_guard lock(m_jobsMutex);
            ++m_jobsPending;
        }
        asio::post(m_mediaWorkers, [this, job = std::forward<Job>(job)]() mutable {
            job();
            std::lock_guard lock(m_jobsMutex);
            if (--m_jobsPending == 0) m_jobsIdle.notify_all();
        });
    }

    DurationProbe m_probe;

    std::mutex m_dursMutex;
    // Seconds per path; 0 means a read is under way or has failed, and either way no new
    // read should start.
    std::unordered_map<std::string, double> m_durs;

    std::mutex m_jobsMutex;
    std::condition_variable m_jobsIdle;
    std::size_t m_jobsPending = 0;

    // Decodes media off the request threads. Declared last so it is gone before anything
    // its jobs touch.
    asio::thread_pool m_mediaWorkers{2};
};

}  // namespace skiff::media
