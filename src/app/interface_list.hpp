#pragma once

#include <sys/socket.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/interface_facts.hpp"
#include "app/net_iface.hpp"

namespace skiff::app {

// One row of the system's address list, as getifaddrs reports it.
struct AddressEntry {
    std::string name;
    unsigned flags = 0;      // IFF_* bits
    int family = AF_UNSPEC;  // of the address; AF_UNSPEC when the row carries none
    std::string address;     // numeric text for AF_INET and AF_INET6, else empty
};

using FactsLookup = std::function<InterfaceFacts(std::string_view name)>;

// The addresses among `entries` that a phone on the same network can reach, one per address
// (the first interface reporting it keeps it), classified and in display order.
std::vector<NetIface> selectInterfaces(const std::vector<AddressEntry>& entries,
                                       const FactsLookup& facts);

// The system's address list, or nothing when it cannot be read.
std::optional<std::vector<AddressEntry>> readAddressEntries();

// The usable local addresses of this computer, best first; empty when none or when the address
// list cannot be read. `classNet` is where the device facts are read, normally /sys/class/net.
std::vector<NetIface> listInterfaces(const std::filesystem::path& classNet = "/sys/class/net");

}  // namespace skiff::app
