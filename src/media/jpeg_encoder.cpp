#include "media/jpeg_encoder.hpp"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <jpeglib.h>

namespace skiff::media {
namespace {

struct ErrorExit {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

void onError(j_common_ptr info) {
    std::longjmp(reinterpret_cast<ErrorExit*>(info->err)->jump, 1);
}

void ignoreMessage(j_common_ptr) {}

// One row as RGB, with transparency laid over white.
void flattenRow(const std::uint8_t* in, int width, int channels, std::uint8_t* out) {
    for (int x = 0; x < width; ++x, in += channels, out += 3) {
        if (channels == 3) {
            out[0] = in[0], out[1] = in[1], out[2] = in[2];
            continue;
        }
        unsigned alpha = in[3];
        for (int c = 0; c < 3; ++c)
            out[c] = static_cast<std::uint8_t>((in[c] * alpha + 255 * (255 - alpha) + 127) / 255);
    }
}

// Plain C data only between setjmp and the calls that may jump back to it.
bool encode(const Bitmap& bitmap, int quality, std::uint8_t* row, unsigned char** bytes,
            unsigned long* length) {
    jpeg_compress_struct info;
    ErrorExit error;
    info.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = onError;
    error.manager.output_message = ignoreMessage;
    if (setjmp(error.jump)) {
        jpeg_destroy_compress(&info);
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, bytes, length);
    info.image_width = static_cast<JDIMENSION>(bitmap.width);
    info.image_height = static_cast<JDIMENSION>(bitmap.height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    std::size_t stride = static_cast<std::size_t>(bitmap.width) * bitmap.channels;
    while (info.next_scanline < info.image_height) {
        flattenRow(bitmap.pixels.data() + info.next_scanline * stride, bitmap.width,
                   bitmap.channels, row);
        JSAMPROW rows[1] = {row};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

}  // namespace

std::optional<std::string> encodeJpeg(const Bitmap& bitmap, int quality) {
    bool wellFormed = bitmap.width > 0 && bitmap.height > 0 &&
                      (bitmap.channels == 3 || bitmap.channels == 4) &&
                      bitmap.pixels.size() ==
                          static_cast<std::size_t>(bitmap.width) * bitmap.height * bitmap.channels;
    if (!wellFormed || quality < 1 || quality > 100) return std::nullopt;
    std::vector<std::uint8_t> row(static_cast<std::size_t>(bitmap.width) * 3);
    unsigned char* bytes = nullptr;
    unsigned long length = 0;
    bool done = encode(bitmap, quality, row.data(), &bytes, &length);
    std::optional<std::string> jpeg;
    if (done && bytes) jpeg.emplace(reinterpret_cast<const char*>(bytes), length);
    std::free(bytes);
    return jpeg;
}

}  // namespace skiff::media
