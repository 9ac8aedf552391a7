// Finding the desktop's firewall tool on the search path or through its desktop entry.
#include "ui/sheets/firewall_tool.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/temp_dir.hpp"
#include "support/window_harness.hpp"

namespace skiff::ui {
namespace {

namespace fs = std::filesystem;

// A search path folder and a data folder, filled per case with programs and desktop entries.
class FirewallToolLookup : public testing::Test {
  protected:
    fs::path bin() const { return m_dir.path() / "bin"; }
    fs::path data() const { return m_dir.path() / "share"; }

    void SetUp() override {
        fs::create_directories(bin());
        fs::create_directories(data() / "applications");
    }

    fs::path program(const std::string& name, const std::string& body = "exit 0",
                     bool executable = true) {
        fs::path file = bin() / name;
        std::ofstream(file) << "#!/bin/sh\n" << body << "\n";
        fs::permissions(file, executable ? fs::perms::owner_all : fs::perms::owner_read);
        return file;
    }

    void entry(const std::string& id, const std::string& text) {
        std::ofstream(data() / "applications" / id) << text;
    }

    ToolSearch search() const {
        return {QString::fromStdString(bin().string()), {QString::fromStdString(data().string())}};
    }

    QString path(const fs::path& file) const { return QString::fromStdString(file.string()); }

    test::TempDir m_dir;
};

TEST_F(FirewallToolLookup, FindsARunnableSettingsProgramOnTheSearchPath) {
    struct Case {
        std::vector<std::string> installed;  // "-x": not executable, "x/": a folder
        std::string expected;                // "" = none
    };
    const Case cases[] = {
        {{}, ""},
        {{"ufw"}, ""},  // a firewall without a settings window is not a tool to open
        {{"gufw"}, "gufw"},
        {{"firewall-config"}, "firewall-config"},
        {{"firewall-config", "gufw"}, "gufw"},
        {{"-gufw", "firewall-config/"}, ""},
    };
    for (const Case& c : cases) {
        fs::remove_all(bin());
        fs::create_directories(bin());
        std::string installed;
        for (const auto& name : c.installed) {
            installed += name + " ";
            if (name.back() == '/')
                fs::create_directories(bin() / name);
            else if (name.front() == '-')
                program(name.substr(1), "exit 0", false);
            else
                program(name);
        }
        auto found = findFirewallTool(search());
        if (c.expected.empty())
            EXPECT_EQ(found, std::nullopt) << "installed: " << installed;
        else
            EXPECT_EQ(found, QStringList{path(bin() / c.expected)}) << "installed: " << installed;
    }
}

TEST_F(FirewallToolLookup, ReadsDesktopEntries) {
    fs::path outside = m_dir.path() / "opt" / "fw tool";
    fs::create_directories(outside.parent_path());
    std::ofstream(outside) << "#!/bin/sh\n";
    fs::permissions(outside, fs::perms::owner_all);
    program("systemsettings");

    struct Case {
        const char* id;
        std::string text;
        std::optional<QStringList> expected;
    };
    const Case cases[] = {
        {"firewall-config.desktop",
         "[Desktop Entry]\nName=Firewall\nExec=\"" + outside.string() + "\" %U\n",
         QStringList{path(outside)}},
        {"kcm_firewall.desktop",
         "[Desktop Entry]\nExec=systemsettings kcm_firewall --args=%%x %f\n",
         QStringList{path(bin() / "systemsettings"), "kcm_firewall", "--args=%x"}},
        // Keys of other groups do not count.
        {"gufw.desktop", "[Desktop Action x]\nExec=systemsettings\n[Desktop Entry]\nName=x\n",
         std::nullopt},
        {"gufw.desktop", "[Desktop Entry]\nExec=missing-program\n", std::nullopt},
        {"gufw.desktop", "[Desktop Entry]\nExec=systemsettings\nHidden=true\n", std::nullopt},
        {"gufw.desktop", "[Desktop Entry]\nTryExec=missing-program\nExec=systemsettings\n",
         std::nullopt},
        {"gufw.desktop", "[Desktop Entry]\nExec=relative/path\n", std::nullopt},
        {"unrelated.desktop", "[Desktop Entry]\nExec=systemsettings\n", std::nullopt},
    };
    for (const Case& c : cases) {
        fs::remove_all(data() / "applications");
        fs::create_directories(data() / "applications");
        entry(c.id, c.text);
        EXPECT_EQ(findFirewallTool(search()), c.expected) << c.id << ":\n" << c.text;
    }
}

TEST_F(FirewallToolLookup, UserEntryHidesTheSystemOne) {
    program("gufw-wrapper");
    fs::path user = m_dir.path() / "user";
    fs::create_directories(user / "applications");
    std::ofstream(user / "applications" / "gufw.desktop") << "[Desktop Entry]\nHidden=true\n";
    entry("gufw.desktop", "[Desktop Entry]\nExec=gufw-wrapper\n");

    ToolSearch both = search();
    EXPECT_TRUE(findFirewallTool(both));
    both.dataDirs.prepend(path(user));
    EXPECT_EQ(findFirewallTool(both), std::nullopt);
}

TEST_F(FirewallToolLookup, OpenStartsTheToolFoundInTheEnvironment) {
    fs::path marker = m_dir.path() / "opened";
    program("gufw", "echo \"$0\" > '" + marker.string() + "'");
    QByteArray oldPath = qgetenv("PATH");
    qputenv("PATH", bin().string().c_str());
    FirewallTool tool;
    qputenv("PATH", oldPath);

    ASSERT_TRUE(tool.available());
    EXPECT_TRUE(tool.open());
    EXPECT_TRUE(test::WindowHarness::waitFor([&] { return fs::exists(marker); }));
}

}  // namespace
}  // namespace skiff::ui
