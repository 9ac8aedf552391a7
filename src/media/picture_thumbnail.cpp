#include "media/picture_thumbnail.hpp"

#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>

#include <vips/vips.h>

#include "media/decoder_limits.hpp"
#include "media/vips_runtime.hpp"

namespace skiff::media {
namespace {

using Image = VipsImagePtr;
using GFree = GlibFree;

// Only these bytes, checked to be a BMP, ever reach ImageMagick (see vips_runtime.cpp), so
// the file is read whole first. BMPs are small enough for that.
constexpr std::uintmax_t kMaxBmpBytes = 64 * 1024 * 1024;

std::optional<std::string> readBmp(const std::filesystem::path& file) {
    std::error_code error;
    std::uintmax_t size = std::filesystem::file_size(file, error);
    if (error || size < 2 || size > kMaxBmpBytes) return std::nullopt;
    std::ifstream in(file, std::ios::binary);
    std::string bytes(size, '\0');
    if (!in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()))) return std::nullopt;
    if (!bytes.starts_with("BM")) return std::nullopt;
    return bytes;
}

// What the header claims, checked before a pixel is decoded: a few hundred bytes can claim
// a picture that takes gigabytes to decode.
bool withinLimits(VipsImage* header, std::string_view loader, std::uintmax_t bytes) {
    if (!header) return false;
    if (static_cast<std::int64_t>(header->Xsize) * header->Ysize > kMaxDecodePixels) return false;
    if (loader.starts_with("VipsForeignLoadPdf")) {
        return bytes <= static_cast<std::uintmax_t>(kMaxPdfBytes) &&
               vips_image_get_n_pages(header) <= kMaxPdfPages;
    }
    return true;
}

bool headerWithinLimits(const std::filesystem::path& file, std::string_view loader) {
    std::error_code error;
    std::uintmax_t bytes = std::filesystem::file_size(file, error);
    if (error) return false;
    Image header(vips_image_new_from_file(file.c_str(), "access", VIPS_ACCESS_SEQUENTIAL, nullptr));
    return withinLimits(header.get(), loader, bytes);
}

bool bufferWithinLimits(const std::string& bytes) {
    Image header(vips_image_new_from_buffer(bytes.data(), bytes.size(), "", "access",
                                            VIPS_ACCESS_SEQUENTIAL, nullptr));
    return withinLimits(header.get(), "", bytes.size());
}

Image shrink(const std::filesystem::path& file, int side) {
    const char* loader = vips_foreign_find_load(file.c_str());
    if (!loader) return nullptr;
    VipsImage* out = nullptr;
    // Truncated files (a picture still arriving, say) fail rather than show grey, so nothing
    // is cached and a later request tries again.
    if (std::string_view(loader).starts_with("VipsForeignLoadMagick")) {
        std::optional<std::string> bytes = readBmp(file);
        if (!bytes || !bufferWithinLimits(*bytes)) return nullptr;
        if (vips_thumbnail_buffer(bytes->data(), bytes->size(), &out, side, "height", side, "size",
                                  VIPS_SIZE_DOWN, "fail_on", VIPS_FAIL_ON_TRUNCATED,
                                  nullptr) != 0) {
            return nullptr;
        }
        // The pipeline reads the buffer lazily, so the pixels are made before it goes away.
        Image lazy(out);
        return Image(vips_image_copy_memory(lazy.get()));
    }
    if (!headerWithinLimits(file, loader)) return nullptr;
    if (vips_thumbnail(file.c_str(), &out, side, "height", side, "size", VIPS_SIZE_DOWN, "fail_on",
                       VIPS_FAIL_ON_TRUNCATED, nullptr) != 0) {
        return nullptr;
    }
    return Image(out);
}

// 8-bit sRGB, with alpha only when the picture has it.
Image toDisplayPixels(Image image) {
    VipsImage* out = nullptr;
    if (vips_colourspace(image.get(), &out, VIPS_INTERPRETATION_sRGB, nullptr) != 0) return nullptr;
    image.reset(out);
    if (image->BandFmt != VIPS_FORMAT_UCHAR) {
        if (vips_cast_uchar(image.get(), &out, nullptr) != 0) return nullptr;
        image.reset(out);
    }
    int bands = vips_image_hasalpha(image.get()) ? 4 : 3;
    if (image->Bands != bands) {
        if (image->Bands < bands) return nullptr;
        if (vips_extract_band(image.get(), &out, 0, "n", bands, nullptr) != 0) return nullptr;
        image.reset(out);
    }
    return image;
}

}  // namespace

std::optional<Bitmap> thumbnailPicture(const std::filesystem::path& file, int side) {
    // libvips reads options from a "[...]" suffix of a file name; ours never carry one.
    if (side <= 0 || file.empty() || file.native().ends_with(']') || !ensureVips())
        return std::nullopt;

    Image image = shrink(file, side);
    if (image) image = toDisplayPixels(std::move(image));
    std::size_t size = 0;
    std::unique_ptr<void, GFree> memory(image ? vips_image_write_to_memory(image.get(), &size)
                                              : nullptr);
    if (!memory) {
        clearVipsError();
        return std::nullopt;
    }

    Bitmap bitmap;
    bitmap.width = image->Xsize;
    bitmap.height = image->Ysize;
    bitmap.channels = image->Bands;
    if (size != static_cast<std::size_t>(bitmap.width) * bitmap.height * bitmap.channels)
        return std::nullopt;
    const auto* bytes = static_cast<const std::uint8_t*>(memory.get());
    bitmap.pixels.assign(bytes, bytes + size);
    return bitmap;
}

}  // namespace skiff::media
