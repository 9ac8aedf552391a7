#include "app/firewall_state.hpp"

#include <gtest/gtest.h>

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
    std::optional<bool> state(const char* ufwConf, const char* firewallCmd,
                              bool ufwInstalled = true) {
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
        return firewallState(tools);
    }

    test::TempDir m_dir;
};

TEST_F(FirewallState, ReadsUfwConfiguration) {
    struct Row {
        const char* conf;
        std::optional<bool> on;
    };
    const Row rows[] = {
        {"ENABLED=yes\n", true},
        {"# /etc/ufw/ufw.conf\n#\n# Set to yes to start on boot.\nENABLED=no\n\nLOGLEVEL=low\n",
         false},
        {"ENABLED=\"yes\"\n", true},
        {"ENABLED='no'", false},
        {"  enabled = YES \r\n", true},
        {"#ENABLED=yes\nENABLED=no\n", false},
        {"ENABLED=no\nENABLED=yes\n", true},
        {"ENABLED=maybe\n", std::nullopt},
        {"ENABLED_AT_BOOT=yes\n", std::nullopt},
        {"", std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.conf);
        EXPECT_EQ(state(row.conf, nullptr), row.on);
    }
    // A configuration left behind by a removed ufw says nothing.
    EXPECT_EQ(state("ENABLED=yes\n", nullptr, false), std::nullopt);
}

TEST_F(FirewallState, AsksFirewalldAndEitherFirewallOnMeansOn) {
    struct Row {
        const char* ufwConf;      // null: ufw not installed
        const char* firewallCmd;  // script body; null: not installed
        std::optional<bool> on;
    };
    const Row rows[] = {
        {nullptr, "echo running", true},
        {nullptr, kOff, false},
        {nullptr, "echo 'not running'; exit 252", false},
        {nullptr, "echo 'Authorization failed.' >&2; exit 1", std::nullopt},
        {nullptr, "echo running later", std::nullopt},
        {nullptr, "exec sleep 60", std::nullopt},             // hangs: the timeout ends it
        {nullptr, "head -c 100000 /dev/zero", std::nullopt},  // far more than an answer
        {nullptr, nullptr, std::nullopt},
        {"ENABLED=yes\n", kOff, true},
        {"ENABLED=no\n", "echo running", true},
        {"ENABLED=no\n", kOff, false},
        {"ENABLED=no\n", "echo confused", false},
        {"ENABLED=maybe\n", kOff, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.ufwConf ? row.ufwConf : "(no ufw)") + " | " +
                     (row.firewallCmd ? row.firewallCmd : "(no firewall-cmd)"));
        auto started = std::chrono::steady_clock::now();
        EXPECT_EQ(state(row.ufwConf, row.firewallCmd), row.on);
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    }
}

}  // namespace
}  // namespace skiff::app
