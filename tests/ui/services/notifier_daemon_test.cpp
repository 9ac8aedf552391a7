// Received-file messages through a real notification daemon (dunst) on the test's private
// session bus, and what clicks on them do. Batching and titles are the notifier's own suite.
#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QGuiApplication>
#include <QProcess>
#include <QRasterWindow>
#include <QUrl>

#include <fstream>

#include "app/quick_look.hpp"
#include "support/phone_session.hpp"
#include "support/temp_dir.hpp"
#include "ui/services/desktop_hooks.hpp"

namespace skiff::test {
namespace {

// dunst with messages that stay until closed, whose context menu picks the entry naming
// "Mở thư mục" the way a person would.
class Daemon {
  public:
    Daemon() {
        auto chooser = m_dir.path() / "choose.sh";
        std::ofstream(chooser) << "#!/bin/sh\nexec grep -m1 'Mở thư mục'\n";
        std::filesystem::permissions(chooser, std::filesystem::perms::owner_all);
        auto config = m_dir.path() / "dunstrc";
        std::ofstream(config) << "[global]\nmonitor=0\nfollow=none\nidle_threshold=0\ndmenu="
                              << chooser.string() << "\n[urgency_normal]\ntimeout=0\n";
        m_process.start("dunst", {"-config", QString::fromStdString(config.string())});
        WindowHarness::waitFor([] {
            return QDBusConnection::sessionBus()
                .interface()
                ->isServiceRegistered("org.freedesktop.Notifications")
                .value();
        });
    }
    ~Daemon() {
        m_process.terminate();
        if (!m_process.waitForFinished(3000)) m_process.kill();
    }
    static QByteArray control(const QStringList& arguments) {
        QProcess dunstctl;
        dunstctl.start("dunstctl", arguments);
        dunstctl.waitForFinished(5000);
        return dunstctl.readAllStandardOutput().trimmed();
    }
    static bool shows(int count) {
        return WindowHarness::waitFor([&] {
            return control({"count", "displayed"}).toInt() == count;
        });
    }

  private:
    TempDir m_dir;
    QProcess m_process;
};

// Stands in for the desktop's file manager on a connection of its own.
class FileManager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")
  public:
    FileManager() : m_bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, "fm")) {
        m_bus.registerObject("/org/freedesktop/FileManager1", this,
                             QDBusConnection::ExportAllSlots);
        m_bus.registerService("org.freedesktop.FileManager1");
    }
    ~FileManager() override { QDBusConnection::disconnectFromBus("fm"); }
    QStringList shown;

  public slots:
    void ShowItems(const QStringList& uris, const QString&) { shown << uris; }

  private:
    QDBusConnection m_bus;
};

TEST(Notifications, FilesMakeOneMessageWhoseClickPreviewsFromTheFirstAndWhoseMenuReveals) {
    Daemon daemon;
    FileManager fileManager;
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
    auto background = [&] {
        window.show();
        window.requestActivate();
        WindowHarness::waitFor(
            [] { return QGuiApplication::applicationState() == Qt::ApplicationActive; });
        window.hide();
        return WindowHarness::waitFor(
            [] { return QGuiApplication::applicationState() != Qt::ApplicationActive; });
    };
    auto receive = [&](const std::string& name) -> std::filesystem::path {
        EXPECT_TRUE(phone.send(name, "bytes of " + name)) << name;
        harness.time().advance(500);
        return harness.model().received().front().file.url;
    };

    ASSERT_TRUE(background());
    auto first = receive("a.txt"), second = receive("b.txt");
    harness.time().advance(1500);
    ASSERT_TRUE(Daemon::shows(1));
    Daemon::control({"action", "0"});
    ASSERT_TRUE(WindowHarness::waitFor([&] { return look.visible(); }));
    EXPECT_EQ(look.files(), (std::vector{first, second}));
    EXPECT_EQ(look.currentIndex(), 0);
    EXPECT_TRUE(window.isVisible());  // brought forward for the click
    Daemon::control({"close-all"});
    ASSERT_TRUE(Daemon::shows(0));

    look.close();
    ASSERT_TRUE(background());
    first = receive("c.txt");
    receive("d.txt");
    harness.time().advance(1500);
    ASSERT_TRUE(Daemon::shows(1));
    Daemon::control({"context"});  // the menu picks "Mở thư mục"
    ASSERT_TRUE(WindowHarness::waitFor([&] { return !fileManager.shown.isEmpty(); }));
    EXPECT_EQ(fileManager.shown,
              QStringList{QUrl::fromLocalFile(QString::fromStdString(first.string())).toString()});
    EXPECT_FALSE(look.visible());
}

}  // namespace
}  // namespace skiff::test

#include "notifier_daemon_test.moc"
