#include "media/video_probe.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <utility>

#include "media/sample_video.hpp"
#include "support/file_bytes.hpp"
#include "support/temp_dir.hpp"

namespace skiff::media {
namespace {

class VideoProbe : public testing::Test {
  protected:
    void SetUp() override {
        if (!test::haveFfmpegTool()) GTEST_SKIP() << "the ffmpeg tool is not installed";
    }

    test::TempDir m_dir;
};

TEST_F(VideoProbe, ReadsLengthFromCommonContainers) {
    struct Row {
        const char* name;
        const char* codecArgs;
    };
    // MPEG-TS carries no length in a header, so it exercises reading packets.
    const Row rows[] = {
        {"Video của tôi: 1.MP4", ""},
        {"clip.webm", "-c:v libvpx-vp9 -deadline realtime"},
        {"clip.ts", "-c:v mpeg2video"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::filesystem::path file = m_dir.path() / row.name;
        ASSERT_TRUE(test::makeSampleVideo(file, row.codecArgs));
        std::optional<double> seconds = probeVideoDuration(file);
        ASSERT_TRUE(seconds.has_value());
        EXPECT_NEAR(*seconds, 2.5, 0.15);
    }
}

TEST_F(VideoProbe, GivesNothingForFilesThatAreNotVideos) {
    std::filesystem::path whole = m_dir.path() / "whole.mp4";
    std::filesystem::path segment = m_dir.path() / "segment.ts";
    ASSERT_TRUE(test::makeSampleVideo(whole));
    ASSERT_TRUE(test::makeSampleVideo(segment, "-c:v mpeg2video"));
    const std::pair<const char*, std::string> files[] = {
        {"empty.mp4", ""},
        {"garbage.mp4", std::string(4096, '\x5a')},
        {"text.mov", "hello, this is not a video\n"},
        {"cut.mp4", test::readBytes(whole).substr(0, 64)},
        // Lists disguised as videos would make the demuxer open other files and report their
        // lengths as this one's.
        {"playlist.mp4", "#EXTM3U\n#EXT-X-VERSION:3\n#EXT-X-TARGETDURATION:10\n#EXTINF:10.0,\n" +
                             segment.string() + "\n#EXT-X-ENDLIST\n"},
        {"concat.mp4", "ffconcat version 1.0\nfile 'segment.ts'\nduration 10\n"},
    };
    EXPECT_EQ(probeVideoDuration(m_dir.path() / "missing.mp4"), std::nullopt);
    for (const auto& [name, bytes] : files) {
        SCOPED_TRACE(name);
        std::ofstream(m_dir.path() / name, std::ios::binary) << bytes;
        EXPECT_EQ(probeVideoDuration(m_dir.path() / name), std::nullopt);
    }
}

}  // namespace
}  // namespace skiff::media
