// Received-file messages through a real notification daemon (dunst) on the test's private
// session bus: what is posted, when nothing is, and what clicks on them do.
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

// dunst with a configuration of our own: messages stay until closed, and its context menu
// picks the entry naming "Mở thư mục" the way a person would in a menu.
class Daemon {
  public:
    Daemon() {
        auto chooser = m_dir.path() / "choose.sh";
        std::ofstream(chooser) << "#!/bin/sh\nexec grep -m1 'Mở thư mục'\n";
        std::filesystem::permissions(chooser, std::filesystem::perms::owner_all);
        auto config = m_dir.path() / "dunstrc";
        std::ofstream(config) << "[global]\n    monitor = 0\n    follow = none\n"
                              << "    idle_threshold = 0\n"
                              << "    dmenu = " << chooser.string() << "\n"
                              << "[urgency_low]\n    timeout = 0\n"
                              << "[urgency_normal]\n    timeout = 0\n"
                              << "[urgency_critical]\n    timeout = 0\n";
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start("dunst", {"-config", QString::fromStdString(config.string())});
        m_process.waitForStarted();
        WindowHarness::waitFor([] {
            auto bus = QDBusConnection::sessionBus();
            return bus.interface()->isServiceRegistered("org.freedesktop.Notifications").value();
        });
    }
    ~Daemon() {
        m_process.terminate();
        if (!m_process.waitForFinished(3000)) m_process.kill();
        m_process.waitForFinished(3000);
    }

    static QByteArray control(const QStringList& arguments) {
        QProcess dunstctl;
        dunstctl.start("dunstctl", arguments);
        dunstctl.waitForFinished(5000);
        return dunstctl.readAllStandardOutput().trimmed();
    }
    static int displayed() { return control({"count", "displayed"}).toInt(); }

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
    ~FileManager() override {
        m_bus.unregisterService("org.freedesktop.FileManager1");
        QDBusConnection::disconnectFromBus("fm");
    }
    QStringList shown;

  public slots:
    void ShowItems(const QStringList& uris, const QString&) { shown << uris; }

  private:
    QDBusConnection m_bus;
};

class Notifications : public ::testing::Test {
  protected:
    Notifications() {
        window.resize(320, 200);
        notifier = ui::makeNotifier(harness.time().timing(), look, [this] { return &window; });
    }

    void SetUp() override {
        harness.model().start();
        ASSERT_TRUE(WindowHarness::waitFor([&] { return harness.model().running(); }));
        ASSERT_TRUE(phone.connect());
    }

    app::DesktopServices services() {
        app::DesktopServices services;
        services.notifyReceived = [this](const std::filesystem::path& file, const QString& device) {
            notifier->add(file, device);
        };
        return services;
    }

    // A phone sends a file; returns once the model has it.
    std::filesystem::path receive(const std::string& name) {
        EXPECT_TRUE(phone.send(name, "bytes of " + name)) << name;
        return harness.model().received().front().file.url;
    }

    // Makes the program the active application or not, through its window's focus.
    void activate(bool active) {
        window.show();
        window.requestActivate();
        WindowHarness::waitFor(
            [] { return QGuiApplication::applicationState() == Qt::ApplicationActive; });
        if (!active) window.hide();
        ASSERT_TRUE(WindowHarness::waitFor([&] {
            return (QGuiApplication::applicationState() == Qt::ApplicationActive) == active;
        }));
    }

    Daemon daemon;
    QRasterWindow window;  // stands in for the main window: activation is the program's
    app::QuickLook look;
    std::unique_ptr<app::Notifier> notifier;
    WindowHarness harness{{{"wlan0", "192.168.1.20", "Wi-Fi", app::NetIface::Kind::wifi}},
                          services()};
    PhoneSession phone{harness, kAndroid};
};

// Batching, titles and silence while the window is active are the notifier's own suite; here
// the messages go through a real daemon and come back as clicks.
TEST_F(Notifications, FilesMakeOneMessageWhoseClickPreviewsFromTheFirstAndWhoseMenuReveals) {
    FileManager fileManager;
    activate(false);
    std::vector<std::filesystem::path> files;
    for (const char* name : {"a.txt", "b.txt", "c.txt"}) {
        files.push_back(receive(name));
        harness.time().advance(500);
    }
    harness.time().advance(1000);  // 1.5 s after the last file
    ASSERT_TRUE(WindowHarness::waitFor([] { return Daemon::displayed() == 1; }));
    Daemon::control({"action", "0"});
    ASSERT_TRUE(WindowHarness::waitFor([&] { return look.visible(); }));
    EXPECT_EQ(look.files(), files);
    EXPECT_EQ(look.currentIndex(), 0);
    EXPECT_TRUE(window.isVisible());  // brought forward for the click
    Daemon::control({"close-all"});
    ASSERT_TRUE(WindowHarness::waitFor([] { return Daemon::displayed() == 0; }));

    look.close();
    activate(false);
    auto first = receive("first.txt");
    receive("second.txt");
    harness.time().advance(1500);
    ASSERT_TRUE(WindowHarness::waitFor([] { return Daemon::displayed() == 1; }));
    Daemon::control({"context"});  // the menu picks "Mở thư mục"
    ASSERT_TRUE(WindowHarness::waitFor([&] { return !fileManager.shown.isEmpty(); }));
    EXPECT_EQ(fileManager.shown,
              QStringList{QUrl::fromLocalFile(QString::fromStdString(first.string())).toString()});
    EXPECT_FALSE(look.visible());
}

}  // namespace
}  // namespace skiff::test

#include "notifier_daemon_test.moc"
