#pragma once

#include <string>
#include <string_view>

namespace skiff::server {

// True for loopback, private, link-local and unique-local addresses: the only peers served.
bool isLocalHost(std::string_view host);

// The peer's numeric address as text: IPv4 dotted quad (also for IPv4-mapped IPv6 peers of
// a dual-stack socket, so one device keeps one host text), IPv6 without its zone.
std::string hostText(std::string_view address);

}  // namespace skiff::server
