#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "media/bitmap.hpp"

namespace skiff::media {

// What the decoder process writes back. The parent trusts none of it: a decoder fed a
// hostile file may be the one writing, so every answer is read with its bounds checked.

// "W H C\n" and then exactly W x H x C bytes of pixels.
std::string writeBitmapAnswer(const Bitmap& bitmap);
// None unless the header is well formed, the size within side x side and the pixels exact.
std::optional<Bitmap> readBitmapAnswer(std::string_view answer, int side);

// A number of seconds as text.
std::string writeSecondsAnswer(double seconds);
// None unless the text is one finite number within [low, high].
std::optional<double> readSecondsAnswer(std::string_view answer, double low, double high);

}  // namespace skiff::media
