#include "app/interface_facts.hpp"

namespace skiff::app {
namespace {

// The entry itself, not what a link points at: sysfs links are what carry the facts.
bool present(const std::filesystem::path& path) {
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::symlink_status(path, ec));
}

}  // namespace

InterfaceFacts interfaceFacts(const std::filesystem::path& classNet, std::string_view name) {
    std::string_view device = name.substr(0, name.find(':'));
    // Kernel device names never hold a slash or consist of dots; such a name must not walk
    // out of the sysfs folder.
    if (device.empty() || device == "." || device == ".." ||
        device.find('/') != std::string_view::npos)
        return {};
    std::error_code ec;
    std::filesystem::path folder = classNet / device;
    if (!std::filesystem::is_directory(folder, ec)) return {};

    InterfaceFacts facts;
    facts.wireless = present(folder / "wireless") || present(folder / "phy80211");
    // Hardware devices link to their bus device; bridges, veth pairs, tunnels and the like
    // have no such link.
    facts.virtualDevice = !present(folder / "device");
    return facts;
}

}  // namespace skiff::app
