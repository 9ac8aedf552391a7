#include "app/launch_log.hpp"

#include <gtest/gtest.h>
#include <sys/utsname.h>

#include <fstream>
#include <regex>
#include <sstream>

#include "support/temp_dir.hpp"

namespace skiff::app {
namespace {

namespace fs = std::filesystem;

const auto kMayDay = std::chrono::system_clock::from_time_t(1714552200);  // 08:30:00Z

// Sets TZ for the life of the object.
struct TimeZone {
    explicit TimeZone(const char* zone) {
        if (const char* was = std::getenv("TZ")) old = was;
        setenv("TZ", zone, 1);
    }
    ~TimeZone() { old ? setenv("TZ", old->c_str(), 1) : unsetenv("TZ"); }
    std::optional<std::string> old;
};

std::string readAll(const fs::path& file) {
    std::ostringstream text;
    text << std::ifstream(file, std::ios::binary).rdbuf();
    return text.str();
}

TEST(LaunchLog, FileFollowsTheXdgStateFolder) {
    EXPECT_EQ(launchLogFile("/home/an/.st", "/home/an"), "/home/an/.st/Porter/launch.log");
    EXPECT_EQ(launchLogFile("", "/home/an"), "/home/an/.local/state/Porter/launch.log");
    EXPECT_EQ(launchLogFile("rel/state", "/home/an"), "/home/an/.local/state/Porter/launch.log");
    EXPECT_EQ(launchLogFile("", "home/an"), std::nullopt);
}

TEST(LaunchLog, LineNamesTimeVersionSystemArchitectureAndProgram) {
    test::TempDir dir;
    utsname names{};
    uname(&names);
    fs::create_symlink("/opt/skiff/bin/skiff", dir.path() / "exe");
    LaunchLogSources sources{.logFile = dir.path() / "state" / "Porter" / "launch.log",
                             .osRelease = {dir.path() / "os-release"},
                             .executable = dir.path() / "exe",
                             .now = kMayDay};
    TimeZone local("ICT-7");  // the line's time is UTC whatever the local zone
    const std::pair<const char*, std::string> rows[] = {
        {"NAME=\"Debian GNU/Linux\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n",
         "Debian GNU/Linux 12 (bookworm)"},
        {"PRETTY_NAME='Fedora Linux 40'\n", "Fedora Linux 40"},
        {"# PRETTY_NAME=Commented\n  PRETTY_NAME=Gentoo\r\n", "Gentoo"},
        {"PRETTY_NAME=\"Say \\\"hi\\\" \\$HOME \\\\ \\n\"", "Say \"hi\" $HOME \\ \\n"},
        {"PRETTY_NAME=\"Old\"\nPRETTY_NAME=\"Two\tlines\"\n", "Two lines"},  // one line per start
        {"PRETTY_NAME=\"\"\n", names.release},
        {nullptr, names.release},
    };
    for (const auto& [osRelease, system] : rows) {
        SCOPED_TRACE(osRelease ? osRelease : "(no os-release)");
        fs::remove(sources.osRelease[0]);
        fs::remove(sources.logFile);
        if (osRelease) std::ofstream(sources.osRelease[0], std::ios::binary) << osRelease;
        appendLaunchLine("0.1.0", sources);
        EXPECT_EQ(readAll(sources.logFile), "2024-05-01T08:30:00Z mở app 0.1.0 · Linux " + system +
                                                " · " + names.machine +
                                                " · /opt/skiff/bin/skiff\n");
    }
}

TEST(LaunchLog, LinesAccumulateOnePerStart) {
    test::TempDir dir;
    LaunchLogSources system{.logFile = dir.path() / "deep" / "Porter" / "launch.log"};
    for (const char* version : {"0.1.0", "", "0.2.0"}) appendLaunchLine(version, system);

    // The real system: this test program, the running kernel and the clock.
    std::string program = fs::read_symlink("/proc/self/exe").string();
    const std::regex line(
        R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ mở app ([^ ]+) · Linux .+ · \S+ · (.+))");
    std::istringstream text(readAll(system.logFile));
    std::vector<std::string> versions;
    for (std::string got; std::getline(text, got);) {
        std::smatch parts;
        ASSERT_TRUE(std::regex_match(got, parts, line)) << got;
        versions.push_back(parts[1]);
        EXPECT_EQ(parts[2], program);
    }
    EXPECT_EQ(versions, (std::vector<std::string>{"0.1.0", "dev", "0.2.0"}));

    // A log that cannot be written is no error, and the file in its way is left as it was.
    const std::string before = readAll(system.logFile);
    LaunchLogSources blocked = system;
    blocked.logFile = system.logFile / "x" / "launch.log";
    EXPECT_NO_THROW(appendLaunchLine("0.1.0", blocked));
    EXPECT_EQ(readAll(system.logFile), before);
}

}  // namespace
}  // namespace skiff::app
