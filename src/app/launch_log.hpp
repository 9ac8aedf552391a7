#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace skiff::app {

// Where the launch line goes and where the facts it records come from.
struct LaunchLogSources {
    std::filesystem::path logFile;
    // The first of these that names the system is used; without one, the kernel release.
    std::vector<std::filesystem::path> osRelease{"/etc/os-release", "/usr/lib/os-release"};
    std::filesystem::path executable = "/proc/self/exe";  // a link to the program
    std::chrono::system_clock::time_point now = std::chrono::system_clock::now();
};

// $XDG_STATE_HOME/Porter/launch.log, else $HOME/.local/state/Porter/launch.log; a folder that
// is not an absolute path counts as unset. Nothing when neither is usable.
std::optional<std::filesystem::path> launchLogFile(std::string_view stateHome,
                                                   std::string_view home);

// The time in UTC, e.g. 2024-05-01T08:30:00Z: lines compare across time zones and DST.
std::string isoUtcTime(std::chrono::system_clock::time_point time);

// Appends one line about this start to the launch log: time, version ("dev" when empty),
// system, architecture and program path. Any failure is ignored: the log only helps diagnose.
void appendLaunchLine(std::string_view version);
void appendLaunchLine(std::string_view version, const LaunchLogSources& sources);

}  // namespace skiff::app
