#include "media/thumb_store.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <latch>
#include <optional>

#include "media/sample_video.hpp"
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

TEST_F(ThumbStoreDuration, LearnsTheLengthInTheBackground) {
    ThumbStore store;
    EXPECT_EQ(store.duration(m_video), std::nullopt);
    store.waitIdle();
    std::optional<double> seconds = store.duration(m_video);
    ASSERT_TRUE(seconds.has_value());
    EXPECT_NEAR(*seconds, 2.5, 0.15);
}

// Only the name decides: video bytes under a picture's name are never read.
TEST_F(ThumbStoreDuration, NeverReadsFilesThatAreNotVideos) {
    std::filesystem::path disguised = m_dir.path() / "clip.jpg";
    std::filesystem::copy_file(m_video, disguised);
    ThumbStore store(countingProbe());
    EXPECT_EQ(store.duration(disguised), std::nullopt);
    EXPECT_EQ(store.duration(m_dir.path() / "clip"), std::nullopt);
    store.waitIdle();
    EXPECT_EQ(store.duration(disguised), std::nullopt);
    EXPECT_EQ(m_probes, 0);
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
    EXPECT_TRUE(store.duration(m_video).has_value());
    EXPECT_EQ(m_probes, 1);
}

TEST_F(ThumbStoreDuration, AFailedVideoIsNeverReadAgain) {
    std::filesystem::path corrupt = m_dir.path() / "corrupt.mp4";
    std::ofstream(corrupt, std::ios::binary) << std::string(2048, '\x17');
    ThumbStore store(countingProbe());
    EXPECT_EQ(store.duration(corrupt), std::nullopt);
    store.waitIdle();
    for (int ask = 0; ask < 3; ++ask) EXPECT_EQ(store.duration(corrupt), std::nullopt);
    store.waitIdle();
    EXPECT_EQ(m_probes, 1);
}

}  // namespace
}  // namespace skiff::media
