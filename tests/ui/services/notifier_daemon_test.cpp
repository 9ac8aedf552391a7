// Received-file messages through a real notification daemon (dunst); batching is the notifier's.
#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QGuiApplication>
#include <QProcess>
#include <QRasterWindow>

#include <fstream>

#include "app/quick_look.hpp"
#include "support/phone_session.hpp"
#include "support/temp_dir.hpp"
#include "ui/services/desktop_hooks.hpp"

namespace skiff::test {
namespace {

QByteArray dunstctl(const QStringList& arguments) {
    QProcess control;
    control.start("dunstctl", arguments);
    control.waitForFinished(5000);
    return control.readAllStandardOutput().trimmed();
}

TEST(Notifications, FilesMakeOneMessageWhoseClickPreviewsFromTheFirst) {
    TempDir dir;
    std::ofstream(dir.path() / "dunstrc")
        << "[global]\nmonitor=0\nfollow=none\nidle_threshold=0\n[urgency_normal]\ntimeout=0\n";
    QProcess dunst;
    dunst.start("dunst", {"-config", QString::fromStdString((dir.path() / "dunstrc").string())});
    ASSERT_TRUE(WindowHarness::waitFor([] {
        return QDBusConnection::sessionBus()
            .interface()
            ->isServiceRegistered("org.freedesktop.Notifications")
            .value();
    }));
    QRasterWindow window;  // stands in for the main window: activation is the program's
    window.resize(320, 200);
    app::QuickLook look;
    std::unique_ptr<app::Notifier> notifier;
    WindowHarness harness(
        {.notifyReceived = [&](const std::filesystem::path& file, const QString& device) {
            notifier->add(file, device);
        }});
    notifier = ui::makeNotifier(harness.time().timing(), look, [&] { return &window; });
    harness.model().start();
    PhoneSession phone(harness, kAndroid);
    ASSERT_TRUE(WindowHarness::waitFor([&] { return harness.model().running(); }) &&
                phone.connect());
    // The program in the background: its window shown once and hidden again.
    window.show();
    window.requestActivate();
    WindowHarness::waitFor(
        [] { return QGuiApplication::applicationState() == Qt::ApplicationActive; });
    window.hide();
    ASSERT_TRUE(WindowHarness::waitFor(
        [] { return QGuiApplication::applicationState() != Qt::ApplicationActive; }));
    std::vector<std::filesystem::path> files;
    for (const char* name : {"a.txt", "b.txt"}) {
        ASSERT_TRUE(phone.send(name, "bytes"));
        harness.time().advance(500);
        files.push_back(harness.model().received().front().file.url);
    }
    harness.time().advance(1500);
    ASSERT_TRUE(WindowHarness::waitFor([] { return dunstctl({"count", "displayed"}) == "1"; }));
    dunstctl({"action", "0"});
    ASSERT_TRUE(WindowHarness::waitFor([&] { return look.visible(); }));
    EXPECT_EQ(look.files(), files);
    EXPECT_EQ(look.currentIndex(), 0);
    EXPECT_TRUE(window.isVisible());  // brought forward for the click
}

}  // namespace
}  // namespace skiff::test
