#pragma once

#include <QImage>

#include "media/bitmap.hpp"

namespace skiff::ui {

// A copy of decoded pixels as a QImage (the bitmap's pixels are not ours to keep); a null image
// when the bitmap is empty.
QImage imageOf(const media::Bitmap& bitmap);

}  // namespace skiff::ui
