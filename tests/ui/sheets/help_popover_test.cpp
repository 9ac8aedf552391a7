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

struct Shown {
    QString title, firewall, command;
    bool button = false;
};

// The popover made while program and desktop-entry lookups see only a folder of this test,
// with or without a firewall settings program in it.
Shown helpFor(app::FirewallReading firewall, bool withTool) {
    TempDir dir;
    fs::create_directories(dir.path() / "bin");
    if (withTool) {
        std::ofstream(dir.path() / "bin" / "firewall-config") << "#!/bin/sh\n";
        fs::permissions(dir.path() / "bin" / "firewall-config", fs::perms::owner_all);
    }
    WindowHarness harness({.firewallState = [firewall] { return firewall; }},
                          {{"wlan0", "192.168.1.23", "Wi-Fi", app::NetIface::Kind::wifi}});
    std::vector<std::pair<const char*, QByteArray>> saved;
    for (auto [name, folder] : {std::pair{"PATH", "bin"}, std::pair{"XDG_DATA_HOME", "home"},
                                std::pair{"XDG_DATA_DIRS", "share"}}) {
        saved.emplace_back(name, qgetenv(name));
        qputenv(name, (dir.path() / folder).string().c_str());
    }
    bool opened = harness.open(sheetWindow("HelpPopover { Component.onCompleted: open() }"));
    for (auto& [name, value] : saved) qputenv(name, value);
    if (!opened) return {};
    QObject* popover = harness.find("helpPopover");
    WindowHarness::waitFor([&] { return popover->property("opened").toBool(); });

    QString port = QString::number(harness.model().port());
    auto shown = [&](const char* name) {
        auto* item = harness.find<QQuickItem>(name);
        return onScreen(item) ? textOf(item).replace(port, "<port>") : QString();
    };
    Shown result;
    for (QQuickItem* item : harness.find("helpFirewall")->findChildren<QQuickItem*>())
        if (textOf(item) == "Tường lửa" || textOf(item).startsWith("Tường lửa ("))
            result.title = textOf(item);
    result.firewall = shown("firewallState").isEmpty()
                          ? shown("helpFirewallBody")
                          : shown("firewallLead") + shown("firewallState");
    result.command = shown("firewallCommand");
    if (!result.command.isEmpty()) {
        click(harness.window(), harness.find<QQuickItem>("firewallCopyButton"));
        EXPECT_EQ(QGuiApplication::clipboard()->text(), textOf(harness.find("firewallCommand")));
    }
    result.button = onScreen(harness.find<QQuickItem>("firewallSettingsButton"));
    EXPECT_TRUE(shown("helpNetworkBody").endsWith("(dải 192.168.1.x)."))
        << shown("helpNetworkBody").toStdString();
    EXPECT_TRUE(shown("helpByHandBody").contains("gõ đúng 192.168.1.23:<port> ("));
    EXPECT_TRUE(shown("helpByHandBody").endsWith("nhập mã 012345."));
    if (firewall.on == true && withTool) harness.keepScreenshot("help");
    return result;
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
    } cases[] = {
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
        SCOPED_TRACE(c.title.toStdString() + (c.tool ? " with" : " without") + " a tool");
        Shown shown = helpFor(c.state, c.tool);
        EXPECT_EQ(shown.title, c.title);
        EXPECT_EQ(shown.firewall, c.text);
        EXPECT_EQ(shown.command, c.command);
        EXPECT_EQ(shown.button, c.button);
    }
}

}  // namespace
}  // namespace skiff::test
