#include "media/thumbnail.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "media/sample_pictures.hpp"
#include "media/sample_video.hpp"
#include "media/thumb_store.hpp"
#include "support/temp_dir.hpp"

// libheif's HEVC encoder, used only to make samples, keeps one allocation for the process's life.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:x265_malloc\n";
}

namespace skiff::media {
namespace {

namespace fs = std::filesystem;
using test::kBlue;
using test::kRed;

using test::Rgb;
constexpr Rgb kGreen{0, 200, 0};

struct Sample {
    const char* name;
    std::function<bool(const fs::path&)> make;  // null when already there
    int side, width, height;                    // asked, and the thumbnail's expected size
    bool leftRight = true;                      // else the colours lie top and bottom
    Rgb first = kRed, second = kBlue;           // left or top, right or bottom
};

void expectThumbnails(const fs::path& folder, const std::vector<Sample>& samples) {
    for (const Sample& sample : samples) {
        SCOPED_TRACE(std::string(sample.name) + " at " + std::to_string(sample.side));
        fs::path file = folder / sample.name;
        if (sample.make) ASSERT_TRUE(sample.make(file)) << "could not make the sample";
        ThumbStore store;
        std::optional<test::Decoded> decoded;
        store.jpeg(file, sample.side, [&](std::optional<std::string> jpeg) {
            if (jpeg) decoded = test::decodeJpeg(*jpeg);
        });
        store.waitIdle();
        ASSERT_TRUE(decoded) << "no thumbnail, or one the JPEG decoder rejects";
        // Rounding may differ by a pixel between decoders' shrink-on-load paths.
        EXPECT_NEAR(decoded->width, sample.width, 1);
        EXPECT_NEAR(decoded->height, sample.height, 1);
        int w = decoded->width, h = decoded->height;
        Rgb first =
            sample.leftRight ? decoded->mean(0, 0, w / 4, h) : decoded->mean(0, 0, w, h / 4);
        Rgb second = sample.leftRight ? decoded->mean(w - w / 4, 0, w, h)
                                      : decoded->mean(0, h - h / 4, w, h);
        EXPECT_TRUE(test::near(first, sample.first)) << "left/top is " << first;
        EXPECT_TRUE(test::near(second, sample.second)) << "right/bottom is " << second;
    }
}

std::function<bool(const fs::path&)> picture(int width, int height, std::string options = "",
                                             int orientation = 0, bool clear = false) {
    return [=](const fs::path& file) {
        return test::writePicture(file, width, height, options, orientation, clear);
    };
}

TEST(Thumbnail, EveryKindComesOutFittedUprightAndInItsColours) {
    std::vector<Sample> samples = {
        {"photo.jpg", picture(400, 300), 64, 64, 48},
        {"tall.png", picture(300, 400), 64, 48, 64},
        {"wide.webp", picture(400, 100), 80, 80, 20},
        {"flat.gif", picture(400, 300), 64, 64, 48},
        {"scan.tiff", picture(400, 300), 64, 64, 48},
        {"old.bmp", [](const auto& file) { return test::writeBmp(file, 400, 300); }, 64, 64, 48},
        {"sideways.jpg", picture(400, 300, "", 6), 64, 48, 64, false},  // EXIF: a quarter turn
        {"clear.png", picture(400, 300, "", 0, true), 64, 64, 48, true, kRed, test::kWhite},
        {"icon.png", picture(40, 30), 300, 40, 30},  // small pictures are not blown up
        {"paper.pdf", [](const auto& file) { return test::writePdf(file, 200, 100); }, 64, 64, 32},
    };
    // libheif comes with libvips as a loadable module, so it may be missing where the rest is not.
    const bool heif = test::haveVipsSaver("heifsave");
    if (heif) {
        samples.push_back({"phone.heic", picture(400, 300), 64, 64, 48});
        samples.push_back({"phone.avif", picture(400, 300, "[compression=av1]"), 64, 64, 48});
    }
    test::TempDir dir;
    expectThumbnails(dir.path(), samples);
    if (!heif) GTEST_SKIP() << "libvips has no HEIF saver here: no HEIC or AVIF sample was made";
}

TEST(Thumbnail, VideoStillSkipsTheBlackStartAndIsShownUpright) {
    if (!test::haveFfmpegTool()) GTEST_SKIP() << "the ffmpeg tool is not installed";
    test::TempDir dir;
    fs::path clip = dir.path() / "clip.mp4", turned = dir.path() / "turned.mov";
    ASSERT_TRUE(test::makeBlackThenColourVideo(clip));
    ASSERT_TRUE(
        test::makeBlackThenColourVideo(dir.path() / "clip.webm", "-c:v libvpx-vp9 -b:v 200k"));
    // The tool writes a 90 degree tag as a display matrix only when remuxing.
    ASSERT_TRUE(test::ffmpegWrites(turned, "-i '" + clip.string() + "'",
                                   "-c copy -metadata:s:v:0 rotate=90"));
    ASSERT_TRUE(test::ffmpegWrites(dir.path() / "upside.mov", "-i '" + clip.string() + "'",
                                   "-c copy -metadata:s:v:0 rotate=180"));
    // The tool's own still is the reference for up: the matrix's sign changed between versions.
    fs::path reference = dir.path() / "reference.jpg";
    ASSERT_TRUE(test::ffmpegWrites(reference, "-ss 1 -i '" + turned.string() + "'", "-frames:v 1"));
    std::optional<test::Decoded> shown = test::decodeJpeg(test::readBytes(reference));
    ASSERT_TRUE(shown);
    ASSERT_EQ(shown->width, 48) << "the tool did not turn the video; its tag went unwritten";
    bool redOnTop = test::near(shown->mean(0, 0, 48, 8), kRed);
    // Green weighs most in brightness: a green start is no dark start.
    ASSERT_TRUE(test::ffmpegWrites(dir.path() / "green.mp4",
                                   "-f lavfi -i color=c=0x00C800:s=64x48:r=25:d=0.5 -f lavfi -i "
                                   "color=c=0xDC1E1E:s=64x48:r=25:d=2 -filter_complex "
                                   "'[0][1]concat=n=2:v=1:a=0,format=yuv420p'",
                                   ""));
    expectThumbnails(dir.path(), {
                                     {"green.mp4", nullptr, 40, 40, 30, true, kGreen, kGreen},
                                     {"clip.mp4", nullptr, 40, 40, 30},
                                     {"clip.webm", nullptr, 40, 40, 30},
                                     {"turned.mov", nullptr, 40, 30, 40, false,
                                      redOnTop ? kRed : kBlue, redOnTop ? kBlue : kRed},
                                     {"upside.mov", nullptr, 40, 40, 30, true, kBlue, kRed},
                                     {"clip.mp4", nullptr, 300, 64, 48},
                                 });
}

TEST(Thumbnail, DamagedOrMisnamedFilesGiveNone) {
    test::TempDir dir;
    ASSERT_TRUE(test::writePicture(dir.path() / "good.jpg", 400, 300));
    std::string jpeg = test::readBytes(dir.path() / "good.jpg");
    const std::pair<const char*, std::string> cases[] = {
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
    for (const auto& [name, bytes] : cases) {
        std::ofstream(dir.path() / name, std::ios::binary) << bytes;
        EXPECT_FALSE(makeThumbnail(dir.path() / name, 64).has_value()) << name;
    }
}

}  // namespace
}  // namespace skiff::media
