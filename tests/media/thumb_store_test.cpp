#include "media/thumb_store.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <fstream>
#include <future>
#include <latch>
#include <mutex>
#include <optional>
#include <vector>

#include "media/sample_pictures.hpp"
#include "media/sample_video.hpp"
#include "media/thumbnail.hpp"
#include "media/video_probe.hpp"
#include "support/temp_dir.hpp"

namespace skiff::media {
namespace {

class ThumbStoreDuration : public testing::Test {
  protected:
    void SetUp() override {
        if (!test::haveFfmpegTool()) GTEST_SKIP() << "the ffmpeg tool is not installed";
        m_video = m_dir.path() / "clip.mp4";
        ASSERT_TRUE(test::makeSampleVideo(m_video));
    }

    // The real probe, counted, so the tests can see how often a file is actually read.
    ThumbStore::DurationProbe countingProbe() {
        return [this](const std::filesystem::path& file) {
            ++m_probes;
            return probeVideoDuration(file);
        };
    }

    test::TempDir m_dir;
    std::filesystem::path m_video;
    std::atomic<int> m_probes{0};
};

// Only the name decides: video bytes under a picture's name are never read. A video that fails
// is read once.
TEST_F(ThumbStoreDuration, OnlyVideosAreReadAndAFailureOnlyOnce) {
    std::filesystem::path disguised = m_dir.path() / "clip.jpg";
    std::filesystem::copy_file(m_video, disguised);
    std::filesystem::path corrupt = m_dir.path() / "corrupt.mp4";
    std::ofstream(corrupt, std::ios::binary) << std::string(2048, '\x17');
    ThumbStore store(countingProbe());
    for (int ask = 0; ask < 3; ++ask) {
        for (const auto& file : {disguised, m_dir.path() / "clip", corrupt})
            EXPECT_EQ(store.duration(file), std::nullopt) << file;
        store.waitIdle();
    }
    EXPECT_EQ(m_probes, 1);
}

TEST_F(ThumbStoreDuration, AsksWhileLoadingStartNoSecondRead) {
    std::latch release(1);
    ThumbStore store([&](const std::filesystem::path& file) {
        ++m_probes;
        release.wait();
        return probeVideoDuration(file);
    });
    EXPECT_EQ(store.duration(m_video), std::nullopt);
    EXPECT_EQ(store.duration(m_video), std::nullopt);
    release.count_down();
    store.waitIdle();
    EXPECT_EQ(m_probes, 1);
    ASSERT_TRUE(store.duration(m_video).has_value());
    EXPECT_NEAR(*store.duration(m_video), 2.5, 0.15);
    EXPECT_EQ(m_probes, 1);
}

class ThumbStoreThumbnails : public testing::Test {
  protected:
    void SetUp() override {
        m_photo = m_dir.path() / "photo.jpg";
        ASSERT_TRUE(test::writePicture(m_photo, 400, 300));
    }

    // The real generator, counted.
    ThumbStore::Generator countingGenerator() {
        return [this](const std::filesystem::path& file, int side) {
            ++m_generations;
            return makeThumbnail(file, side);
        };
    }

    // Asks for the JPEG and waits for the answer.
    static std::optional<std::string> jpegOf(ThumbStore& store, const std::filesystem::path& file,
                                             int side) {
        std::optional<std::string> result;
        store.jpeg(file, side, [&](std::optional<std::string> jpeg) { result = std::move(jpeg); });
        store.waitIdle();
        return result;
    }

    // Moves the file's time on, as an edit a moment later would: always past the last one set.
    void touchLater(const std::filesystem::path& file) {
        m_stamp =
            std::max(m_stamp, std::filesystem::last_write_time(file)) + std::chrono::seconds(2);
        std::filesystem::last_write_time(file, m_stamp);
    }

    test::TempDir m_dir;
    std::filesystem::path m_photo;
    std::filesystem::file_time_type m_stamp = std::filesystem::file_time_type::min();
    std::atomic<int> m_generations{0};
};

TEST_F(ThumbStoreThumbnails, AnswersNoneAtOnceForFilesItCannotDraw) {
    std::ofstream(m_dir.path() / "notes.txt") << "plain words";
    std::filesystem::create_directory(m_dir.path() / "folder.jpg");
    ThumbStore store(probeVideoDuration, countingGenerator());
    for (const char* name : {"notes.txt", "missing.jpg", "folder.jpg", "missing.mp4"}) {
        std::filesystem::path file = m_dir.path() / name;
        bool answered = false;
        store.jpeg(file, 64, [&](std::optional<std::string> jpeg) {
            answered = true;
            EXPECT_FALSE(jpeg) << name;
        });
        EXPECT_TRUE(answered) << name << ": not answered before jpeg() returned";
        answered = false;
        store.bitmap(file, 64, [&](ThumbStore::BitmapPtr bitmap) {
            answered = true;
            EXPECT_FALSE(bitmap) << name;
        });
        EXPECT_TRUE(answered) << name << ": not answered before bitmap() returned";
    }
    bool viewAnswered = false;
    store.image(m_dir.path() / "notes.txt", 64,
                [&](ThumbStore::BitmapPtr) { viewAnswered = true; });
    store.waitIdle();
    EXPECT_FALSE(viewAnswered) << "a view asked about a text file";
    EXPECT_EQ(m_generations, 0);
}

TEST_F(ThumbStoreThumbnails, SimultaneousRequestsShareOneGeneration) {
    std::latch release(1);
    ThumbStore store(probeVideoDuration, [&](const std::filesystem::path& file, int side) {
        ++m_generations;
        release.wait();  // holds the generation until every request is in
        return makeThumbnail(file, side);
    });
    std::mutex mutex;
    std::vector<std::optional<std::string>> jpegs;
    std::vector<ThumbStore::BitmapPtr> bitmaps;
    for (int i = 0; i < 6; ++i) {
        store.jpeg(m_photo, 64, [&](std::optional<std::string> jpeg) {
            std::lock_guard lock(mutex);
            jpegs.push_back(std::move(jpeg));
        });
    }
    for (int i = 0; i < 2; ++i) {
        auto keep = [&](ThumbStore::BitmapPtr bitmap) {
            std::lock_guard lock(mutex);
            bitmaps.push_back(std::move(bitmap));
        };
        store.image(m_photo, 64, keep);
        store.bitmap(m_photo, 64, keep);
    }
    release.count_down();
    store.waitIdle();

    EXPECT_EQ(m_generations, 1);
    ASSERT_EQ(jpegs.size(), 6u);
    ASSERT_TRUE(jpegs[0]);
    for (const auto& jpeg : jpegs) EXPECT_EQ(jpeg, jpegs[0]);
    ASSERT_EQ(bitmaps.size(), 4u);
    ASSERT_TRUE(bitmaps[0]);
    for (const auto& bitmap : bitmaps) EXPECT_EQ(bitmap, bitmaps[0]);
    EXPECT_EQ(store.cachedJpeg(m_photo, 64), jpegs[0]);
}

// Holds every generation until opened, counting how many run at once.
class HeldGenerations {
  public:
    ThumbStore::Generator generator() {
        return [this](const std::filesystem::path&, int) -> std::optional<Bitmap> {
            std::unique_lock lock(m_mutex);
            m_most = std::max(m_most, ++m_running);
            m_changed.notify_all();
            m_changed.wait(lock, [this] { return m_open; });
            --m_running;
            return Bitmap{1, 1, 3, {0, 0, 0}};
        };
    }

    bool waitForRunning(int count, std::chrono::milliseconds limit) {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, limit, [&] { return m_running >= count; });
    }

    void open() {
        std::lock_guard lock(m_mutex);
        m_open = true;
        m_changed.notify_all();
    }

    int most() {
        std::lock_guard lock(m_mutex);
        return m_most;
    }

  private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_running = 0;
    int m_most = 0;
    bool m_open = false;
};

TEST_F(ThumbStoreThumbnails, MakesAtMostTwoAtOnceAndFinishesEveryRequest) {
    HeldGenerations held;
    ThumbStore store(probeVideoDuration, held.generator());
    std::atomic<int> answered{0};
    for (int side = 10; side < 16; ++side) {
        store.jpeg(m_photo, side, [&](std::optional<std::string> jpeg) {
            EXPECT_TRUE(jpeg);
            ++answered;
        });
    }
    ASSERT_TRUE(held.waitForRunning(2, std::chrono::seconds(10)));
    // A third would have started well within this if nothing held it back.
    EXPECT_FALSE(held.waitForRunning(3, std::chrono::milliseconds(200)));
    held.open();
    store.waitIdle();
    EXPECT_EQ(held.most(), 2);
    EXPECT_EQ(answered, 6);
}

TEST_F(ThumbStoreThumbnails, DurationReadsAreNotHeldUpByThumbnails) {
    if (!test::haveFfmpegTool()) GTEST_SKIP() << "the ffmpeg tool is not installed";
    std::filesystem::path video = m_dir.path() / "clip.mp4";
    ASSERT_TRUE(test::makeSampleVideo(video));
    HeldGenerations held;
    std::promise<void> probed;
    ThumbStore store(
        [&](const std::filesystem::path& file) {
            std::optional<double> seconds = probeVideoDuration(file);
            probed.set_value();
            return seconds;
        },
        held.generator());
    for (int side = 10; side < 16; ++side) store.jpeg(m_photo, side, nullptr);
    ASSERT_TRUE(held.waitForRunning(2, std::chrono::seconds(10)));
    store.duration(video);
    EXPECT_EQ(probed.get_future().wait_for(std::chrono::seconds(10)), std::future_status::ready);
    held.open();
    store.waitIdle();
    EXPECT_TRUE(store.duration(video).has_value());
}

// A failure is never remembered (the file may still be arriving); a success is, until the file
// changes.
TEST_F(ThumbStoreThumbnails, TheCacheFollowsTheFile) {
    std::string whole = test::readBytes(m_photo);
    std::ofstream(m_photo, std::ios::binary | std::ios::trunc) << whole.substr(0, whole.size() / 2);
    ThumbStore store(probeVideoDuration, countingGenerator());
    EXPECT_EQ(jpegOf(store, m_photo, 64), std::nullopt);
    EXPECT_EQ(jpegOf(store, m_photo, 64), std::nullopt);
    EXPECT_EQ(m_generations, 2);

    std::ofstream(m_photo, std::ios::binary | std::ios::trunc) << whole;
    touchLater(m_photo);
    std::optional<std::string> before = jpegOf(store, m_photo, 64);
    ASSERT_TRUE(before);
    EXPECT_EQ(store.cachedJpeg(m_photo, 64), before);
    EXPECT_EQ(jpegOf(store, m_photo, 64), before);
    EXPECT_EQ(m_generations, 3);

    ASSERT_TRUE(test::writePicture(m_photo, 300, 400));  // now portrait
    touchLater(m_photo);
    EXPECT_EQ(store.cachedJpeg(m_photo, 64), std::nullopt);
    std::optional<std::string> after = jpegOf(store, m_photo, 64);
    ASSERT_TRUE(after);
    std::optional<test::Decoded> decoded = test::decodeJpeg(*after);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->width, 48);
    EXPECT_EQ(decoded->height, 64);
    EXPECT_EQ(m_generations, 4);
}

TEST_F(ThumbStoreThumbnails, ViewImagesComeThroughTheMainPosterThenFromTheCache) {
    ThumbStore store(probeVideoDuration, countingGenerator());
    std::mutex mutex;
    std::vector<std::function<void()>> posted;
    store.setMainPoster([&](std::function<void()> work) {
        std::lock_guard lock(mutex);
        posted.push_back(std::move(work));
    });
    ThumbStore::BitmapPtr shown;
    int answers = 0;
    auto show = [&](ThumbStore::BitmapPtr bitmap) {
        shown = std::move(bitmap);
        ++answers;
    };
    store.image(m_photo, 64, show);
    store.waitIdle();
    EXPECT_EQ(answers, 0) << "answered on the worker instead of through the poster";
    ASSERT_EQ(posted.size(), 1u);
    posted[0]();
    ASSERT_EQ(answers, 1);
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->width, 64);
    EXPECT_EQ(shown->height, 48);
    EXPECT_EQ(shown->pixels.size(), std::size_t(64 * 48 * shown->channels));

    ThumbStore::BitmapPtr first = shown;
    store.image(m_photo, 64, show);
    EXPECT_EQ(answers, 2) << "a cached image was not handed over at once";
    EXPECT_EQ(shown, first);
    EXPECT_EQ(m_generations, 1);
}

TEST_F(ThumbStoreThumbnails, PrefetchMakesTheUsualThumbnailAndLearnsTheLength) {
    if (!test::haveFfmpegTool()) GTEST_SKIP() << "the ffmpeg tool is not installed";
    std::filesystem::path video = m_dir.path() / "clip.mp4";
    ASSERT_TRUE(test::makeSampleVideo(video));
    ThumbStore store(probeVideoDuration, countingGenerator());
    store.prefetch(m_photo);
    store.prefetch(video);
    store.waitIdle();
    EXPECT_TRUE(store.cachedJpeg(m_photo, ThumbStore::kPrefetchSide).has_value());
    EXPECT_TRUE(store.cachedJpeg(video, ThumbStore::kPrefetchSide).has_value());
    EXPECT_TRUE(store.duration(video).has_value());
    store.prefetch(m_photo);
    store.waitIdle();
    EXPECT_EQ(m_generations, 2);
}

}  // namespace
}  // namespace skiff::media
