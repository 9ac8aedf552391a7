#include "media/video_probe.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>

#include "media/sample_video.hpp"
#include "support/temp_dir.hpp"

namespace skiff::media {
namespace {

class VideoProbe : public testing::Test {
  protected:
    void SetUp() override {
        if (!test::haveFfmpegTool()) GTEST_SKIP() << "the ffmpeg tool is not installed";
    }

    void write(const std::filesystem::path& file, const std::string& bytes) {
        std::ofstream(file, std::ios::binary) << bytes;
    }

    test::TempDir m_dir;
};

TEST_F(VideoProbe, ReadsLengthFromCommonContainers) {
    struct Row {
        const char* name;
        const char* codecArgs;
    };
    // MPEG-TS and MPEG-PS carry no length in a header, so those exercise reading packets.
    const Row rows[] = {
        {"clip.mp4", ""},
        {"clip.mov", ""},
        {"clip.mkv", ""},
        {"clip.webm", "-c:v libvpx-vp9 -deadline realtime"},
        {"clip.avi", "-c:v mpeg4"},
        {"clip.ts", "-c:v mpeg2video"},
        {"clip.mpg", "-c:v mpeg2video"},
        {"Video của tôi: 1.MP4", ""},
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
    std::filesystem::path missing = m_dir.path() / "missing.mp4";
    std::filesystem::path empty = m_dir.path() / "empty.mp4";
    std::filesystem::path garbage = m_dir.path() / "garbage.mp4";
    std::filesystem::path text = m_dir.path() / "text.mov";
    std::filesystem::path cut = m_dir.path() / "cut.mp4";
    write(empty, "");
    write(garbage, std::string(4096, '\x5a'));
    write(text, "hello, this is not a video\n");
    ASSERT_TRUE(test::makeSampleVideo(m_dir.path() / "whole.mp4"));
    std::ifstream whole(m_dir.path() / "whole.mp4", std::ios::binary);
    std::string head(64, '\0');
    whole.read(head.data(), static_cast<std::streamsize>(head.size()));
    write(cut, head);

    for (const std::filesystem::path& file : {missing, empty, garbage, text, cut}) {
        SCOPED_TRACE(file.filename().string());
        EXPECT_EQ(probeVideoDuration(file), std::nullopt);
    }
}

// A playlist or concat list disguised as a video would make the demuxer open other files,
// and their lengths would be reported as the video's.
TEST_F(VideoProbe, RefusesFormatsThatReferToOtherFiles) {
    std::filesystem::path segment = m_dir.path() / "segment.ts";
    ASSERT_TRUE(test::makeSampleVideo(segment, "-c:v mpeg2video"));
    std::filesystem::path playlist = m_dir.path() / "playlist.mp4";
    write(playlist, "#EXTM3U\n#EXT-X-VERSION:3\n#EXT-X-TARGETDURATION:10\n#EXTINF:10.0,\n" +
                        segment.string() + "\n#EXT-X-ENDLIST\n");
    std::filesystem::path concat = m_dir.path() / "concat.mp4";
    write(concat, "ffconcat version 1.0\nfile 'segment.ts'\nduration 10\n");

    for (const std::filesystem::path& file : {playlist, concat}) {
        SCOPED_TRACE(file.filename().string());
        EXPECT_EQ(probeVideoDuration(file), std::nullopt);
    }
}

}  // namespace
}  // namespace skiff::media
