#include "app/interface_list.hpp"

#include <gtest/gtest.h>
#include <net/if.h>

#include <fstream>
#include <map>

#include "support/temp_dir.hpp"

namespace skiff::app {
namespace {

namespace fs = std::filesystem;

constexpr unsigned kUp = IFF_UP | IFF_RUNNING;

AddressEntry v4(const char* name, const char* address, unsigned flags = kUp, int family = AF_INET) {
    return {name, flags, family, address};
}

TEST(InterfaceList, ClassifiesFiltersAndOrdersRecordedLists) {
    const InterfaceFacts wifi{.wireless = true}, virt{.virtualDevice = true};
    struct Machine {
        const char* what;
        std::vector<AddressEntry> entries;
        std::map<std::string, InterfaceFacts, std::less<>> facts;  // others: none
        std::vector<std::string> expected;                         // name|ip|label|kind
    };
    const Machine machines[] = {
        {"laptop sharing its connection: Wi-Fi, wired, then the bridge",
         {v4("lo", "127.0.0.1", kUp | IFF_LOOPBACK), v4("bridge0", "192.168.2.1"),
          v4("enp0s31f6", "10.0.0.5"), v4("wlp2s0", "192.168.1.20")},
         {{"wlp2s0", wifi}, {"bridge0", virt}},
         {"wlp2s0|192.168.1.20|Wi-Fi|0", "enp0s31f6|10.0.0.5|Mạng dây|1",
          "bridge0|192.168.2.1|Chia sẻ Internet của máy tính|2"}},
        {"wired by name in code-point order; tunnels, container and VM links last",
         {v4("wg0", "10.66.66.2"), v4("eth2", "10.1.0.2"), v4("tun0", "10.8.0.2"),
          v4("eth10", "10.1.0.10"), v4("docker0", "172.17.0.1"), v4("br-3f2a", "172.18.0.1"),
          v4("veth9a", "172.19.0.1"), v4("virbr0", "192.168.122.1"), v4("wlan0", "10.3.0.1")},
         {{"wg0", virt}, {"tun0", virt}},
         {"eth10|10.1.0.10|Mạng dây|1", "eth2|10.1.0.2|Mạng dây|1", "br-3f2a|172.18.0.1|br-3f2a|3",
          "docker0|172.17.0.1|docker0|3", "tun0|10.8.0.2|VPN|3", "veth9a|172.19.0.1|veth9a|3",
          "virbr0|192.168.122.1|virbr0|3", "wg0|10.66.66.2|VPN|3", "wlan0|10.3.0.1|wlan0|3"}},
        {"a Wi-Fi card is Wi-Fi whatever its name; in a container eth0 is a veth end",
         {v4("eth1", "192.168.1.21"), v4("eth0", "172.17.0.2")},
         {{"eth1", wifi}, {"eth0", virt}},
         {"eth1|192.168.1.21|Wi-Fi|0", "eth0|172.17.0.2|eth0|3"}},
        {"only up, running, non-loopback IPv4 rows with private addresses",
         {v4("eth0", "192.168.1.5", IFF_UP), v4("eth1", "192.168.1.6", IFF_RUNNING),
          v4("eth2", "192.168.1.7", kUp | IFF_LOOPBACK), v4("eth3", "8.8.4.4"),
          v4("eth4", "169.254.10.20"), v4("eth5", "100.64.0.7"), v4("dummy0", "127.0.0.2"),
          v4("eth6", "172.15.255.1"), v4("eth7", "172.32.0.1"), v4("eth8", ""),
          v4("eth9", "fd00::5", kUp, AF_INET6), v4("eth9", "", kUp, AF_PACKET),
          v4("eth10", "172.16.0.1"), v4("eth11", "172.31.255.254")},
         {},
         {"eth10|172.16.0.1|Mạng dây|1", "eth11|172.31.255.254|Mạng dây|1"}},
        {"the first interface keeps an address; one interface keeps the system's order",
         {v4("eth0", "192.168.1.20"), v4("wlan0", "192.168.1.20"), v4("eth0", "10.0.0.9"),
          v4("eth0", "10.0.0.5")},
         {{"wlan0", wifi}},
         {"eth0|192.168.1.20|Mạng dây|1", "eth0|10.0.0.9|Mạng dây|1", "eth0|10.0.0.5|Mạng dây|1"}},
    };
    for (const Machine& machine : machines) {
        SCOPED_TRACE(machine.what);
        std::vector<std::string> listed;
        for (const NetIface& iface : selectInterfaces(machine.entries, [&](std::string_view name) {
                 auto found = machine.facts.find(name);
                 return found == machine.facts.end() ? InterfaceFacts{} : found->second;
             }))
            listed.push_back(iface.bsd + "|" + iface.ip + "|" + iface.label + "|" +
                             std::to_string(static_cast<int>(iface.kind)));
        EXPECT_EQ(listed, machine.expected);
    }
}

TEST(InterfaceList, ReadsTheKernelsAddressList) {
    std::optional<std::vector<AddressEntry>> entries = readAddressEntries();
    ASSERT_TRUE(entries);
    EXPECT_TRUE(std::any_of(entries->begin(), entries->end(), [](const AddressEntry& e) {
        return e.name == "lo" && e.family == AF_INET && e.address == "127.0.0.1" &&
               (e.flags & (IFF_UP | IFF_LOOPBACK)) == (IFF_UP | IFF_LOOPBACK);
    }));
}

}  // namespace
}  // namespace skiff::app
