// The desktop portal for real: xdg-desktop-portal with its GTK backend, started by the private
// session bus of the test, on the virtual display.
#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QGuiApplication>
#include <QProcess>
#include <QRegularExpression>
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

// The GTK backend keeps its settings in a key file under `config`, so the test can flip the
// desktop's colour scheme; set on the bus before it starts the portal.
void prepareBus(const fs::path& config) {
    using Environment = QMap<QString, QString>;
    qDBusRegisterMetaType<Environment>();
    Environment environment{{"GSETTINGS_BACKEND", "keyfile"},
                            {"XDG_CONFIG_HOME", QString::fromStdString(config.string())},
                            {"XDG_CURRENT_DESKTOP", "GNOME"}};
    auto message =
        QDBusMessage::createMethodCall("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                       "org.freedesktop.DBus", "UpdateActivationEnvironment");
    message << QVariant::fromValue(environment);
    QDBusMessage reply = QDBusConnection::sessionBus().call(message);
    ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
}

void setColorScheme(const fs::path& config, const char* value) {
    QProcess gsettings;
    auto environment = QProcessEnvironment::systemEnvironment();
    environment.insert("GSETTINGS_BACKEND", "keyfile");
    environment.insert("XDG_CONFIG_HOME", QString::fromStdString(config.string()));
    gsettings.setProcessEnvironment(environment);
    gsettings.start("gsettings", {"set", "org.gnome.desktop.interface", "color-scheme", value});
    ASSERT_TRUE(gsettings.waitForFinished(10000));
    ASSERT_EQ(gsettings.exitCode(), 0);
}

class Portal : public testing::Test {
  protected:
    TempDir dir;
    void SetUp() override {
        if (!ui::portalAvailable()) GTEST_SKIP() << "no xdg-desktop-portal on the bus";
        prepareBus(dir.path() / "config");
    }
};

// The chooser the desktop shows: its title is ours, its accept button carries our label, and
// the file typed into it comes back as the answer.
TEST_F(Portal, FileChooserShowsTheDesktopDialogAndAnswersWithTheChosenFile) {
    // Typed in with xdotool, which drops characters outside the keyboard map under load.
    fs::path picked = dir.path() / "photo 1.jpg";
    std::ofstream(picked) << "x";
    QWindow window;
    window.resize(400, 300);
    window.show();
    ui::FileChooser chooser;
    chooser.setProperty("title", "Chia sẻ");
    chooser.setProperty("acceptLabel", "Chia sẻ");
    chooser.setProperty("multiple", true);
    QSignalSpy accepted(&chooser, &ui::FileChooser::accepted);
    // What reaches the desktop's backend, to see the label it puts on the accept button.
    QProcess monitor;
    monitor.start("dbus-monitor",
                  {"--session", "interface='org.freedesktop.impl.portal.FileChooser'"});
    ASSERT_TRUE(monitor.waitForStarted());
    QTest::qWait(500);
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
    auto urls = accepted.first().first().value<QList<QUrl>>();
    ASSERT_EQ(urls.size(), 1);
    EXPECT_EQ(urls.first().toLocalFile().toStdString(), picked.string());
    EXPECT_FALSE(chooser.busy());
    monitor.terminate();
    monitor.waitForFinished();
    QString call = QString::fromUtf8(monitor.readAllStandardOutput());
    EXPECT_TRUE(call.contains("member=OpenFile")) << call.toStdString();
    EXPECT_TRUE(
        call.contains(QRegularExpression(R"(string "accept_label"\s+variant\s+string "Chia sẻ")")))
        << call.toStdString();
}

// Dark and light follow the desktop's switch while the program runs; no preference gives the
// desktop's palette back.
TEST_F(Portal, ColourSchemeFollowsTheDesktopSwitchLive) {
    QPalette desktop = QGuiApplication::palette();
    setColorScheme(dir.path() / "config", "prefer-dark");
    ui::ColorScheme scheme;
    auto windowLightness = [] { return QGuiApplication::palette().window().color().lightness(); };
    ASSERT_TRUE(WindowHarness::waitFor(
        [&] { return scheme.choice() == ui::ColorScheme::Choice::dark; }, 15000));
    EXPECT_LT(windowLightness(), 64);
    EXPECT_GT(QGuiApplication::palette().windowText().color().lightness(), 200);

    setColorScheme(dir.path() / "config", "prefer-light");
    ASSERT_TRUE(WindowHarness::waitFor(
        [&] { return scheme.choice() == ui::ColorScheme::Choice::light; }, 15000));
    EXPECT_GT(windowLightness(), 200);

    setColorScheme(dir.path() / "config", "default");
    ASSERT_TRUE(WindowHarness::waitFor(
        [&] { return scheme.choice() == ui::ColorScheme::Choice::none; }, 15000));
    EXPECT_EQ(QGuiApplication::palette().window().color(), desktop.window().color());
}

}  // namespace
}  // namespace skiff::test
