// xdg-desktop-portal for real, started by the test's private session bus.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QSignalSpy>
#include <QTest>
#include <QWindow>

#include <filesystem>
#include <fstream>

#include "support/temp_dir.hpp"
#include "support/window_probe.hpp"
#include "ui/services/color_scheme.hpp"
#include "ui/services/desktop_portal.hpp"
#include "ui/services/file_chooser.hpp"

namespace skiff::test {
namespace {

// The chooser the desktop shows carries our title, and the file typed into it is the answer.
TEST(Portal, FileChooserShowsTheDesktopDialogAndAnswersWithTheChosenFile) {
    if (!ui::portalAvailable()) GTEST_SKIP() << "no xdg-desktop-portal on the bus";
    // Typed in with xdotool, which drops characters outside the keyboard map under load.
    TempDir dir;
    std::filesystem::path picked = dir.path() / "photo 1.jpg";
    std::ofstream(picked) << "x";
    QWindow window;
    window.resize(400, 300);
    window.show();
    ui::FileChooser chooser;
    chooser.setProperty("title", "Chia sẻ");
    chooser.setProperty("multiple", true);
    QSignalSpy accepted(&chooser, &ui::FileChooser::accepted);
    ASSERT_TRUE(chooser.open(&window));
    EXPECT_TRUE(chooser.busy());
    EXPECT_TRUE(chooser.open(&window)) << "a second open while the dialog is up is a no-op";

    QString dialog = otherWindow("Chia sẻ");
    ASSERT_FALSE(dialog.isEmpty()) << "the desktop's chooser never showed";
    // It belongs to our window, so the desktop keeps it above the window and not behind.
    EXPECT_EQ(runTool("xprop", {"-id", dialog, "WM_TRANSIENT_FOR"}).section("# ", 1),
              "0x" + QString::number(window.winId(), 16));
    xdotool({"windowactivate", "--sync", dialog});
    xdotool({"key", "--window", dialog, "ctrl+l"});
    QTest::qWait(800);
    xdotool({"type", "--window", dialog, QString::fromStdString(picked.string())});
    QTest::qWait(300);
    xdotool({"key", "--window", dialog, "Return"});
    ASSERT_TRUE(WindowHarness::waitFor([&] { return accepted.count() == 1; }, 15000));
    EXPECT_EQ(accepted.first().first().value<QList<QUrl>>(),
              QList<QUrl>{QUrl::fromLocalFile(QString::fromStdString(picked.string()))});
    EXPECT_FALSE(chooser.busy());
}

// The desktop's light or dark choice, read at the start and followed as the person changes it.
TEST(Portal, TheDesktopsLightOrDarkChoiceIsReadAtTheStartAndFollowed) {
    if (!ui::portalAvailable()) GTEST_SKIP() << "no xdg-desktop-portal on the bus";
    auto choose = [](const char* scheme) {
        runTool("gsettings", {"set", "org.gnome.desktop.interface", "color-scheme", scheme});
    };
    auto shows = [](const QColor& window) {
        return WindowHarness::waitFor(
            [&] { return QGuiApplication::palette().color(QPalette::Window) == window; });
    };
    const QColor desktop = QGuiApplication::palette().color(QPalette::Window);
    choose("prefer-dark");
    ui::ColorScheme follow;
    EXPECT_TRUE(shows(QColor("#242424")));
    choose("prefer-light");
    EXPECT_TRUE(shows(QColor("#fafafa")));
    choose("default");
    EXPECT_TRUE(shows(desktop));
}

}  // namespace
}  // namespace skiff::test
