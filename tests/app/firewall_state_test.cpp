#include "app/firewall_state.hpp"

#include <gtest/gtest.h>

#include <fstream>

#include "app/firewall_command.hpp"
#include "support/temp_dir.hpp"

namespace skiff::app {
namespace {

namespace fs = std::filesystem;

// ufw by its configuration, firewall-cmd (which needs a daemon) by a script; null: not installed.
FirewallReading state(const fs::path& dir, const char* ufwConf, const char* firewallCmd,
                      bool ufwInstalled = true) {
    FirewallTools tools{dir / "ufw", dir / "ufw.conf", dir / "firewall-cmd",
                        std::chrono::milliseconds(1000)};
    for (const fs::path& file : {tools.ufwProgram, tools.ufwConfig, tools.firewallCmd})
        fs::remove(file);
    if (ufwConf && ufwInstalled) std::ofstream(tools.ufwProgram) << "#!/bin/sh\n";
    if (ufwConf) std::ofstream(tools.ufwConfig, std::ios::binary) << ufwConf;
    if (firewallCmd) {
        std::ofstream(tools.firewallCmd) << "#!/bin/sh\n[ \"$*\" = --state ] || exit 2\n"
                                         << firewallCmd << "\n";
        fs::permissions(tools.firewallCmd, fs::perms::owner_all);
    }
    return readFirewall(tools);
}

TEST(FirewallState, ReadsUfwAndAsksFirewalldAndEitherOnMeansOn) {
    const char* const off = "echo 'not running' >&2; exit 252";  // firewalld stopped
    constexpr auto ufw = Firewall::ufw;
    constexpr auto firewalld = Firewall::firewalld;
    struct Row {
        const char* ufwConf;
        const char* firewallCmd;
        FirewallReading reading;
    };
    const Row rows[] = {
        {"# ufw.conf\nENABLED=no\n\nLOGLEVEL=low\n", nullptr, {false, {}}},
        {"ENABLED=\"yes\"\n", nullptr, {true, ufw}},
        {"ENABLED='no'", nullptr, {false, {}}},
        {"  enabled = YES \r\n", nullptr, {true, ufw}},
        {"#ENABLED=yes\nENABLED=no\n", nullptr, {false, {}}},
        {"ENABLED=no\nENABLED=yes\n", nullptr, {true, ufw}},
        {"ENABLED=maybe\n", nullptr, {}},
        {"ENABLED_AT_BOOT=yes\n", nullptr, {}},
        {nullptr, "echo running", {true, firewalld}},
        {nullptr, "echo 'not running'; exit 252", {false, {}}},
        {nullptr, "echo 'Authorization failed.' >&2; exit 1", {}},
        {nullptr, "echo running later", {}},
        {nullptr, "exec sleep 60", {}},             // hangs: the timeout ends it
        {nullptr, "head -c 100000 /dev/zero", {}},  // far more than an answer
        {nullptr, nullptr, {}},
        {"ENABLED=yes\n", off, {true, ufw}},
        {"ENABLED=yes\n", "echo running", {true, ufw}},
        {"ENABLED=no\n", "echo running", {true, firewalld}},
        {"ENABLED=no\n", "echo confused", {false, {}}},
        {"ENABLED=maybe\n", off, {false, {}}},
    };
    test::TempDir dir;
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.ufwConf ? row.ufwConf : "(no ufw)") + " | " +
                     (row.firewallCmd ? row.firewallCmd : "(no firewall-cmd)"));
        auto started = std::chrono::steady_clock::now();
        FirewallReading got = state(dir.path(), row.ufwConf, row.firewallCmd);
        EXPECT_EQ(got.on, row.reading.on);
        EXPECT_EQ(got.active, row.reading.active);
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    }
    // A configuration left behind by a removed ufw says nothing.
    EXPECT_EQ(state(dir.path(), "ENABLED=yes\n", nullptr, false).on, std::nullopt);
}

// The firewalld form is checked through the model.
TEST(FirewallCommand, OpensThePortInUse) {
    EXPECT_EQ(openPortCommand(Firewall::ufw, 41053), "sudo ufw allow 41053/tcp comment 'Skiff'");
    EXPECT_EQ(firewallName(Firewall::ufw), "ufw");
}

}  // namespace
}  // namespace skiff::app
