#pragma once

#include <string>
#include <string_view>

namespace skiff::server {

// Whether the bytes are well-formed UTF-8 (no overlong forms, surrogates or values past
// U+10FFFF).
bool isValidUtf8(std::string_view bytes);

// The bytes as UTF-8 text, every invalid sequence replaced by U+FFFD.
std::string toValidUtf8(std::string_view bytes);

// Controls, C1 controls and the marks that reorder text: "photo\u202egpj.exe" shows as
// "photoexe.jpg". None of them belongs in a name or an event line.
bool isControlOrDirectionMark(char32_t c);

// The text with every control character, C1 control and direction mark shown as an escape
// ("\x1b", "\u202e"), so a line from a phone can neither steer a terminal nor reorder
// what it shows.
std::string escapeControls(std::string_view utf8);

}  // namespace skiff::server
