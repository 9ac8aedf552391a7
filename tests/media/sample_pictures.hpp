#pragma once

#include <vips/vips.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "media/vips_runtime.hpp"
#include "support/file_bytes.hpp"
#include "support/sample_jpeg.hpp"
#include "support/sample_pdf.hpp"

namespace skiff::test {

struct Rgb {
    int r, g, b;
};
inline constexpr Rgb kRed{220, 30, 30};
inline constexpr Rgb kBlue{30, 30, 220};
inline constexpr Rgb kWhite{255, 255, 255};

// Red left, blue (or, with alpha, clear) right: a thumbnail shows if it was turned or mirrored.
inline std::vector<std::uint8_t> halves(int width, int height, bool clearRight = false) {
    std::vector<std::uint8_t> pixels;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            Rgb c = x < width / 2 ? kRed : kBlue;
            pixels.insert(pixels.end(), {std::uint8_t(c.r), std::uint8_t(c.g), std::uint8_t(c.b)});
            if (clearRight) pixels.push_back(x < width / 2 ? 255 : 0);
        }
    }
    return pixels;
}

// Saved by libvips for the suffix; options as "[name=value]"; orientation as the EXIF tag.
inline bool writePicture(const std::filesystem::path& file, int width, int height,
                         const std::string& options = "", int orientation = 0,
                         bool clearRight = false) {
    if (!media::ensureVips()) return false;
    std::vector<std::uint8_t> pixels = halves(width, height, clearRight);
    VipsImage* image = vips_image_new_from_memory_copy(pixels.data(), pixels.size(), width, height,
                                                       clearRight ? 4 : 3, VIPS_FORMAT_UCHAR);
    if (!image) return false;
    image->Type = VIPS_INTERPRETATION_sRGB;
    if (orientation) vips_image_set_int(image, "orientation", orientation);
    bool saved = vips_image_write_to_file(image, (file.string() + options).c_str(), nullptr) == 0;
    g_object_unref(image);
    if (!saved) media::clearVipsError();
    return saved;
}

inline bool haveVipsSaver(const char* nickname) {
    return media::ensureVips() && vips_type_find("VipsOperation", nickname) != 0;
}

// The halves as a 24-bit Windows bitmap, written by hand since libvips has no saver for it.
inline bool writeBmp(const std::filesystem::path& file, int width, int height) {
    std::vector<std::uint8_t> pixels = halves(width, height);
    int rowBytes = (width * 3 + 3) / 4 * 4;
    std::string out = "BM";
    auto u32 = [&](std::uint32_t v) {
        out.append({char(v), char(v >> 8), char(v >> 16), char(v >> 24)});
    };
    u32(54 + rowBytes * height), u32(0), u32(54), u32(40), u32(width), u32(height);
    u32(1 | 24 << 16), u32(0), u32(rowBytes * height), u32(2835), u32(2835), u32(0), u32(0);
    for (int y = height - 1; y >= 0; --y) {  // bottom row first, BGR
        std::string row(static_cast<std::size_t>(rowBytes), '\0');
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c) row[x * 3 + c] = char(pixels[(y * width + x) * 3 + 2 - c]);
        out += row;
    }
    return static_cast<bool>(std::ofstream(file, std::ios::binary) << out);
}

// Pixels as the real JPEG decoder reads them back.
struct Decoded {
    int width = 0, height = 0, bands = 0;
    std::vector<std::uint8_t> pixels;

    Rgb mean(int x0, int y0, int x1, int y1) const {
        long sum[3] = {0, 0, 0}, count = std::max(1, (x1 - x0) * (y1 - y0));
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                for (int c = 0; c < 3; ++c)
                    sum[c] += pixels[(std::size_t(y) * width + x) * bands + (bands >= 3 ? c : 0)];
        return {int(sum[0] / count), int(sum[1] / count), int(sum[2] / count)};
    }
};

inline std::optional<Decoded> decodeJpeg(const std::string& bytes) {
    VipsImage* image = nullptr;
    if (!media::ensureVips() ||
        vips_jpegload_buffer(const_cast<char*>(bytes.data()), bytes.size(), &image, nullptr) != 0) {
        media::clearVipsError();
        return std::nullopt;
    }
    std::size_t size = 0;
    void* memory = vips_image_write_to_memory(image, &size);
    Decoded decoded{image->Xsize, image->Ysize, image->Bands, {}};
    g_object_unref(image);
    if (!memory) return std::nullopt;
    decoded.pixels.assign(static_cast<std::uint8_t*>(memory),
                          static_cast<std::uint8_t*>(memory) + size);
    g_free(memory);
    return decoded;
}

inline bool near(Rgb actual, Rgb expected, int tolerance = 60) {
    return std::abs(actual.r - expected.r) <= tolerance &&
           std::abs(actual.g - expected.g) <= tolerance &&
           std::abs(actual.b - expected.b) <= tolerance;
}

inline std::ostream& operator<<(std::ostream& out, Rgb c) {
    return out << '(' << c.r << ", " << c.g << ", " << c.b << ')';
}

}  // namespace skiff::test
