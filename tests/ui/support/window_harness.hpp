#pragma once

#include <QImage>
#include <QQmlApplicationEngine>
#include <QQuickWindow>
#include <QSettings>
#include <QUrl>

#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

#include "app/app_model.hpp"
#include "server/file_server.hpp"
#include "server/io_pool.hpp"
#include "support/fake_time.hpp"
#include "support/temp_dir.hpp"

namespace skiff::test {

// The real model and server behind the real window, with a fake clock and private settings.
class WindowHarness {
  public:
    // `interfaces` is what the model sees; the server listens everywhere, loopback included.
    explicit WindowHarness(app::DesktopServices services = {},
                           std::vector<app::NetIface> interfaces = {
                               {"wlan0", "192.168.1.20", "Wi-Fi", app::NetIface::Kind::wifi}});
    ~WindowHarness();

    // Starts the model and shows the main window, or one of this QML source, once the server runs.
    QQuickWindow* open(const QByteArray& qml = {});
    // The working view straight away, as for someone who saw the introduction.
    QQuickWindow* openWorking();
    QQuickWindow* window() const { return m_window; }

    // Runs the event loop for `ms` of real time, or until `done` holds (false after `ms`).
    static void pump(int ms = 50);
    static bool waitFor(const std::function<bool()>& done, int ms = 5000);

    QImage grab();

    template <class T = QObject>
    T* find(const QString& objectName) const {
        return m_window ? m_window->findChild<T*>(objectName) : nullptr;
    }

    std::filesystem::path root() const { return m_dir.path(); }
    std::filesystem::path inbox() const { return m_dir.path() / "inbox"; }
    FakeTime& time() { return m_time; }
    app::AppModel& model() { return *m_model; }
    QQmlApplicationEngine& engine() { return *m_engine; }

  private:
    TempDir m_dir;
    FakeTime m_time;
    std::unique_ptr<QSettings> m_settings;
    server::IoPool m_pool{2};
    std::shared_ptr<server::FileServer> m_server;
    std::unique_ptr<app::AppModel> m_model;
    std::unique_ptr<QQmlApplicationEngine> m_engine;
    QQuickWindow* m_window = nullptr;
};

// Takes the URLs the window asks the desktop to open (a file manager, a web browser).
class OpenedUrls : public QObject {
    Q_OBJECT
  public:
    explicit OpenedUrls(QString scheme = "file");
    ~OpenedUrls() override;
    QList<QUrl> urls;

  public slots:
    void open(const QUrl& url) { urls << url; }

  private:
    QString m_scheme;
};

}  // namespace skiff::test
