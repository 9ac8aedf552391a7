#pragma once

#include <filesystem>
#include <string_view>

namespace skiff::app {

// What the kernel tells about a network device beyond its name.
struct InterfaceFacts {
    bool wireless = false;       // a Wi-Fi device, whether client or access point
    bool virtualDevice = false;  // no hardware behind it: bridges, veth, docker, tunnels
};

// Reads the facts from sysfs; `classNet` is normally /sys/class/net. An address label such as
// "eth0:1" is looked up as its device "eth0". A device sysfs does not know has no facts, so only
// the name rules classify it.
InterfaceFacts interfaceFacts(const std::filesystem::path& classNet, std::string_view name);

}  // namespace skiff::app
