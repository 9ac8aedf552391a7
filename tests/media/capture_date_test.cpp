#include "media/capture_date.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "media/received_time.hpp"
#include "media/sample_video.hpp"
#include "media/vips_runtime.hpp"
#include "support/temp_dir.hpp"

namespace skiff::media {
namespace {

constexpr double kTaken = 1620284889;  // 2021-05-06 07:08:09 UTC

TEST(CaptureDate, ReadsStampsWithAndWithoutOffsets) {
    setenv("TZ", "UTC", 1);
    tzset();
    const std::tuple<const char*, const char*, std::optional<double>> rows[] = {
        {"2021:05:06 07:08:09", "", kTaken},
        {"2021:05:06 14:08:09", "+07:00", kTaken},
        {"2021:05:06 01:38:09", "-0530", kTaken},
        {"2021-05-06T07:08:09.250000Z", "", kTaken + 0.25},
        {"2021-05-06T07:08:09.9Z", "", kTaken + 0.9},
        {"2021-05-06T14:08:09.5+07:00", "", kTaken + 0.5},
        {"2021-05-06T14:08:09+0700", "-05:00", kTaken},
        {"2021:05:06 07:08:09", "+7", kTaken},  // an offset it cannot read is no offset
        {"1904-01-01T00:00:00Z", "", std::nullopt},
        {"0000:00:00 00:00:00", "", std::nullopt},
        {"2021:13:06 07:08:09", "", std::nullopt},
        {"2021-05-06T07:08:09 garbage", "", std::nullopt},
        {"2021:05:06", "", std::nullopt},
        {"2021:12:31 23:59:60", "", 1640995200},  // every field at its last value
        {"2021:01:01 00:00:00", "", 1609459200},  // and at its first
        {"2021:05:32 07:08:09", "", std::nullopt},
        {"2021:05:06 24:08:09", "", std::nullopt},
        {"2021:05:06 07:60:09", "", std::nullopt},
        {"2021:01:06 07:08:61", "", std::nullopt},
        {"2021:05-06 07:08:09", "", std::nullopt},
        {"2021:05:06 07:08:0x", "", std::nullopt},
    };
    for (const auto& [stamp, offset, want] : rows)
        EXPECT_EQ(parseCaptureStamp(stamp, offset), want) << stamp << " " << offset;
}

TEST(CaptureDate, PhotosAndVideosTellWhenTheyWereTaken) {
    test::TempDir dir;
    auto jpeg = [&](const char* name, bool dated) {
        VipsImage* black = nullptr;
        EXPECT_TRUE(ensureVips() && vips_black(&black, 16, 16, "bands", 3, nullptr) == 0);
        VipsImagePtr image(black);
        if (dated) {
            vips_image_set_string(image.get(), "exif-ifd2-DateTimeOriginal", "2021:05:06 14:08:09");
            vips_image_set_string(image.get(), "exif-ifd2-OffsetTimeOriginal", "+07:00");
        }
        EXPECT_EQ(vips_jpegsave(image.get(), (dir.path() / name).c_str(), nullptr), 0);
        return dir.path() / name;
    };
    auto photo = jpeg("IMG_0001.JPG", true), plain = jpeg("plain.jpg", false);
    EXPECT_EQ(captureDate(photo), kTaken);
    EXPECT_EQ(captureDate(plain), std::nullopt);
    std::filesystem::copy_file(photo, dir.path() / "notes.txt");
    EXPECT_EQ(captureDate(dir.path() / "notes.txt"), std::nullopt) << "only photos and videos";

    // The capture date wins only over a sent date that looks like the moment of picking.
    constexpr double start = 1800000000;
    EXPECT_EQ(receivedFileTime(photo, start - 20, start), kTaken);
    EXPECT_EQ(receivedFileTime(photo, start + 5, start), kTaken);
    EXPECT_EQ(receivedFileTime(photo, start - 3600, start), start - 3600);
    EXPECT_EQ(receivedFileTime(plain, start - 20, start), start - 20);

    if (!test::haveFfmpegTool()) GTEST_SKIP() << "the ffmpeg tool is not installed";
    std::filesystem::path clip = dir.path() / "IMG_0002.MOV";
    ASSERT_TRUE(test::makeSampleVideo(clip, "-metadata creation_time=2021-05-06T07:08:09.000000Z"));
    EXPECT_EQ(captureDate(clip), kTaken);
}

}  // namespace
}  // namespace skiff::media
