#include "app/launch_log.hpp"

#include <gtest/gtest.h>
#include <sys/utsname.h>

#include <fstream>
#include <sstream>

#include "support/temp_dir.hpp"

namespace skiff::app {
namespace {

namespace fs = std::filesystem;

std::string readAll(const fs::path& file) {
    std::ostringstream text;
    text << std::ifstream(file, std::ios::binary).rdbuf();
    return text.str();
}

TEST(LaunchLog, FileFollowsTheXdgStateFolder) {
    EXPECT_EQ(launchLogFile("/home/an/.st", "/home/an"), "/home/an/.st/Porter/launch.log");
    EXPECT_EQ(launchLogFile("rel/state", "/home/an"), "/home/an/.local/state/Porter/launch.log");
    EXPECT_EQ(launchLogFile("", "home/an"), std::nullopt);
}

// One line per start in UTC whatever the local zone: time, version, system, machine, program.
TEST(LaunchLog, LinesNameTimeVersionSystemArchitectureAndProgram) {
    test::TempDir dir;
    utsname names{};
    uname(&names);
    fs::create_symlink("/opt/skiff/bin/skiff", dir.path() / "exe");
    LaunchLogSources sources{.logFile = dir.path() / "state" / "Porter" / "launch.log",
                             .osRelease = {dir.path() / "os-release"},
                             .executable = dir.path() / "exe",
                             .now = std::chrono::system_clock::from_time_t(1714552200)};
    setenv("TZ", "ICT-7", 1);
    const std::pair<const char*, std::string> rows[] = {
        {"NAME=\"Debian\"\nPRETTY_NAME=\"Debian GNU/Linux 12\"\n", "Debian GNU/Linux 12"},
        {"PRETTY_NAME='Fedora Linux 40'\n", "Fedora Linux 40"},
        {"# PRETTY_NAME=Commented\n  PRETTY_NAME=Gentoo\r\n", "Gentoo"},
        {"PRETTY_NAME=\"Say \\\"hi\\\" \\$HOME \\\\ \\n\"", "Say \"hi\" $HOME \\ \\n"},
        {"PRETTY_NAME=\"Old\"\nPRETTY_NAME=\"Two\tlines\"\n", "Two lines"},
        {"PRETTY_NAME=\"\"\n", names.release},
        {nullptr, names.release},
    };
    std::string expected;
    for (const auto& [osRelease, system] : rows) {
        fs::remove(sources.osRelease[0]);
        if (osRelease) std::ofstream(sources.osRelease[0], std::ios::binary) << osRelease;
        appendLaunchLine(system == "Gentoo" ? "" : "0.1.0", sources);
        expected += "2024-05-01T08:30:00Z mở app " +
                    std::string(system == "Gentoo" ? "dev" : "0.1.0") + " · Linux " + system +
                    " · " + names.machine + " · /opt/skiff/bin/skiff\n";
        EXPECT_EQ(readAll(sources.logFile), expected) << (osRelease ? osRelease : "(none)");
    }
    unsetenv("TZ");

    // A log that cannot be written is no error, and the file in its way is left as it was.
    LaunchLogSources blocked = sources;
    blocked.logFile = sources.logFile / "x" / "launch.log";
    EXPECT_NO_THROW(appendLaunchLine("0.1.0", blocked));
    EXPECT_EQ(readAll(sources.logFile), expected);
}

}  // namespace
}  // namespace skiff::app
