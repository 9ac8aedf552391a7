#include "app/firewall_state.hpp"

#include <gtest/gtest.h>
#include "app/firewall_command.hpp"

#include <fstream>

#include "support/temp_dir.hpp"

namespace skiff::app {
namespace {

namespace fs = std::filesystem;

// firewall-cmd's answer while firewalld is stopped.
const char* const kOff = "echo 'not running' >&2; exit 252";

// The firewalls as installed in a temporary folder. firewall-cmd needs a firewalld daemon on the
// system bus, so a script stands in for it, answering only the state question as it does.
class FirewallState : public testing::Test {
  protected:
    FirewallReading state(const char* ufwConf, const char* firewallCmd, bool ufwInstalled = true) {
        FirewallTools tools{m_dir.path() / "ufw", m_dir.path() / "ufw.conf",
                            m_dir.path() / "firewall-cmd", std::chrono::milliseconds(1000)};
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

    test::TempDir m_dir;
};

TEST_F(FirewallState, ReadsUfwConfiguration) {
    struct Row {
        const char* conf;
        std::optional<bool> on;
    };
    const Row rows[] = {
        {"# ufw.conf\nENABLED=no\n\nLOGLEVEL=low\n", false},
        {"ENABLED=\"yes\"\n", true},
        {"ENABLED='no'", false},
        {"  enabled = YES \r\n", true},
        {"#ENABLED=yes\nENABLED=no\n", false},
        {"ENABLED=no\nENABLED=yes\n", true},
        {"ENABLED=maybe\n", std::nullopt},
        {"ENABLED_AT_BOOT=yes\n", std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.conf);
        EXPECT_EQ(state(row.conf, nullptr).on, row.on);
    }
    // A configuration left behind by a removed ufw says nothing.
    EXPECT_EQ(state("ENABLED=yes\n", nullptr, false).on, std::nullopt);
}

TEST_F(FirewallState, AsksFirewalldAndEitherFirewallOnMeansOn) {
    struct Row {
        const char* ufwConf;      // null: ufw not installed
        const char* firewallCmd;  // script body; null: not installed
        FirewallReading reading;
    };
    constexpr auto ufw = Firewall::ufw;
    constexpr auto firewalld = Firewall::firewalld;
    const Row rows[] = {
        {nullptr, "echo running", {true, firewalld}},
        {nullptr, "echo 'not running'; exit 252", {false, {}}},
        {nullptr, "echo 'Authorization failed.' >&2; exit 1", {}},
        {nullptr, "echo running later", {}},
        {nullptr, "exec sleep 60", {}},             // hangs: the timeout ends it
        {nullptr, "head -c 100000 /dev/zero", {}},  // far more than an answer
        {nullptr, nullptr, {}},
        {"ENABLED=yes\n", kOff, {true, ufw}},
        {"ENABLED=yes\n", "echo running", {true, ufw}},
        {"ENABLED=no\n", "echo running", {true, firewalld}},
        {"ENABLED=no\n", "echo confused", {false, {}}},
        {"ENABLED=maybe\n", kOff, {false, {}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.ufwConf ? row.ufwConf : "(no ufw)") + " | " +
                     (row.firewallCmd ? row.firewallCmd : "(no firewall-cmd)"));
        auto started = std::chrono::steady_clock::now();
        FirewallReading got = state(row.ufwConf, row.firewallCmd);
        EXPECT_EQ(got.on, row.reading.on);
        EXPECT_EQ(got.active, row.reading.active);
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    }
}

// Pasted into a shell, the command opens exactly the port in use, over TCP, for good (the
// firewalld form is checked through the model).
TEST(FirewallCommand, OpensThePortInUse) {
    EXPECT_EQ(openPortCommand(Firewall::ufw, 41053), "sudo ufw allow 41053/tcp comment 'Skiff'");
    EXPECT_EQ(firewallName(Firewall::ufw), "ufw");
}

}  // namespace
}  // namespace skiff::app
