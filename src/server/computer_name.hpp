#pragma once

#include <filesystem>
#include <string>

namespace skiff::server {

// The name people know this computer by: the pretty host name the desktop settings store
// in /etc/machine-info, else the host name, else "Máy tính". Always valid UTF-8.
std::string computerName();

// The same, reading the pretty host name from machineInfo instead.
std::string computerName(const std::filesystem::path& machineInfo);

}  // namespace skiff::server
