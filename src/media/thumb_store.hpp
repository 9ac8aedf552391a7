#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include <asio/post.hpp>
#include <asio/thread_pool.hpp>

#include "media/bitmap.hpp"
#include "media/lru_cache.hpp"
#include "media/sandboxed_decoders.hpp"

namespace skiff::media {

// Facts about media files that are slow to learn, worked out in the background and kept
// for the life of the process so a request never waits on a decoder.
class ThumbStore {
  public:
    using DurationProbe = std::function<std::optional<double>(const std::filesystem::path&)>;
    using Generator = std::function<std::optional<Bitmap>(const std::filesystem::path&, int side)>;
    // Null when there is no thumbnail.
    using BitmapPtr = std::shared_ptr<const Bitmap>;
    using BitmapCompletion = std::function<void(BitmapPtr)>;
    using JpegCompletion = std::function<void(std::optional<std::string>)>;
    using MainPoster = std::function<void(std::function<void()>)>;

    // The side of the thumbnails phones ask for, made ahead of time by prefetch().
    static constexpr int kPrefetchSide = 300;
    static constexpr int kJpegQuality = 72;

    // The probe and the generator are replaceable so a caller can observe how often files
    // are really read.
    explicit ThumbStore(DurationProbe probe = sandboxedDuration,
                        Generator generator = sandboxedThumbnail);
    ~ThumbStore();
    ThumbStore(const ThumbStore&) = delete;
    ThumbStore& operator=(const ThumbStore&) = delete;

    static ThumbStore& shared();

    // The video's length in seconds once known. The first ask about a video starts reading
    // it in the background and answers none; a video that could not be read stays unknown.
    std::optional<double> duration(const std::filesystem::path& url);
    // Grows each time a video's length is learned, so answers that carry lengths can tell
    // they are out of date.
    std::uint64_t durationsLearned() const { return m_durationsLearned.load(); }

    // Makes a thumbnail fitted within side x side pixels and hands it to completion on a
    // worker thread, or none at once for a file that is missing or of a kind we cannot draw.
    // Requests for the same file and side while one is being made share its result. Nothing
    // is cached here, so a file that failed is tried again next time.
    void bitmap(const std::filesystem::path& url, int side, BitmapCompletion completion);

    // The thumbnail as JPEG bytes, from the cache at once or made as bitmap() does and then
    // cached; completion runs on the caller's thread for a cache hit or an immediate none,
    // otherwise on a worker thread.
    void jpeg(const std::filesystem::path& url, int side, JpegCompletion completion);

    // The JPEG thumbnail if it is already cached; never starts work.
    std::optional<std::string> cachedJpeg(const std::filesystem::path& url, int side);

    // The thumbnail as pixels for showing in a view, decoded ones kept in their own cache.
    // A cached one is handed over at once; a new one (or none when it cannot be made) comes
    // through the main poster. Files we cannot draw get no answer at all.
    void image(const std::filesystem::path& url, int side, BitmapCompletion completion);

    // Starts learning what a phone is likely to ask about a new file: its length if it is a
    // video and its usual thumbnail.
    void prefetch(const std::filesystem::path& url);

    // How image() gets results onto the thread that owns the views; without one they are
    // delivered on the worker that made them.
    void setMainPoster(MainPoster poster);

    // Blocks until every job handed to the workers so far has finished.
    void waitIdle();

    // Gives up the work under way, so that stopping never waits on a file: running decoders
    // are killed and queued jobs answer none without reading. Nothing abandoned is cached, and
    // later requests are served as usual.
    void abandonWork();

  private:
    // Runs job on one of the pools and keeps waitIdle() informed.
    // The job is told whether its work was abandoned before or while it ran.
    template <typename Job>
    void runInBackground(asio::thread_pool& pool, Job&& job) {
        {
            std::lock_guard lock(m_jobsMutex);
            ++m_jobsPending;
        }
        unsigned epoch = m_epoch.load();
        asio::post(pool, [this, epoch, job = std::forward<Job>(job)]() mutable {
            job([this, epoch] { return m_epoch.load() != epoch; });
            std::lock_guard lock(m_jobsMutex);
            if (--m_jobsPending == 0) m_jobsIdle.notify_all();
        });
    }

    // bitmap() for a file known to exist, under its already computed key.
    void generate(const std::filesystem::path& url, int side, const std::string& key,
                  BitmapCompletion completion);
    std::optional<std::string> encodeAndCache(const std::string& key, const BitmapPtr& bitmap);
    void postToMain(std::function<void()> work);

    DurationProbe m_probe;
    Generator m_generator;

    std::mutex m_dursMutex;
    // Seconds per path; 0 means a read is under way or has failed, and either way no new
    // read should start.
    std::unordered_map<std::string, double> m_durs;
    std::atomic<std::uint64_t> m_durationsLearned{0};

    // Entry and byte limits keep a few hundred thumbnails of each form in memory.
    LruCache<std::string, std::string> m_jpegs{400, 25'165'824};
    LruCache<std::string, BitmapPtr> m_images{300, 100'663'296};

    std::mutex m_waitingMutex;
    // Callers per key whose thumbnail is being made; present exactly while it is.
    std::unordered_map<std::string, std::vector<BitmapCompletion>> m_waiting;

    std::mutex m_posterMutex;
    MainPoster m_mainPoster;

    // Moves on each abandonWork(); a job begun in an earlier one has been abandoned.
    std::atomic<unsigned> m_epoch{0};

    std::mutex m_jobsMutex;
    std::condition_variable m_jobsIdle;
    std::size_t m_jobsPending = 0;

    // Decodes media off the request threads. Declared last so they are gone before anything
    // their jobs touch. Thumbnails get a pool of their own whose size is the limit on how
    // many are made at once (each holds a decoded picture): a burst of them then queues
    // there without blocking a thread, and never holds up the quick duration reads.
    asio::thread_pool m_mediaWorkers{2};
    asio::thread_pool m_thumbWorkers{2};
};

}  // namespace skiff::media
