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

// A search path folder and a data folder, emptied per case and filled with programs ("-x": not
// executable, "x/": a folder) and desktop entries.
class FirewallToolLookup : public testing::Test {
  protected:
    fs::path bin() const { return m_dir.path() / "bin"; }
    fs::path apps() const { return m_dir.path() / "share" / "applications"; }
    QString path(const fs::path& file) const { return QString::fromStdString(file.string()); }
    ToolSearch search() const { return {path(bin()), {path(m_dir.path() / "share")}}; }

    void reset() {
        fs::remove_all(bin());
        fs::remove_all(apps());
        fs::create_directories(bin());
        fs::create_directories(apps());
    }
    void install(std::string name, const std::string& body = "exit 0") {
        if (name.back() == '/') return (void)fs::create_directories(bin() / name);
        bool executable = name.front() != '-';
        if (!executable) name.erase(0, 1);
        std::ofstream(bin() / name) << "#!/bin/sh\n" << body << "\n";
        fs::permissions(bin() / name, executable ? fs::perms::owner_all : fs::perms::owner_read);
    }
    void SetUp() override { reset(); }

    test::TempDir m_dir;
};

TEST_F(FirewallToolLookup, FindsARunnableSettingsProgramOnTheSearchPath) {
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{}, ""},
        {{"ufw"}, ""},  // a firewall without a settings window is not a tool to open
        {{"gufw"}, "gufw"},
        {{"firewall-config"}, "firewall-config"},
        {{"firewall-config", "gufw"}, "gufw"},
        {{"-gufw", "firewall-config/"}, ""},
    };
    for (const auto& [installed, expected] : cases) {
        reset();
        for (const auto& name : installed) install(name);
        auto found = findFirewallTool(search());
        EXPECT_EQ(found, expected.empty() ? std::nullopt
                                          : std::optional{QStringList{path(bin() / expected)}})
            << installed.size() << " installed, expected " << expected;
    }
}

TEST_F(FirewallToolLookup, ReadsDesktopEntries) {
    fs::path outside = m_dir.path() / "opt" / "fw tool";
    fs::create_directories(outside.parent_path());
    std::ofstream(outside) << "#!/bin/sh\n";
    fs::permissions(outside, fs::perms::owner_all);
    const QStringList settings{path(bin() / "systemsettings"), "kcm_firewall", "--args=%x"};
    const std::tuple<const char*, std::string, std::optional<QStringList>> cases[] = {
        {"firewall-config.desktop",
         "[Desktop Entry]\nName=Firewall\nExec=\"" + outside.string() + "\" %U\n",
         QStringList{path(outside)}},
        {"kcm_firewall.desktop",
         "[Desktop Entry]\nExec=systemsettings kcm_firewall --args=%%x %f\n", settings},
        // Keys of other groups do not count.
        {"gufw.desktop", "[Desktop Action x]\nExec=systemsettings\n[Desktop Entry]\nName=x\n", {}},
        {"gufw.desktop", "[Desktop Entry]\nExec=missing-program\n", {}},
        {"gufw.desktop", "[Desktop Entry]\nExec=systemsettings\nHidden=true\n", {}},
        {"gufw.desktop", "[Desktop Entry]\nTryExec=missing-program\nExec=systemsettings\n", {}},
        {"gufw.desktop", "[Desktop Entry]\nExec=relative/path\n", {}},
        {"unrelated.desktop", "[Desktop Entry]\nExec=systemsettings\n", {}},
    };
    for (const auto& [id, text, expected] : cases) {
        reset();
        install("systemsettings");
        std::ofstream(apps() / id) << text;
        EXPECT_EQ(findFirewallTool(search()), expected) << id << ":\n" << text;
    }
}

TEST_F(FirewallToolLookup, OpenStartsTheToolFoundInTheEnvironment) {
    fs::path marker = m_dir.path() / "opened";
    install("gufw", "echo \"$0\" > '" + marker.string() + "'");
    QByteArray oldPath = qgetenv("PATH");
    qputenv("PATH", bin().string().c_str());
    FirewallTool tool;
    qputenv("PATH", oldPath);
    ASSERT_TRUE(tool.available());
    tool.open();
    EXPECT_TRUE(test::WindowHarness::waitFor([&] { return fs::exists(marker); }));
}

}  // namespace
}  // namespace skiff::ui
