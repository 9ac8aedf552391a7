#include "app/qr_code.hpp"

#include <qrencode.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace skiff::app {
namespace {

// Readers locate a code by the light border around it. The window and the terminal may place
// it on any background, so the border is part of what we draw rather than left to the caller.
constexpr int kQuietZone = 4;
constexpr int kMaxSide = 8192;

// The code's modules with the quiet zone around them, row by row.
struct Modules {
    int size = 0;
    std::vector<bool> dark;

    bool isDark(int x, int y) const {
        return dark[static_cast<std::size_t>(y) * static_cast<std::size_t>(size) +
                    static_cast<std::size_t>(x)];
    }
};

std::optional<Modules> encode(std::string_view text) {
    // The encoder refuses an empty text and one past version 40's 2331 bytes at level M.
    // 8-bit mode for the whole text: the bytes go in unchanged, whatever they are.
    std::unique_ptr<QRcode, decltype(&QRcode_free)> code(
        QRcode_encodeData(static_cast<int>(text.size()),
                          reinterpret_cast<const unsigned char*>(text.data()), 0, QR_ECLEVEL_M),
        QRcode_free);
    if (!code) return std::nullopt;

    int width = code->width;
    Modules modules;
    modules.size = width + 2 * kQuietZone;
    modules.dark.assign(static_cast<std::size_t>(modules.size) * modules.size, false);
    for (int y = 0; y < width; ++y) {
        for (int x = 0; x < width; ++x) {
            // Bit 0 of each byte tells a dark module; the other bits describe its role.
            bool dark = (code->data[y * width + x] & 1) != 0;
            modules.dark[static_cast<std::size_t>(y + kQuietZone) * modules.size + x + kQuietZone] =
                dark;
        }
    }
    return modules;
}

}  // namespace

std::optional<GreyImage> qrImage(std::string_view text, int side) {
    if (side <= 0 || side > kMaxSide) return std::nullopt;
    std::optional<Modules> modules = encode(text);
    if (!modules || side < modules->size) return std::nullopt;

    // Nearest-neighbour scaling: every pixel takes the module under its position, so modules
    // are a whole pixel wide or one more when side is not a multiple of the module count.
    GreyImage image{side, side, std::vector<std::uint8_t>(static_cast<std::size_t>(side) * side)};
    for (int y = 0; y < side; ++y) {
        int row = static_cast<int>(static_cast<std::int64_t>(y) * modules->size / side);
        for (int x = 0; x < side; ++x) {
            int column = static_cast<int>(static_cast<std::int64_t>(x) * modules->size / side);
            image.pixels[static_cast<std::size_t>(y) * side + x] =
                modules->isDark(column, row) ? 0 : 255;
        }
    }
    return image;
}

std::string qrTerminal(std::string_view text) {
    std::optional<Modules> modules = encode(text);
    if (!modules) return {};
    // Light modules are the drawn glyphs and dark ones the blanks, so on the usual light-on-dark
    // terminal the code comes out dark on light, as readers expect.
    std::string out;
    for (int y = 0; y < modules->size; y += 2) {
        for (int x = 0; x < modules->size; ++x) {
            bool top = !modules->isDark(x, y);
            // The module count is odd; the half row below the last one continues the quiet zone.
            bool bottom = y + 1 >= modules->size || !modules->isDark(x, y + 1);
            out += top && bottom ? "█" : top ? "▀" : bottom ? "▄" : " ";
        }
        out += '\n';
    }
    return out;
}

}  // namespace skiff::app
