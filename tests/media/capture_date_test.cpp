#include "media/capture_date.hpp"
#include "media/received_time.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "media/sample_video.hpp"
#include "media/vips_runtime.hpp"
#include "support/temp_dir.hpp"

namespace skiff::media {
namespace {

// 2021-05-06 07:08:09 UTC
constexpr double kTaken = 1620284889;

TEST(CaptureDate, ReadsStampsWithAndWithoutOffsets) {
    setenv("TZ", "UTC", 1);
    tzset();
    struct Row {
        const char* stamp;
        const char* offset;
        std::optional<double> want;
    } rows[] = {
        {"2021:05:06 07:08:09", "", kTaken},
        {"2021:05:06 14:08:09", "+07:00", kTaken},
        {"2021:05:06 01:38:09", "-0530", kTaken},
        {"2021-05-06T07:08:09.250000Z", "", kTaken + 0.25},
        {"2021-05-06T14:08:09+0700", "-05:00", kTaken},
        {"2021:05:06 07:08:09", "+7", kTaken},  // an offset it cannot read is no offset
        {"1904-01-01T00:00:00Z", "", std::nullopt},
        {"0000:00:00 00:00:00", "", std::nullopt},
        {"2021:13:06 07:08:09", "", std::nullopt},
        {"2021-05-06T07:08:09 garbage", "", std::nullopt},
        {"2021:05:06", "", std::nullopt},
        {"", "", std::nullopt},
    };
    for (const Row& row : rows) {
        auto got = parseCaptureStamp(row.stamp, row.offset);
        EXPECT_EQ(got, row.want) << row.stamp << " " << row.offset;
    }
}

class CaptureDateFiles : public testing::Test {
  protected:
    // A small JPEG carrying the given EXIF text fields.
    std::filesystem::path jpeg(const char* name,
                               std::initializer_list<std::pair<const char*, const char*>> exif) {
        EXPECT_TRUE(ensureVips());
        VipsImage* black = nullptr;
        EXPECT_EQ(vips_black(&black, 16, 16, "bands", 3, nullptr), 0);
        VipsImagePtr image(black);
        for (const auto& [field, value] : exif) vips_image_set_string(image.get(), field, value);
        std::filesystem::path file = m_dir.path() / name;
        EXPECT_EQ(vips_jpegsave(image.get(), file.c_str(), nullptr), 0) << vips_error_buffer();
        return file;
    }

    test::TempDir m_dir;
};

TEST_F(CaptureDateFiles, PhotosAndVideosTellWhenTheyWereTaken) {
    auto photo = jpeg("IMG_0001.JPG", {{"exif-ifd2-DateTimeOriginal", "2021:05:06 14:08:09"},
                                       {"exif-ifd2-OffsetTimeOriginal", "+07:00"}});
    auto plain = jpeg("plain.jpg", {});
    EXPECT_EQ(captureDate(photo), kTaken);
    EXPECT_EQ(captureDate(plain), std::nullopt);

    std::filesystem::path notes = m_dir.path() / "notes.txt";
    std::filesystem::copy_file(photo, notes);
    EXPECT_EQ(captureDate(notes), std::nullopt) << "only photos and videos are opened";

    // The received file keeps its capture date only when the sent date looks like the moment
    // of picking; a real file date stays, and without a capture date the sent one stays.
    constexpr double start = 1800000000;
    EXPECT_EQ(receivedFileTime(photo, start - 20, start), kTaken);
    EXPECT_EQ(receivedFileTime(photo, start + 5, start), kTaken);
    EXPECT_EQ(receivedFileTime(photo, start - 3600, start), start - 3600);
    EXPECT_EQ(receivedFileTime(plain, start - 20, start), start - 20);

    if (!test::haveFfmpegTool()) GTEST_SKIP() << "the ffmpeg tool is not installed";
    std::filesystem::path clip = m_dir.path() / "IMG_0002.MOV";
    ASSERT_TRUE(test::makeSampleVideo(clip, "-metadata creation_time=2021-05-06T07:08:09.000000Z"));
    EXPECT_EQ(captureDate(clip), kTaken);
}

}  // namespace
}  // namespace skiff::media
