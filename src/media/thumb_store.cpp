#include "media/thumb_store.hpp"

#include <system_error>

#include "media/decoder_process.hpp"
#include "media/file_kinds.hpp"
#include "media/jpeg_encoder.hpp"
#include "media/thumb_key.hpp"

namespace skiff::media {

ThumbStore::ThumbStore(DurationProbe probe, Generator generator)
    : m_probe(std::move(probe)), m_generator(std::move(generator)) {}

ThumbStore::~ThumbStore() {
    // Queued work is of no use once the store goes away; running jobs end with their decoders.
    abandonWork();
    m_mediaWorkers.stop();
    m_thumbWorkers.stop();
    m_mediaWorkers.join();
    m_thumbWorkers.join();
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
    runInBackground(m_mediaWorkers, [this, url, key = std::move(key)](auto abandoned) {
        std::optional<double> seconds = abandoned() ? std::nullopt : m_probe(url);
        std::lock_guard lock(m_dursMutex);
        // An abandoned read says nothing about the file: the next ask tries again.
        if (abandoned() && !seconds) {
            m_durs.erase(key);
        } else {
            m_durs[key] = seconds.value_or(0.0);
            if (seconds) ++m_durationsLearned;
        }
    });
    return std::nullopt;
}

void ThumbStore::bitmap(const std::filesystem::path& url, int side, BitmapCompletion completion) {
    generate(url, side, thumbKey(url, side), std::move(completion));
}

void ThumbStore::generate(const std::filesystem::path& url, int side, const std::string& key,
                          BitmapCompletion completion) {
    std::error_code error;
    if (!canThumb(url) || side <= 0 || !std::filesystem::is_regular_file(url, error)) {
        if (completion) completion(nullptr);
        return;
    }
    {
        std::lock_guard lock(m_waitingMutex);
        auto [waiting, first] = m_waiting.try_emplace(key);
        waiting->second.push_back(std::move(completion));
        if (!first) return;  // the thumbnail already being made answers this caller too
    }
    runInBackground(m_thumbWorkers, [this, url, side, key](auto abandoned) {
        BitmapPtr made;
        std::optional<Bitmap> pixels;
        if (!abandoned()) pixels = m_generator(url, side);
        if (pixels) made = std::make_shared<const Bitmap>(std::move(*pixels));
        std::vector<BitmapCompletion> callers;
        {
            std::lock_guard lock(m_waitingMutex);
            auto waiting = m_waiting.find(key);
            callers = std::move(waiting->second);
            m_waiting.erase(waiting);
        }
        for (BitmapCompletion& caller : callers) {
            if (caller) caller(made);
        }
    });
}

void ThumbStore::jpeg(const std::filesystem::path& url, int side, JpegCompletion completion) {
    auto answer = [completion = std::move(completion)](std::optional<std::string> jpeg) {
        if (completion) completion(std::move(jpeg));
    };
    if (!canThumb(url)) return answer(std::nullopt);
    std::string key = thumbKey(url, side);
    if (std::optional<std::string> cached = m_jpegs.get(key)) return answer(std::move(cached));
    generate(url, side, key, [this, key, answer = std::move(answer)](BitmapPtr made) {
        answer(encodeAndCache(key, made));
    });
}

std::optional<std::string> ThumbStore::encodeAndCache(const std::string& key,
                                                      const BitmapPtr& bitmap) {
    if (!bitmap) return std::nullopt;
    // Callers that shared one generation are answered in turn; the first one encodes.
    if (std::optional<std::string> cached = m_jpegs.get(key)) return cached;
    std::optional<std::string> jpeg = encodeJpeg(*bitmap, kJpegQuality);
    if (jpeg) m_jpegs.put(key, *jpeg, jpeg->size());
    return jpeg;
}

std::optional<std::string> ThumbStore::cachedJpeg(const std::filesystem::path& url, int side) {
    if (!canThumb(url)) return std::nullopt;
    return m_jpegs.get(thumbKey(url, side));
}

void ThumbStore::image(const std::filesystem::path& url, int side, BitmapCompletion completion) {
    if (!canThumb(url)) return;
    std::string key = thumbKey(url, side);
    if (std::optional<BitmapPtr> cached = m_images.get(key)) {
        if (completion) completion(*cached);
        return;
    }
    generate(url, side, key, [this, key, completion = std::move(completion)](BitmapPtr made) {
        if (made) {
            std::size_t cost = static_cast<std::size_t>(made->width) * made->height * 4;
            m_images.put(key, made, cost);
        }
        postToMain([completion, made] {
            if (completion) completion(made);
        });
    });
}

void ThumbStore::prefetch(const std::filesystem::path& url) {
    duration(url);
    if (!canThumb(url) || m_jpegs.contains(thumbKey(url, kPrefetchSide))) return;
    jpeg(url, kPrefetchSide, nullptr);
}

void ThumbStore::setMainPoster(MainPoster poster) {
    std::lock_guard lock(m_posterMutex);
    m_mainPoster = std::move(poster);
}

void ThumbStore::postToMain(std::function<void()> work) {
    MainPoster poster;
    {
        std::lock_guard lock(m_posterMutex);
        poster = m_mainPoster;
    }
    if (poster) {
        poster(std::move(work));
    } else {
        work();
    }
}

void ThumbStore::abandonWork() {
    ++m_epoch;
    DecoderProcess::shared().killRunning();
}

void ThumbStore::waitIdle() {
    std::unique_lock lock(m_jobsMutex);
    m_jobsIdle.wait(lock, [this] { return m_jobsPending == 0; });
}

}  // namespace skiff::media
