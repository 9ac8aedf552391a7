#include "media/thumbnail.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <optional>
#include <span>
#include <string>

#include "media/sample_pictures.hpp"
#include "media/sample_video.hpp"
#include "media/thumb_store.hpp"
#include "support/temp_dir.hpp"

// The HEVC encoder behind libheif's saver, used here only to make sample files, keeps one
// allocation for the life of the process.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:x265_malloc\n";
}

namespace skiff::media {
namespace {

using test::kBlue;
using test::kRed;
using test::kWhite;
using test::Rgb;

// Where the two colours of a sample lie in the thumbnail.
enum class Split { leftRight, topBottom };

struct Sample {
    const char* name;
    std::function<bool(const std::filesystem::path&)> make;  // null when already there
    int side;
    int width;  // expected thumbnail size
    int height;
    Split split;
    Rgb first;  // left or top
    Rgb second;
};

std::optional<std::string> jpegOf(const std::filesystem::path& file, int side) {
    ThumbStore store;
    std::optional<std::string> result;
    store.jpeg(file, side, [&](std::optional<std::string> jpeg) { result = std::move(jpeg); });
    store.waitIdle();
    return result;
}

void expectLooksLike(const Sample& sample, const std::string& jpeg) {
    std::optional<test::Decoded> decoded = test::decodeJpeg(jpeg);
    ASSERT_TRUE(decoded) << "the JPEG decoder rejects the thumbnail";
    // Rounding may differ by a pixel between decoders' shrink-on-load paths.
    EXPECT_NEAR(decoded->width, sample.width, 1);
    EXPECT_NEAR(decoded->height, sample.height, 1);
    int w = decoded->width, h = decoded->height;
    Rgb first = sample.split == Split::leftRight ? decoded->mean(0, 0, w / 4, h)
                                                 : decoded->mean(0, 0, w, h / 4);
    Rgb second = sample.split == Split::leftRight ? decoded->mean(w - w / 4, 0, w, h)
                                                  : decoded->mean(0, h - h / 4, w, h);
    EXPECT_TRUE(test::near(first, sample.first)) << "left/top is " << first;
    EXPECT_TRUE(test::near(second, sample.second)) << "right/bottom is " << second;
}

// Makes each sample that needs making in folder, then checks its thumbnail at its side.
void expectThumbnails(const std::filesystem::path& folder, std::span<const Sample> samples) {
    for (const Sample& sample : samples) {
        SCOPED_TRACE(std::string(sample.name) + " at " + std::to_string(sample.side));
        std::filesystem::path file = folder / sample.name;
        if (sample.make) ASSERT_TRUE(sample.make(file)) << "could not make the sample";
        std::optional<std::string> jpeg = jpegOf(file, sample.side);
        ASSERT_TRUE(jpeg) << "no thumbnail";
        expectLooksLike(sample, *jpeg);
    }
}

std::function<bool(const std::filesystem::path&)> picture(int width, int height,
                                                          std::string options = "",
                                                          int orientation = 0, bool clear = false) {
    return [=](const std::filesystem::path& file) {
        return test::writePicture(file, width, height, options, orientation, clear);
    };
}

TEST(Thumbnail, EveryKindComesOutFittedUprightAndInItsColours) {
    const Sample samples[] = {
        {"photo.jpg", picture(400, 300), 64, 64, 48, Split::leftRight, kRed, kBlue},
        {"tall.png", picture(300, 400), 64, 48, 64, Split::leftRight, kRed, kBlue},
        {"wide.webp", picture(400, 100), 80, 80, 20, Split::leftRight, kRed, kBlue},
        {"flat.gif", picture(400, 300), 64, 64, 48, Split::leftRight, kRed, kBlue},
        {"scan.tiff", picture(400, 300), 64, 64, 48, Split::leftRight, kRed, kBlue},
        {"old.bmp", [](const auto& file) { return test::writeBmp(file, 400, 300); }, 64, 64, 48,
         Split::leftRight, kRed, kBlue},
        // EXIF orientation 6: stored on its side, shown turned a quarter clockwise.
        {"sideways.jpg", picture(400, 300, "", 6), 64, 48, 64, Split::topBottom, kRed, kBlue},
        // Transparency is laid over white.
        {"clear.png", picture(400, 300, "", 0, true), 64, 64, 48, Split::leftRight, kRed, kWhite},
        // Small pictures are not blown up.
        {"icon.png", picture(40, 30), 300, 40, 30, Split::leftRight, kRed, kBlue},
        {"paper.pdf", [](const auto& file) { return test::writePdf(file, 200, 100); }, 64, 64, 32,
         Split::leftRight, kRed, kBlue},
    };
    test::TempDir dir;
    expectThumbnails(dir.path(), samples);
}

// libheif comes with libvips as a loadable module, so it may be missing where the rest is not.
TEST(Thumbnail, PhonePicturesInHeifContainers) {
    if (!test::haveVipsSaver("heifsave"))
        GTEST_SKIP() << "libvips has no HEIF saver here, so no HEIC or AVIF sample can be made";
    const Sample samples[] = {
        {"phone.heic", picture(400, 300), 64, 64, 48, Split::leftRight, kRed, kBlue},
        {"phone.avif", picture(400, 300, "[compression=av1]"), 64, 64, 48, Split::leftRight, kRed,
         kBlue},
    };
    test::TempDir dir;
    expectThumbnails(dir.path(), samples);
}

// Phones name videos by what they are; the still must come from where the picture is, and
// turned the way players show it.
TEST(Thumbnail, VideoStillSkipsTheBlackStartAndIsShownUpright) {
    if (!test::haveFfmpegTool()) GTEST_SKIP() << "the ffmpeg tool is not installed";
    test::TempDir dir;
    std::filesystem::path clip = dir.path() / "clip.mp4";
    ASSERT_TRUE(test::makeBlackThenColourVideo(clip));
    // The tool writes a 90 degree tag as a display matrix only when remuxing.
    std::filesystem::path turned = dir.path() / "turned.mov";
    std::string remux = "ffmpeg -nostdin -v error -y -i '" + clip.string() +
                        "' -c copy -metadata:s:v:0 rotate=90 '" + turned.string() +
                        "' </dev/null >/dev/null 2>&1";
    ASSERT_EQ(std::system(remux.c_str()), 0);
    std::filesystem::path webm = dir.path() / "clip.webm";
    ASSERT_TRUE(test::makeBlackThenColourVideo(webm, "-c:v libvpx-vp9 -b:v 200k"));

    // What the ffmpeg tool itself shows for the turned video, as the reference for which way
    // is up: the matrix's sign convention has changed between FFmpeg versions.
    std::filesystem::path reference = dir.path() / "reference.jpg";
    std::string grab = "ffmpeg -nostdin -v error -y -ss 1 -i '" + turned.string() +
                       "' -frames:v 1 '" + reference.string() + "' </dev/null >/dev/null 2>&1";
    ASSERT_EQ(std::system(grab.c_str()), 0);
    std::optional<test::Decoded> shown = test::decodeJpeg(test::readBytes(reference));
    ASSERT_TRUE(shown);
    ASSERT_EQ(shown->width, 48) << "the tool did not turn the video; its tag went unwritten";
    bool redOnTop = test::near(shown->mean(0, 0, 48, 8), kRed);

    const Sample samples[] = {
        {"clip.mp4", nullptr, 40, 40, 30, Split::leftRight, kRed, kBlue},
        {"clip.webm", nullptr, 40, 40, 30, Split::leftRight, kRed, kBlue},
        {"turned.mov", nullptr, 40, 30, 40, Split::topBottom, redOnTop ? kRed : kBlue,
         redOnTop ? kBlue : kRed},
        {"clip.mp4", nullptr, 300, 64, 48, Split::leftRight, kRed, kBlue},
    };
    expectThumbnails(dir.path(), samples);
}

TEST(Thumbnail, DamagedOrMisnamedFilesGiveNone) {
    test::TempDir dir;
    std::filesystem::path good = dir.path() / "good.jpg";
    ASSERT_TRUE(test::writePicture(good, 400, 300));
    std::string jpeg = test::readBytes(good);

    struct Case {
        const char* name;
        std::string bytes;
    };
    const Case cases[] = {
        {"noise.jpg", std::string(4096, '\x17')},
        {"half.jpg", jpeg.substr(0, jpeg.size() / 2)},
        {"empty.png", ""},
        {"noise.mp4", std::string(4096, '\x17')},
        {"broken.pdf", "%PDF-1.4\n1 0 obj\n<< /Type /Catalog >>\n"},
        {"words.heic", "just some words, not a picture"},
        // Formats we do not read get no second chance under a picture's name.
        {"sheet.jpg", "P3\n2 1\n255\n255 0 0 0 0 255\n"},
        {"vector.png", "<svg xmlns='http://www.w3.org/2000/svg'/>"},
        // ImageMagick, which reads BMPs for us, would take these too.
        {"drawing.bmp", "push graphic-context\nviewbox 0 0 10 10\npop graphic-context\n"},
        {"pixmap.png",
         "/* XPM */\nstatic char *p[] = {\n\"2 1 1 1\",\n\"a c #ff0000\",\n\"aa\"};\n"},
    };
    for (const Case& c : cases) {
        std::filesystem::path file = dir.path() / c.name;
        std::ofstream(file, std::ios::binary) << c.bytes;
        EXPECT_FALSE(makeThumbnail(file, 64).has_value()) << c.name;
    }
}

}  // namespace
}  // namespace skiff::media
