#pragma once

#include <string>
#include <string_view>

namespace skiff::server {

// The bytes as UTF-8 text, every invalid sequence replaced by U+FFFD.
std::string toValidUtf8(std::string_view bytes);

}  // namespace skiff::server
