// One walk through the whole window with the mouse and the keyboard, as a new user would:
// every popover, chooser, card and alert opened and closed. Once with the desktop portal on the
// bus (the desktop's own choosers), once without one (Qt's choosers inside the window).
#include <gtest/gtest.h>

#include <QQuickItem>
#include <QTest>

#include <filesystem>
#include <memory>

#include "app/quick_look.hpp"
#include "support/phone_session.hpp"
#include "support/window_probe.hpp"
#include "ui/preview/preview_window.hpp"
#include "ui/services/desktop_hooks.hpp"
#include "ui/services/desktop_portal.hpp"

namespace skiff::test {
namespace {

class WindowWalk : public testing::Test {
  protected:
    app::QuickLook look;
    std::unique_ptr<WindowHarness> harness;
    std::unique_ptr<ui::PreviewWindow> previewer;
    QQuickWindow* window = nullptr;
    bool portal = false;

    void open() {
        app::DesktopServices services;
        services.preview = ui::previewService(look);
        harness = std::make_unique<WindowHarness>(
            std::vector<app::NetIface>{
                {"wlan0", "192.168.1.20", "Wi-Fi", app::NetIface::Kind::wifi}},
            services);
        window = harness->open();
        ASSERT_NE(window, nullptr);
        previewer = std::make_unique<ui::PreviewWindow>(harness->engine(), look);
        portal = ui::portalAvailable();
    }

    void TearDown() override {
        previewer.reset();
        harness.reset();
    }

    QQuickItem* item(const char* name) { return visibleItem(window, name); }
    QObject* popup(const char* name) { return window->findChild<QObject*>(name); }
    bool opened(const char* name) {
        return popup(name) && popup(name)->property("opened").toBool();
    }

    void clickOn(const char* name) {
        QQuickItem* target = nullptr;
        ASSERT_TRUE(WindowHarness::waitFor([&] { return (target = item(name)) != nullptr; }))
            << name << " is not on screen";
        WindowHarness::pump(150);  // let a popover or tab finish moving
        click(window, target);
        WindowHarness::pump(100);
        ASSERT_TRUE(window->isVisible());
    }

    void pressKey(QWindow* on, Qt::Key key) {
        QTest::keyClick(on, key);
        WindowHarness::pump(200);
    }

    // The chooser titled `title` came up, and Escape closes it again; the window lives on.
    void cancelChooser(const QString& title) {
        if (portal) {
            QString dialog = otherWindow(title);
            ASSERT_FALSE(dialog.isEmpty())
                << "the desktop's chooser \"" << title.toStdString() << "\" never showed; windows: "
                << xdotool({"search", "--name", ".", "getwindowname", "%@"}).toStdString()
                << "; in the window: " << anyTextContains(window, title);
            xdotool({"windowactivate", "--sync", dialog});
            xdotool({"key", "--window", dialog, "Escape"});
            EXPECT_TRUE(WindowHarness::waitFor([&] {
                return xdotool({"search", "--name", "^" + title + "$"}).isEmpty();
            }));
        } else {
            ASSERT_TRUE(WindowHarness::waitFor([&] { return anyTextContains(window, title); }))
                << "Qt's chooser \"" << title.toStdString() << "\" never showed";
            WindowHarness::pump(300);
            pressKey(window, Qt::Key_Escape);
            EXPECT_TRUE(WindowHarness::waitFor([&] { return !anyTextContains(window, title); }));
        }
        WindowHarness::pump(300);
        ASSERT_TRUE(window->isVisible());
    }

    void walk() {
        // The introduction, then the working view.
        ASSERT_TRUE(WindowHarness::waitFor([&] { return item("introduction"); }));
        auto focused = [&] {
            QQuickItem* at = window->activeFocusItem();
            return at ? at->objectName() : QString();
        };
        EXPECT_TRUE(WindowHarness::waitFor([&] { return focused() == "startButton"; }));
        clickOn("startButton");
        ASSERT_TRUE(WindowHarness::waitFor([&] { return item("workingView"); }));
        // Focus starts on each view's main thing: the code to scan, the button to share.
        EXPECT_TRUE(WindowHarness::waitFor([&] { return focused() == "waitingQr"; }))
            << focused().toStdString();

        // Each popover opens from its button and closes with Escape; one at a time.
        for (auto [button, name] :
             {std::pair{"qrButton", "qrPopover"}, std::pair{"settingsButton", "settingsPopover"},
              std::pair{"helpButton", "helpPopover"}}) {
            SCOPED_TRACE(name);
            clickOn(button);
            ASSERT_TRUE(WindowHarness::waitFor([&] { return opened(name); }));
            pressKey(window, Qt::Key_Escape);
            EXPECT_TRUE(WindowHarness::waitFor([&] { return !opened(name); }));
        }
        clickOn("qrButton");
        clickOn("helpButton");
        EXPECT_TRUE(WindowHarness::waitFor([&] { return opened("helpPopover"); }));
        EXPECT_FALSE(opened("qrPopover"));
        pressKey(window, Qt::Key_Escape);

        // Tab reaches the tabs, every header button and the strip's button, each with a ring.
        window->requestActivate();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window));
        QStringList reached;
        for (int press = 0; press < 16; ++press) {
            pressKey(window, Qt::Key_Tab);
            QQuickItem* focused = window->activeFocusItem();
            if (!focused || focused->objectName().isEmpty()) continue;
            reached << focused->objectName();
            if (focused->property("visualFocus").isValid())
                EXPECT_TRUE(focused->property("visualFocus").toBool())
                    << reached.last().toStdString();
        }
        for (const char* name : {"recvSegment", "sendSegment", "qrButton", "folderButton",
                                 "settingsButton", "helpButton", "introButton", "pickButton"})
            EXPECT_TRUE(reached.contains(name))
                << name << " not reached: " << reached.join(" ").toStdString();

        // In the settings popover (whose Tab order the accessibility walk reads), Return flips
        // the switch the keyboard is on, and its knob slides without a fault.
        clickOn("settingsButton");
        ASSERT_TRUE(WindowHarness::waitFor([&] { return opened("settingsPopover"); }));
        QQuickItem* introSwitch = item("introSwitch");
        ASSERT_NE(introSwitch, nullptr);
        bool before = introSwitch->property("checked").toBool();
        introSwitch->forceActiveFocus(Qt::TabFocusReason);
        pressKey(window, Qt::Key_Return);
        EXPECT_NE(introSwitch->property("checked").toBool(), before);
        pressKey(window, Qt::Key_Return);
        EXPECT_EQ(introSwitch->property("checked").toBool(), before);
        pressKey(window, Qt::Key_Escape);
        EXPECT_TRUE(WindowHarness::waitFor([&] { return !opened("settingsPopover"); }));

        // Ctrl+2 and Ctrl+1 switch tabs, Ctrl+Tab goes to the other one.
        auto tab = [&] { return window->property("tab").toString(); };
        window->requestActivate();  // shortcuts go to the active window
        ASSERT_TRUE(QTest::qWaitForWindowActive(window));
        QTest::keyClick(window, Qt::Key_2, Qt::ControlModifier);
        EXPECT_TRUE(WindowHarness::waitFor([&] { return tab() == "send"; }));
        QTest::keyClick(window, Qt::Key_1, Qt::ControlModifier);
        EXPECT_TRUE(WindowHarness::waitFor([&] { return tab() == "recv"; }));
        QTest::keyClick(window, Qt::Key_Tab, Qt::ControlModifier);
        EXPECT_TRUE(WindowHarness::waitFor([&] { return tab() == "send"; }));
        QTest::keyClick(window, Qt::Key_1, Qt::ControlModifier);

        // Every chooser: the receive folder's, the strip's and the send tab's two.
        clickOn("settingsButton");
        clickOn("chooseFolderButton");
        cancelChooser("Chọn thư mục nhận");
        clickOn("pickButton");
        cancelChooser("Chia sẻ");
        clickOn("sendSegment");
        EXPECT_TRUE(WindowHarness::waitFor([&] { return focused() == "sendPickFiles"; }))
            << focused().toStdString();
        // With nothing focused, Return presses the view's main button.
        window->contentItem()->forceActiveFocus();
        pressKey(window, Qt::Key_Return);
        cancelChooser("Chia sẻ");
        clickOn("sendPickFolder");
        cancelChooser("Chia sẻ thư mục");

        // The introduction again, started with Return this time.
        clickOn("introButton");
        ASSERT_TRUE(WindowHarness::waitFor([&] { return item("introduction"); }));
        WindowHarness::pump(300);
        pressKey(window, Qt::Key_Return);
        ASSERT_TRUE(WindowHarness::waitFor([&] { return item("workingView"); }));

        // The approval card, with a popover open under it: the card wins, then is answered.
        clickOn("helpButton");
        PhoneSession phone(*harness, kAndroid);
        ASSERT_EQ(phone.files().status, 428);
        ASSERT_TRUE(WindowHarness::waitFor([&] { return opened("approveSheet"); }));
        EXPECT_TRUE(WindowHarness::waitFor([&] { return !opened("helpPopover"); }));
        WindowHarness::pump(700);  // the card takes clicks after a moment
        clickOn("allowButton");
        EXPECT_TRUE(WindowHarness::waitFor([&] { return !opened("approveSheet"); }));

        // The previewer for a received file, closed with Escape; a deleted file's alert.
        ASSERT_TRUE(phone.connect());
        ASSERT_TRUE(phone.send("notes.txt", "a few words"));
        clickOn("recvSegment");
        QQuickItem* tile = nullptr;
        ASSERT_TRUE(WindowHarness::waitFor([&] { return (tile = item("tile:notes.txt")); }));
        WindowHarness::pump(1000);  // the tab slides in
        QPoint centre = centreOf(tile, 1.0 / 3);
        QTest::mouseDClick(window, Qt::LeftButton, {}, centre);
        ASSERT_TRUE(WindowHarness::waitFor([&] { return look.visible(); }))
            << "missing: " << harness->model().missingText().toStdString()
            << " selection: " << harness->model().selectionText().toStdString();
        ASSERT_TRUE(WindowHarness::waitFor(
            [&] { return previewer->window() && previewer->window()->isExposed(); }));
        previewer->window()->requestActivate();  // as the desktop does with a raised window
        QTest::qWaitForWindowActive(previewer->window());
        pressKey(previewer->window(), Qt::Key_Escape);
        EXPECT_TRUE(WindowHarness::waitFor([&] { return !look.visible(); }));

        std::filesystem::remove(harness->inbox() / "notes.txt");
        QTest::mouseDClick(window, Qt::LeftButton, {}, centre);
        ASSERT_TRUE(WindowHarness::waitFor([&] { return opened("missingAlert"); }));
        // Return presses the button the keyboard is on.
        ASSERT_TRUE(WindowHarness::waitFor([&] { return item("missingLater"); }));
        item("missingLater")->forceActiveFocus(Qt::TabFocusReason);
        pressKey(window, Qt::Key_Return);
        EXPECT_TRUE(WindowHarness::waitFor([&] { return !opened("missingAlert"); }));
        EXPECT_TRUE(window->isVisible());
    }
};

TEST_F(WindowWalk, WithTheDesktopsOwnChoosers) {
    open();
    if (!portal) GTEST_SKIP() << "no xdg-desktop-portal on the bus";
    walk();
}

TEST_F(WindowWalk, WithQtsChoosersWhereThereIsNoPortal) {
    // No session bus at all: read when the bus is first used, which is after this line.
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus");
    open();
    ASSERT_FALSE(portal);
    walk();
}

}  // namespace
}  // namespace skiff::test
