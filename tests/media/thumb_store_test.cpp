#include "media/thumb_store.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

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
#include "media/thumb_key.hpp"
#include "media/thumbnail.hpp"
#include "media/video_probe.hpp"
#include "support/temp_dir.hpp"

namespace skiff::media {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class ThumbStoreTest : public testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(test::writePicture(photo, 400, 300)); }

    fs::path sampleVideo() {
        if (!test::haveFfmpegTool()) return {};
        fs::path video = dir.path() / "clip.mp4";
        return test::makeSampleVideo(video) ? video : fs::path();
    }
    ThumbStore::Generator countingGenerator() {
        return [this](const fs::path& file, int side) {
            ++generations;
            return makeThumbnail(file, side);
        };
    }
    static std::optional<std::string> jpegOf(ThumbStore& store, const fs::path& file, int side) {
        std::optional<std::string> result;
        store.jpeg(file, side, [&](std::optional<std::string> jpeg) { result = std::move(jpeg); });
        store.waitIdle();
        return result;
    }
    // Moves the file's time on, as an edit a moment later would: always past the last one set.
    void touchLater(const fs::path& file) {
        stamp = std::max(stamp, fs::last_write_time(file)) + 2s;
        fs::last_write_time(file, stamp);
    }

    test::TempDir dir;
    fs::path photo = dir.path() / "photo.jpg";
    fs::file_time_type stamp = fs::file_time_type::min();
    std::atomic<int> generations{0}, probes{0};
};

// Only the name decides; a video is read once, also when asked again while it loads or fails.
TEST_F(ThumbStoreTest, DurationsAreReadOnceAndOnlyForVideos) {
    fs::path video = sampleVideo();
    if (video.empty()) GTEST_SKIP() << "the ffmpeg tool is not installed";
    fs::copy_file(video, dir.path() / "clip.jpg");
    std::ofstream(dir.path() / "corrupt.mp4", std::ios::binary) << std::string(2048, '\x17');
    std::latch release(1);
    ThumbStore store([&](const fs::path& file) {
        ++probes;
        release.wait();
        return probeVideoDuration(file);
    });
    for (int ask = 0; ask < 2; ++ask)
        for (const char* name : {"clip.jpg", "clip", "corrupt.mp4", "clip.mp4"})
            EXPECT_EQ(store.duration(dir.path() / name), std::nullopt) << name;
    release.count_down();
    store.waitIdle();
    EXPECT_EQ(store.duration(dir.path() / "corrupt.mp4"), std::nullopt);
    EXPECT_NEAR(store.duration(video).value_or(0), 2.5, 0.15);
    EXPECT_EQ(probes, 2);
}

// A read given up while the decoder is killed says nothing of the file: the next ask reads again.
TEST_F(ThumbStoreTest, AnAbandonedDurationReadIsTriedAgain) {
    fs::path video = sampleVideo();
    if (video.empty()) GTEST_SKIP() << "the ffmpeg tool is not installed";
    std::latch started(1), release(1);
    ThumbStore store([&](const fs::path& file) -> std::optional<double> {
        if (probes++ > 0) return probeVideoDuration(file);
        started.count_down();
        release.wait();
        return std::nullopt;  // as a killed decoder answers
    });
    EXPECT_EQ(store.duration(video), std::nullopt);
    started.wait();
    store.abandonWork();
    release.count_down();
    store.waitIdle();
    EXPECT_EQ(store.duration(video), std::nullopt);
    store.waitIdle();
    EXPECT_NEAR(store.duration(video).value_or(0), 2.5, 0.15);
    EXPECT_EQ(probes, 2);
}

// What the grid will ask for is made ahead: the usual thumbnail and the video's length, once.
TEST_F(ThumbStoreTest, PrefetchMakesTheUsualThumbnailAndLearnsTheLength) {
    fs::path video = sampleVideo();
    if (video.empty()) GTEST_SKIP() << "the ffmpeg tool is not installed";
    ThumbStore store(
        [&](const fs::path& file) {
            ++probes;
            return probeVideoDuration(file);
        },
        countingGenerator());
    for (int twice = 0; twice < 2; ++twice) {
        store.prefetch(video);
        store.waitIdle();
    }
    EXPECT_NEAR(store.duration(video).value_or(0), 2.5, 0.15);
    EXPECT_TRUE(jpegOf(store, video, ThumbStore::kPrefetchSide));
    EXPECT_EQ(std::pair(probes.load(), generations.load()), std::pair(1, 1));
}

// Every time is spelt with a fraction, and a missing file still gets a key of its own.
TEST(ThumbKey, NamesAFileByPathTimeSizeAndSide) {
    test::TempDir dir;
    fs::path file = dir.path() / "a.jpg";
    std::ofstream(file) << "abc";
    const timespec times[2] = {{1700000000, 0}, {1700000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
    EXPECT_EQ(thumbKey(file, 64), file.string() + "|1700000000.0|3|64");
    EXPECT_EQ(thumbKey(dir.path() / "gone.jpg", 64),
              (dir.path() / "gone.jpg").string() + "|0.0|0|64");
}

TEST_F(ThumbStoreTest, AnswersNoneAtOnceForFilesItCannotDraw) {
    std::ofstream(dir.path() / "notes.txt") << "plain words";
    fs::create_directory(dir.path() / "folder.jpg");
    ThumbStore store(probeVideoDuration, countingGenerator());
    for (const char* name : {"notes.txt", "missing.jpg", "folder.jpg", "missing.mp4"}) {
        int answered = 0;
        store.jpeg(dir.path() / name, 64,
                   [&](std::optional<std::string> jpeg) { answered += !jpeg; });
        store.bitmap(dir.path() / name, 64,
                     [&](ThumbStore::BitmapPtr bitmap) { answered += !bitmap; });
        EXPECT_EQ(answered, 2) << name << ": not answered none before returning";
    }
    bool viewAnswered = false;
    store.image(dir.path() / "notes.txt", 64, [&](ThumbStore::BitmapPtr) { viewAnswered = true; });
    store.waitIdle();
    EXPECT_FALSE(viewAnswered) << "a view asked about a text file";
    EXPECT_EQ(generations, 0);
}

TEST_F(ThumbStoreTest, SimultaneousRequestsShareOneGeneration) {
    std::latch release(1);
    ThumbStore store(probeVideoDuration, [&](const fs::path& file, int side) {
        ++generations;
        release.wait();  // holds the generation until every request is in
        return makeThumbnail(file, side);
    });
    std::mutex mutex;
    std::vector<std::optional<std::string>> jpegs;
    std::vector<ThumbStore::BitmapPtr> bitmaps;
    auto keep = [&](ThumbStore::BitmapPtr bitmap) {
        std::lock_guard lock(mutex);
        bitmaps.push_back(std::move(bitmap));
    };
    for (int i = 0; i < 3; ++i) {
        store.jpeg(photo, 64, [&](std::optional<std::string> jpeg) {
            std::lock_guard lock(mutex);
            jpegs.push_back(std::move(jpeg));
        });
        store.image(photo, 64, keep);
        store.bitmap(photo, 64, keep);
    }
    release.count_down();
    store.waitIdle();
    EXPECT_EQ(generations, 1);
    ASSERT_TRUE(jpegs.size() == 3 && jpegs[0] && bitmaps.size() == 6 && bitmaps[0]);
    EXPECT_EQ(jpegs, decltype(jpegs)(3, jpegs[0]));
    EXPECT_EQ(bitmaps, decltype(bitmaps)(6, bitmaps[0]));
    EXPECT_EQ(store.cachedJpeg(photo, 64), jpegs[0]);
}

TEST_F(ThumbStoreTest, MakesAtMostTwoAtOnceWithoutHoldingUpDurations) {
    std::mutex mutex;
    std::condition_variable changed;
    int running = 0, most = 0;
    bool open = false;
    auto waitForRunning = [&](int count, std::chrono::milliseconds limit) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, limit, [&] { return running >= count; });
    };
    std::promise<void> probed;
    ThumbStore store(
        [&](const fs::path& file) {
            probed.set_value();
            return probeVideoDuration(file);
        },
        [&](const fs::path&, int) -> std::optional<Bitmap> {
            std::unique_lock lock(mutex);
            most = std::max(most, ++running);
            changed.notify_all();
            changed.wait(lock, [&] { return open; });
            --running;
            return Bitmap{1, 1, 3, {0, 0, 0}};
        });
    std::atomic<int> answered{0};
    for (int side = 10; side < 16; ++side)
        store.jpeg(photo, side, [&](std::optional<std::string> jpeg) { answered += bool(jpeg); });
    ASSERT_TRUE(waitForRunning(2, 10s));
    // A third would have started well within this if nothing held it back.
    EXPECT_FALSE(waitForRunning(3, 200ms));
    store.duration(dir.path() / "clip.mp4");
    EXPECT_EQ(probed.get_future().wait_for(10s), std::future_status::ready);
    {
        std::lock_guard lock(mutex);
        open = true;
        changed.notify_all();
    }
    store.waitIdle();
    EXPECT_EQ(most, 2);
    EXPECT_EQ(answered, 6);
}

// A failure is never remembered (the file may still be arriving); a success is, until it changes.
TEST_F(ThumbStoreTest, TheCacheFollowsTheFile) {
    std::string whole = test::readBytes(photo);
    std::ofstream(photo, std::ios::binary | std::ios::trunc) << whole.substr(0, whole.size() / 2);
    ThumbStore store(probeVideoDuration, countingGenerator());
    for (int i = 0; i < 2; ++i) EXPECT_EQ(jpegOf(store, photo, 64), std::nullopt);
    EXPECT_EQ(generations, 2);

    std::ofstream(photo, std::ios::binary | std::ios::trunc) << whole;
    touchLater(photo);
    std::optional<std::string> before = jpegOf(store, photo, 64);
    ASSERT_TRUE(before);
    EXPECT_EQ(store.cachedJpeg(photo, 64), before);
    EXPECT_EQ(jpegOf(store, photo, 64), before);
    EXPECT_EQ(generations, 3);

    ASSERT_TRUE(test::writePicture(photo, 300, 400));  // now portrait
    touchLater(photo);
    EXPECT_EQ(store.cachedJpeg(photo, 64), std::nullopt);
    std::optional<test::Decoded> after = test::decodeJpeg(jpegOf(store, photo, 64).value_or(""));
    ASSERT_TRUE(after);
    EXPECT_EQ(std::tuple(after->width, after->height, generations.load()), std::tuple(48, 64, 4));
}

TEST_F(ThumbStoreTest, ViewImagesComeThroughTheMainPosterThenFromTheCache) {
    ThumbStore store(probeVideoDuration, countingGenerator());
    std::mutex mutex;
    std::vector<std::function<void()>> posted;
    store.setMainPoster([&](std::function<void()> work) {
        std::lock_guard lock(mutex);
        posted.push_back(std::move(work));
    });
    std::vector<ThumbStore::BitmapPtr> shown;
    auto show = [&](ThumbStore::BitmapPtr bitmap) { shown.push_back(std::move(bitmap)); };
    store.image(photo, 64, show);
    store.waitIdle();
    EXPECT_TRUE(shown.empty()) << "answered on the worker instead of through the poster";
    ASSERT_EQ(posted.size(), 1u);
    posted[0]();
    ASSERT_EQ(shown.size(), 1u);
    ASSERT_TRUE(shown[0]);
    EXPECT_EQ(std::tuple(shown[0]->width, shown[0]->height, shown[0]->pixels.size()),
              std::tuple(64, 48, std::size_t(64 * 48 * shown[0]->channels)));
    store.image(photo, 64, show);
    ASSERT_EQ(shown.size(), 2u) << "a cached image was not handed over at once";
    EXPECT_EQ(shown[1], shown[0]);
    EXPECT_EQ(generations, 1);
}

}  // namespace
}  // namespace skiff::media
