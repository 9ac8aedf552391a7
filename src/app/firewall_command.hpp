#pragma once

#include <cstdint>
#include <string>

#include "app/firewall_state.hpp"

namespace skiff::app {

// The firewall's own name, as its commands and the user know it.
std::string firewallName(Firewall firewall);

// The one shell command that lets phones reach `port` through `firewall`, for good.
std::string openPortCommand(Firewall firewall, std::uint16_t port);

}  // namespace skiff::app
