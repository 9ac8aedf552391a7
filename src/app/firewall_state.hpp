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

enum class Firewall { ufw, firewalld };

// on: true when ufw or firewalld is on, false when those installed are off, nothing when no
// known firewall is installed or its state cannot be read; active: the one that is on.
struct FirewallReading {
    std::optional<bool> on;
    std::optional<Firewall> active;
    bool operator==(const FirewallReading&) const = default;
};

// Blocks while firewall-cmd runs.
FirewallReading readFirewall(const FirewallTools& tools = {});
std::optional<bool> firewallState(const FirewallTools& tools = {});

}  // namespace skiff::app
