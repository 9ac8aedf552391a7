#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "app/grey_image.hpp"

namespace skiff::app {

// A QR code (error correction M, the text's UTF-8 bytes in 8-bit mode) drawn black on white,
// exactly side x side pixels including the quiet zone. Nothing for an empty text, a text too
// long for a QR code, or a side too small to give every module a pixel or above 8192.
std::optional<GreyImage> qrImage(std::string_view text, int side);

// The same code for a terminal, two module rows per line drawn with half blocks, ending in a
// line feed; empty when the text cannot be encoded.
std::string qrTerminal(std::string_view text);

}  // namespace skiff::app
