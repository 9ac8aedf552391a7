#include "media/video_probe.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "media/sample_video.hpp"
#include "media/sandboxed_decoders.hpp"
#include "support/file_bytes.hpp"
#include "support/temp_dir.hpp"

namespace skiff::media {
namespace {

TEST(VideoProbe, ReadsTheLengthOfVideosAndNothingOfOtherFiles) {
    if (!test::haveFfmpegTool()) GTEST_SKIP() << "the ffmpeg tool is not installed";
    test::TempDir dir;
    // MPEG-TS carries no length in a header, so it exercises reading packets.
    for (auto [name, codecArgs] : {std::pair{"Video của tôi: 1.MP4", ""},
                                   {"clip.webm", "-c:v libvpx-vp9 -deadline realtime"},
                                   {"segment.ts", "-c:v mpeg2video"}}) {
        ASSERT_TRUE(test::makeSampleVideo(dir.path() / name, codecArgs)) << name;
        EXPECT_NEAR(probeVideoDuration(dir.path() / name).value_or(0), 2.5, 0.15) << name;
    }
    EXPECT_NEAR(sandboxedDuration(dir.path() / "segment.ts").value_or(0), 2.5, 0.15);
    const std::pair<const char*, std::string> files[] = {
        {"empty.mp4", ""},
        {"garbage.mp4", std::string(4096, '\x5a')},
        {"text.mov", "hello, this is not a video\n"},
        {"cut.mp4", test::readBytes(dir.path() / "Video của tôi: 1.MP4").substr(0, 64)},
        // Lists disguised as videos would make the demuxer report other files' lengths.
        {"playlist.mp4", "#EXTM3U\n#EXT-X-VERSION:3\n#EXT-X-TARGETDURATION:10\n#EXTINF:10.0,\n" +
                             (dir.path() / "segment.ts").string() + "\n#EXT-X-ENDLIST\n"},
        {"concat.mp4", "ffconcat version 1.0\nfile 'segment.ts'\nduration 10\n"},
    };
    EXPECT_EQ(probeVideoDuration(dir.path() / "missing.mp4"), std::nullopt);
    for (const auto& [name, bytes] : files) {
        std::ofstream(dir.path() / name, std::ios::binary) << bytes;
        EXPECT_EQ(probeVideoDuration(dir.path() / name), std::nullopt) << name;
    }
}

}  // namespace
}  // namespace skiff::media
