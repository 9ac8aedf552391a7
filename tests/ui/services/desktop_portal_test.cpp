// The desktop portal for real: xdg-desktop-portal with its GTK backend, started by the private
// session bus of the test, on the virtual display.
#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QGuiApplication>
#include <QProcess>
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

namespace fs = std::filesystem;

// The GTK backend keeps its settings in a key file under the test's folder, so the test can
// flip the desktop's colour scheme; set on the bus before it starts the portal.
class Portal : public testing::Test {
  protected:
    TempDir dir;
    QString config = QString::fromStdString((dir.path() / "config").string());

    void SetUp() override {
        if (!ui::portalAvailable()) GTEST_SKIP() << "no xdg-desktop-portal on the bus";
        using Environment = QMap<QString, QString>;
        qDBusRegisterMetaType<Environment>();
        auto message =
            QDBusMessage::createMethodCall("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                           "org.freedesktop.DBus", "UpdateActivationEnvironment");
        message << QVariant::fromValue(Environment{{"GSETTINGS_BACKEND", "keyfile"},
                                                   {"XDG_CONFIG_HOME", config},
                                                   {"XDG_CURRENT_DESKTOP", "GNOME"}});
        QDBusMessage reply = QDBusConnection::sessionBus().call(message);
        ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
    }

    void setColorScheme(const char* value) {
        QProcess gsettings;
        auto environment = QProcessEnvironment::systemEnvironment();
        environment.insert("GSETTINGS_BACKEND", "keyfile");
        environment.insert("XDG_CONFIG_HOME", config);
        gsettings.setProcessEnvironment(environment);
        gsettings.start("gsettings", {"set", "org.gnome.desktop.interface", "color-scheme", value});
        ASSERT_TRUE(gsettings.waitForFinished(10000) && gsettings.exitCode() == 0);
    }
};

// The chooser the desktop shows carries our title, and the file typed into it is the answer.
TEST_F(Portal, FileChooserShowsTheDesktopDialogAndAnswersWithTheChosenFile) {
    // Typed in with xdotool, which drops characters outside the keyboard map under load.
    fs::path picked = dir.path() / "photo 1.jpg";
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

// Dark and light follow the desktop's switch while the program runs; no preference gives the
// desktop's palette back.
TEST_F(Portal, ColourSchemeFollowsTheDesktopSwitchLive) {
    QColor desktop = QGuiApplication::palette().window().color();
    auto lightness = [] { return QGuiApplication::palette().window().color().lightness(); };
    setColorScheme("prefer-dark");
    ui::ColorScheme scheme;
    using Choice = ui::ColorScheme::Choice;
    ASSERT_TRUE(WindowHarness::waitFor([&] { return scheme.choice() == Choice::dark; }, 15000));
    EXPECT_LT(lightness(), 64);
    EXPECT_GT(QGuiApplication::palette().windowText().color().lightness(), 200);
    setColorScheme("prefer-light");
    ASSERT_TRUE(WindowHarness::waitFor([&] { return scheme.choice() == Choice::light; }, 15000));
    EXPECT_GT(lightness(), 200);
    setColorScheme("default");
    ASSERT_TRUE(WindowHarness::waitFor([&] { return scheme.choice() == Choice::none; }, 15000));
    EXPECT_EQ(QGuiApplication::palette().window().color(), desktop);
}

}  // namespace
}  // namespace skiff::test
