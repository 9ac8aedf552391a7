// QR codes are checked by a real reader: zbarimg decodes the PNG files they are drawn into.
#include "app/qr_code.hpp"

#include <gtest/gtest.h>

#include "app/command.hpp"
#include "app/png_encoder.hpp"
#include "support/temp_dir.hpp"

namespace skiff::app {
namespace {

const std::string kAddress = "http://192.168.1.20:51234/?t=012345";

// The bytes zbarimg reads (binary, or it would guess a character set), or "(nothing)".
std::string decode(const GreyImage& image) {
    test::TempDir dir;
    std::filesystem::path file = dir.path() / "code.png";
    if (!writePng(image, file)) return "(not written)";
    std::optional<CommandResult> read = runCommand({"zbarimg", "--raw", "-q", "-Sbinary", file});
    if (!read || read->exitStatus != 0) return "(nothing)";
    return read->output.substr(0, read->output.find_last_not_of('\n') + 1);
}

// A terminal drawing as an image: a glyph is one module by two, drawn halves light; 6 px a module.
GreyImage fromTerminal(const std::string& drawing) {
    static const std::pair<std::string_view, const char*> kGlyphs[] = {
        {" ", ".."}, {"█", "##"}, {"▀", "#."}, {"▄", ".#"}};
    std::vector<std::string> rows(2);  // one per module row, '#' for light
    for (std::size_t i = 0; i < drawing.size();) {
        if (drawing[i++] == '\n') {
            rows.resize(rows.size() + 2);
            continue;
        }
        auto glyph = std::find_if(std::begin(kGlyphs), std::end(kGlyphs), [&](const auto& g) {
            return drawing.compare(i - 1, g.first.size(), g.first) == 0;
        });
        if (glyph == std::end(kGlyphs)) return {};
        rows[rows.size() - 2] += glyph->second[0];
        rows[rows.size() - 1] += glyph->second[1];
        i += glyph->first.size() - 1;
    }
    rows.resize(rows.size() - 2);
    GreyImage image{static_cast<int>(rows[0].size()) * 6, static_cast<int>(rows.size()) * 6, {}};
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
            image.pixels.push_back(rows[y / 6].at(x / 6) == '#' ? 255 : 0);
    return image;
}

int terminalModules(const std::string& text) {
    return fromTerminal(qrTerminal(text)).width / 6;
}

TEST(QrCode, ImagesAndTerminalDrawingsDecodeToTheirText) {
    if (!runCommand({"zbarimg", "--version"})) GTEST_SKIP() << "zbarimg (zbar-tools) is missing";
    const std::pair<std::string, int> rows[] = {
        {kAddress, 512},
        {kAddress, 300},                 // modules of uneven width
        {kAddress, 111},                 // three pixels per module at most
        {"Máy của Lan · Tải lên", 257},  // UTF-8 bytes go in unchanged
        {std::string(300, 'x'), 512},
    };
    for (const auto& [text, side] : rows) {
        SCOPED_TRACE(text + " at " + std::to_string(side));
        std::optional<GreyImage> image = qrImage(text, side);
        ASSERT_TRUE(image);
        EXPECT_EQ(image->width, side);
        EXPECT_EQ(image->height, side);
        EXPECT_EQ(decode(*image), text);
        EXPECT_EQ(decode(fromTerminal(qrTerminal(text))), text) << qrTerminal(text);
    }
}

// Level M, 8-bit: 14, 26, 42 bytes in 21, 25, 29 modules; version 40 holds 2331 in 177 (+8 quiet).
TEST(QrCode, LevelMAndByteModeDecideTheSizeAndItsLimits) {
    const std::pair<std::string, int> rows[] = {
        {std::string(14, 'a'), 21}, {std::string(15, 'a'), 25}, {"012345678901234", 25},
        {std::string(26, 'a'), 25}, {std::string(27, 'a'), 29}, {std::string(42, 'a'), 29},
        {std::string(43, 'a'), 33},
    };
    for (const auto& [text, modules] : rows) EXPECT_EQ(terminalModules(text), modules + 8) << text;
    EXPECT_TRUE(qrImage(std::string(2331, 'a'), 185));
    EXPECT_FALSE(qrImage(std::string(2331, 'a'), 184));
    EXPECT_FALSE(qrImage(std::string(2332, 'a'), 1024));
    EXPECT_EQ(qrTerminal(std::string(2332, 'a')), "");
    EXPECT_FALSE(qrImage("", 512));
    EXPECT_EQ(qrTerminal(""), "");
    for (int side : {0, -512, 8193}) EXPECT_FALSE(qrImage(kAddress, side)) << side;
    EXPECT_TRUE(qrImage(kAddress, 8192));
}

}  // namespace
}  // namespace skiff::app
