#include "app/png_encoder.hpp"

#include <png.h>

#include <fstream>

namespace skiff::app {

std::optional<std::vector<std::uint8_t>> encodePng(const GreyImage& image) {
    if (image.width <= 0 || image.height <= 0 ||
        image.pixels.size() !=
            static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height))
        return std::nullopt;

    // libpng's simplified interface reports errors as results, with no longjmp through our frames.
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    png.width = static_cast<png_uint_32>(image.width);
    png.height = static_cast<png_uint_32>(image.height);
    png.format = PNG_FORMAT_GRAY;
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&png, nullptr, &size, 0, image.pixels.data(), 0, nullptr))
        return std::nullopt;
    std::vector<std::uint8_t> bytes(size);
    if (!png_image_write_to_memory(&png, bytes.data(), &size, 0, image.pixels.data(), 0, nullptr))
        return std::nullopt;
    bytes.resize(size);
    return bytes;
}

bool writePng(const GreyImage& image, const std::filesystem::path& file) {
    std::optional<std::vector<std::uint8_t>> bytes = encodePng(image);
    if (!bytes) return false;
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes->data()),
              static_cast<std::streamsize>(bytes->size()));
    out.close();
    return static_cast<bool>(out);
}

}  // namespace skiff::app
