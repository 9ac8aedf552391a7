#include "app/interface_list.hpp"

#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>

#include <algorithm>
#include <array>
#include <memory>
#include <unordered_set>

#include "server/local_network.hpp"

namespace skiff::app {
namespace {

// Names that container and virtual-machine tools give their links. Matched by name as well as
// by the missing device link, so such links sort last even where sysfs tells nothing.
constexpr std::array kVirtualPrefixes = {"docker", "veth", "virbr", "br-", "vnet", "lxcbr"};

bool reachableAddress(const AddressEntry& entry) {
    constexpr unsigned kNeeded = IFF_UP | IFF_RUNNING;
    if ((entry.flags & kNeeded) != kNeeded || (entry.flags & IFF_LOOPBACK) != 0) return false;
    if (entry.family != AF_INET || entry.address.empty()) return false;
    std::string_view ip = entry.address;
    // A loopback address on another device is still unreachable from a phone; link-local
    // addresses change with every connection and phones rarely route them.
    return server::isLocalHost(ip) && !ip.starts_with("169.254") && !ip.starts_with("127.");
}

NetIface classify(const AddressEntry& entry, const InterfaceFacts& facts) {
    std::string_view name = entry.name;
    auto is = [&](NetIface::Kind kind, std::string label) {
        return NetIface{entry.name, entry.address, std::move(label), kind};
    };
    if (facts.wireless) return is(NetIface::Kind::wifi, "Wi-Fi");
    if (name.starts_with("bridge"))
        return is(NetIface::Kind::hotspot, "Chia sẻ Internet của máy tính");
    if (name.starts_with("tun") || name.starts_with("wg")) return is(NetIface::Kind::other, "VPN");
    bool namedVirtual = std::any_of(kVirtualPrefixes.begin(), kVirtualPrefixes.end(),
                                    [&](const char* prefix) { return name.starts_with(prefix); });
    // Checked before the wired prefixes: inside a container "eth0" is one end of a veth pair.
    if (facts.virtualDevice || namedVirtual) return is(NetIface::Kind::other, entry.name);
    if (name.starts_with("en") || name.starts_with("eth"))
        return is(NetIface::Kind::ethernet, "Mạng dây");
    return is(NetIface::Kind::other, entry.name);
}

}  // namespace

std::vector<NetIface> selectInterfaces(const std::vector<AddressEntry>& entries,
                                       const FactsLookup& facts) {
    std::vector<NetIface> kept;
    std::unordered_set<std::string> addresses;
    for (const AddressEntry& entry : entries) {
        if (!reachableAddress(entry) || !addresses.insert(entry.address).second) continue;
        kept.push_back(classify(entry, facts(entry.name)));
    }
    std::stable_sort(kept.begin(), kept.end(), [](const NetIface& a, const NetIface& b) {
        if (a.kind != b.kind) return a.kind < b.kind;
        return a.bsd < b.bsd;
    });
    return kept;
}

std::optional<std::vector<AddressEntry>> readAddressEntries() {
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return std::nullopt;
    std::unique_ptr<ifaddrs, decltype(&freeifaddrs)> owner(list, freeifaddrs);

    std::vector<AddressEntry> entries;
    for (const ifaddrs* row = list; row; row = row->ifa_next) {
        if (!row->ifa_name) continue;
        AddressEntry entry{row->ifa_name, row->ifa_flags, AF_UNSPEC, {}};
        if (row->ifa_addr) {
            entry.family = row->ifa_addr->sa_family;
            socklen_t length = entry.family == AF_INET    ? sizeof(sockaddr_in)
                               : entry.family == AF_INET6 ? sizeof(sockaddr_in6)
                                                          : 0;
            char host[NI_MAXHOST];
            if (length != 0 && getnameinfo(row->ifa_addr, length, host, sizeof host, nullptr, 0,
                                           NI_NUMERICHOST) == 0)
                entry.address = host;
        }
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::vector<NetIface> listInterfaces(const std::filesystem::path& classNet) {
    std::optional<std::vector<AddressEntry>> entries = readAddressEntries();
    if (!entries) return {};
    return selectInterfaces(*entries,
                            [&](std::string_view name) { return interfaceFacts(classNet, name); });
}

}  // namespace skiff::app
