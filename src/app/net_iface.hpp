#pragma once

#include <string>

namespace skiff::app {

// One local IPv4 address a phone can open, with the network it belongs to.
struct NetIface {
    // The raw values are also the display order: Wi-Fi first, tunnels and the rest last.
    enum class Kind { wifi = 0, ethernet = 1, hotspot = 2, other = 3 };

    std::string bsd;    // interface name, e.g. wlan0, enp3s0, bridge0, wg0
    std::string ip;     // dotted quad
    std::string label;  // what the user sees
    Kind kind = Kind::other;

    // How the model remembers the chosen network: the name immediately followed by the address.
    std::string id() const { return bsd + ip; }

    bool operator==(const NetIface&) const = default;
};

}  // namespace skiff::app
