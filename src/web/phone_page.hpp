#pragma once

#include <string_view>

namespace skiff::web {

// The phone page exactly as stored in src/web/index.html, compiled into the program.
std::string_view phonePage();

}  // namespace skiff::web
