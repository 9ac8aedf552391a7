#pragma once

#include <QString>

#include <system_error>

namespace skiff::app {

// A system error as the person at the computer reads it: in Vietnamese, never the C library's
// English text; an error without its own words is named by its number.
QString errorReason(std::error_code error);

}  // namespace skiff::app
