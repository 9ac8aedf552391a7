#pragma once

#include <chrono>
#include <filesystem>
#include <optional>

namespace skiff::app {

// Where the firewalls that desktops ship are found.
struct FirewallTools {
    std::filesystem::path ufwProgram = "/usr/sbin/ufw";
    std::filesystem::path ufwConfig = "/etc/ufw/ufw.conf";
    std::filesystem::path firewallCmd = "/usr/bin/firewall-cmd";
    std::chrono::milliseconds timeout{3000};  // for firewall-cmd, which asks firewalld over D-Bus
};

// True when ufw or firewalld is on, false when those installed are off, nothing when no
// known firewall is installed or its state cannot be read. Blocks while firewall-cmd runs.
std::optional<bool> firewallState(const FirewallTools& tools = {});

}  // namespace skiff::app
