#include "app/firewall_command.hpp"

namespace skiff::app {

std::string firewallName(Firewall firewall) {
    return firewall == Firewall::ufw ? "ufw" : "firewalld";
}

std::string openPortCommand(Firewall firewall, std::uint16_t port) {
    std::string tcp = std::to_string(port) + "/tcp";
    if (firewall == Firewall::ufw) return "sudo ufw allow " + tcp + " comment 'Skiff'";
    // --permanent alone changes only the stored rules; the reload makes them the running ones.
    return "sudo firewall-cmd --add-port=" + tcp + " --permanent && sudo firewall-cmd --reload";
}

}  // namespace skiff::app
