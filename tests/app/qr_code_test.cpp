// QR codes are checked by a real reader: zbarimg decodes the PNG files they are drawn into.
#include "app/qr_code.hpp"

#include <gtest/gtest.h>

#include "app/command.hpp"
#include "app/png_encoder.hpp"
#include "support/temp_dir.hpp"

namespace skiff::app {
namespace {

const std::string kAddress = "http://192.168.1.20:51234/?t=012345";

// The bytes zbarimg reads from the image, or "(nothing)". Binary output, because the reader
// would otherwise guess a character set for the bytes.
std::string decode(const GreyImage& image) {
    test::TempDir dir;
    std::filesystem::path file = dir.path() / "code.png";
    if (!writePng(image, file)) return "(not written)";
    std::optional<CommandResult> read = runCommand({"zbarimg", "--raw", "-q", "-Sbinary", file});
    if (!read || read->exitStatus != 0) return "(nothing)";
    return read->output.substr(0, read->output.find_last_not_of('\n') + 1);
}

// Turns a terminal drawing back into an image: a glyph is one module wide and two high, its
// drawn halves light, blanks dark; a module becomes 6 x 6 pixels. Empty for a stray glyph.
GreyImage fromTerminal(const std::string& drawing) {
    static const std::pair<std::string_view, const char*> kGlyphs[] = {
        {" ", ".."}, {"█", "##"}, {"▀", "#."}, {"▄", ".#"}};
    std::vector<std::string> rows;  // one per module row, '#' for light
    std::string top, bottom;
    for (std::size_t i = 0; i < drawing.size();) {
        if (drawing[i] == '\n') {
            rows.push_back(std::exchange(top, {}));
            rows.push_back(std::exchange(bottom, {}));
            ++i;
            continue;
        }
        auto glyph = std::find_if(std::begin(kGlyphs), std::end(kGlyphs), [&](const auto& g) {
            return drawing.compare(i, g.first.size(), g.first) == 0;
        });
        if (glyph == std::end(kGlyphs)) return {};
        top += glyph->second[0];
        bottom += glyph->second[1];
        i += glyph->first.size();
    }
    const int scale = 6;
    GreyImage image{rows.empty() ? 0 : static_cast<int>(rows[0].size()) * scale,
                    static_cast<int>(rows.size()) * scale,
                    {}};
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
            image.pixels.push_back(rows[y / scale].at(x / scale) == '#' ? 255 : 0);
    return image;
}

int terminalModules(const std::string& text) {
    return fromTerminal(qrTerminal(text)).width / 6;
}

TEST(QrCode, ImagesAndTerminalDrawingsDecodeToTheirText) {
    if (!runCommand({"zbarimg", "--version"})) GTEST_SKIP() << "zbarimg (zbar-tools) is missing";
    const std::pair<std::string, int> rows[] = {
        {kAddress, 512},
        {kAddress, 300},  // modules of uneven width
        {kAddress, 111},  // three pixels per module at most
        {"http://10.0.0.5:40001/?t=999999", 257},
        {"Máy của Lan · Tải lên", 512},  // UTF-8 bytes go in unchanged
        {std::string(300, 'x'), 512},
    };
    for (const auto& [text, side] : rows) {
        SCOPED_TRACE(text + " at " + std::to_string(side));
        std::optional<GreyImage> image = qrImage(text, side);
        ASSERT_TRUE(image);
        EXPECT_EQ(image->width, side);
        EXPECT_EQ(image->height, side);
        EXPECT_EQ(decode(*image), text);
        std::string drawing = qrTerminal(text);
        EXPECT_EQ(decode(fromTerminal(drawing)), text) << drawing;
    }
}

TEST(QrCode, ImageKeepsAFourModuleQuietZone) {
    const int side = 512, modules = terminalModules(kAddress);
    std::optional<GreyImage> image = qrImage(kAddress, side);
    ASSERT_TRUE(image);
    // The code's finder patterns begin right after four light modules on every edge.
    int firstDark = side, lastDark = -1;
    for (int i = 0; i < side * side; ++i) {
        if (image->pixels[static_cast<std::size_t>(i)] != 0) continue;
        firstDark = std::min({firstDark, i % side, i / side});
        lastDark = std::max({lastDark, i % side, i / side});
    }
    int border = (4 * side + modules - 1) / modules;  // first pixel of module 4
    EXPECT_EQ(firstDark, border);
    EXPECT_EQ(lastDark, side - 1 - 4 * side / modules);
}

TEST(QrCode, LevelMAndByteModeDecideTheSize) {
    // Level M in 8-bit mode holds 14 bytes in version 1 (21 modules), 26 in version 2 and 42 in
    // version 3. Level L or a numeric mode would choose a smaller version for some rows.
    const std::pair<std::string, int> rows[] = {
        {std::string(14, 'a'), 21}, {std::string(15, 'a'), 25}, {"012345678901234", 25},
        {std::string(26, 'a'), 25}, {std::string(27, 'a'), 29}, {std::string(42, 'a'), 29},
        {std::string(43, 'a'), 33},
    };
    for (const auto& [text, modules] : rows) {
        SCOPED_TRACE(text);
        EXPECT_EQ(terminalModules(text), modules + 8);  // with the quiet zone
    }
}

TEST(QrCode, NothingWhenTheCodeCannotBeMade) {
    // Version 40 at level M holds 2331 bytes in 177 modules, 185 with the quiet zone.
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
