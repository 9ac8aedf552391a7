// The help popover's rows from the real model: the network range, the firewall state with the
// command that opens the port and the settings button, the address to type by hand.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QQuickItem>

#include <filesystem>
#include <fstream>

#include "support/temp_dir.hpp"
#include "support/window_probe.hpp"

namespace skiff::test {
namespace {

namespace fs = std::filesystem;

// Program and desktop-entry lookups see only a folder of this test, with or without a firewall
// tool in it, while the popover is made.
class FakeDesktop {
  public:
    explicit FakeDesktop(bool withTool) {
        fs::create_directories(m_dir.path() / "bin");
        if (withTool) {
            fs::path tool = m_dir.path() / "bin" / "firewall-config";
            std::ofstream(tool) << "#!/bin/sh\n";
            fs::permissions(tool, fs::perms::owner_all);
        }
        for (const char* name : {"PATH", "XDG_DATA_HOME", "XDG_DATA_DIRS"})
            m_saved.emplace_back(name, qgetenv(name));
        qputenv("PATH", (m_dir.path() / "bin").string().c_str());
        qputenv("XDG_DATA_HOME", (m_dir.path() / "home").string().c_str());
        qputenv("XDG_DATA_DIRS", (m_dir.path() / "share").string().c_str());
    }
    ~FakeDesktop() {
        for (auto& [name, value] : m_saved) qputenv(name, value);
    }

  private:
    TempDir m_dir;
    std::vector<std::pair<const char*, QByteArray>> m_saved;
};

struct Shown {
    QString network, title, firewall, command, byHand;
    bool button = false;
};

Shown helpFor(app::FirewallReading firewall, bool withTool, const std::string& ip) {
    app::DesktopServices services;
    services.firewallState = [firewall] { return firewall; };
    WindowHarness harness({{"wlan0", ip, "Wi-Fi", app::NetIface::Kind::wifi}}, services);
    {
        FakeDesktop desktop(withTool);
        if (!harness.open(sheetWindow("HelpPopover { Component.onCompleted: open() }"))) return {};
    }
    QObject* popover = harness.engine().rootObjects()[0]->findChild<QObject*>("helpPopover");
    WindowHarness::waitFor([&] { return popover->property("opened").toBool(); });

    Shown shown;
    QString port = QString::number(harness.model().port());
    shown.network = textOf(harness.find("helpNetworkBody"));
    for (QQuickItem* item : harness.find("helpFirewall")->findChildren<QQuickItem*>()) {
        QString text = item->property("text").toString();
        if (text == "Tường lửa" || text.startsWith("Tường lửa (")) shown.title = text;
    }
    auto* state = harness.find<QQuickItem>("firewallState");
    shown.firewall = onScreen(state) ? textOf(harness.find("firewallLead")) + textOf(state)
                                     : textOf(harness.find("helpFirewallBody"));
    shown.firewall.replace(port, "<port>");
    auto* command = harness.find<QQuickItem>("firewallCommand");
    if (onScreen(command)) {
        shown.command = command->property("text").toString().replace(port, "<port>");
        click(harness.window(), harness.find<QQuickItem>("firewallCopyButton"));
        EXPECT_EQ(QGuiApplication::clipboard()->text(), command->property("text").toString());
    }
    shown.byHand = textOf(harness.find("helpByHandBody")).replace(port, "<port>");
    shown.button = onScreen(harness.find<QQuickItem>("firewallSettingsButton"));
    if (firewall.on == true && withTool) harness.keepScreenshot("help");
    return shown;
}

TEST(HelpPopover, NamesTheNetworkAndTheAddressAndTheFirewallRowFollowsStateAndTool) {
    const QString on =
        "Tường lửa đang BẬT và có thể chặn điện thoại. Mở cổng <port> cho Skiff "
        "bằng lệnh này trong cửa sổ dòng lệnh:";
    using app::Firewall;
    struct Case {
        app::FirewallReading state;
        bool tool;
        QString title, text, command;
        bool button;
    };
    const Case cases[] = {
        {{true, Firewall::ufw},
         true,
         "Tường lửa (ufw)",
         on,
         "sudo ufw allow <port>/tcp comment 'Skiff'",
         true},
        {{true, Firewall::firewalld},
         false,
         "Tường lửa (firewalld)",
         on,
         "sudo firewall-cmd --add-port=<port>/tcp --permanent && sudo firewall-cmd --reload",
         false},
        {{false, {}}, true, "Tường lửa", "Tường lửa đang tắt — không phải nguyên nhân", "", false},
        {{}, true, "Tường lửa", "Tường lửa đang không rõ trạng thái", "", false},
    };
    for (const Case& c : cases) {
        std::string name = c.title.toStdString() +
                           (c.state.on ? (*c.state.on ? " on" : " off") : " unknown") +
                           std::string(c.tool ? ", tool installed" : ", no tool");
        Shown shown = helpFor(c.state, c.tool, "192.168.1.23");
        EXPECT_EQ(shown.title, c.title) << name;
        EXPECT_EQ(shown.firewall, c.text) << name;
        EXPECT_EQ(shown.command, c.command) << name;
        EXPECT_EQ(shown.button, c.button) << name;
        EXPECT_TRUE(shown.network.endsWith("(dải 192.168.1.x).")) << shown.network.toStdString();
        EXPECT_EQ(shown.byHand,
                  "Mở Safari/Chrome trên điện thoại, gõ đúng 192.168.1.23:<port> (có cả dấu hai "
                  "chấm và số cổng), rồi nhập mã 012345.");
    }
}

}  // namespace
}  // namespace skiff::test
