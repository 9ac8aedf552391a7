#include "ui/common/bitmap_image.hpp"

namespace skiff::ui {

QImage imageOf(const media::Bitmap& bitmap) {
    if (bitmap.width <= 0 || bitmap.height <= 0) return {};
    auto format = bitmap.channels == 4   ? QImage::Format_RGBA8888
                  : bitmap.channels == 1 ? QImage::Format_Grayscale8
                                         : QImage::Format_RGB888;
    QImage view(bitmap.pixels.data(), bitmap.width, bitmap.height, bitmap.width * bitmap.channels,
                format);
    return view.copy();
}

}  // namespace skiff::ui
