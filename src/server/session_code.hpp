#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace skiff::server {

// Six decimal digits, leading zeros kept, every value equally likely, from a secure source.
std::string makeSessionCode();

// Four digits both screens show for one waiting request, every value equally likely.
std::string makePairCode();

// Equality of two byte strings in time that does not depend on where they differ.
bool constantTimeEquals(std::string_view offered, std::string_view expected);

// The session code as people read it: three digits, a space, three digits.
std::string groupedCode(std::string_view code);

}  // namespace skiff::server
