#pragma once

#include <QImage>
#include <QQmlApplicationEngine>
#include <QQuickWindow>
#include <QSettings>

#include <functional>

#include <filesystem>
#include <memory>
#include <vector>

#include "app/app_model.hpp"
#include "server/file_server.hpp"
#include "server/io_pool.hpp"
#include "support/fake_time.hpp"
#include "support/temp_dir.hpp"

namespace skiff::test {

// The real model and server behind the real window on the virtual display, with a fake clock
// for the model's timed steps and a private settings folder.
class WindowHarness {
  public:
    // `interfaces` is what the model sees of the network; the server still listens on every
    // address, so test clients reach it over loopback.
    explicit WindowHarness(std::vector<app::NetIface> interfaces = {{"wlan0", "192.168.1.20",
                                                                     "Wi-Fi",
                                                                     app::NetIface::Kind::wifi}},
                           app::DesktopServices services = {});
    ~WindowHarness();

    // Creates the main window (the model starts first, as in the program).
    QQuickWindow* open();
    // Like open(), with a window made of the given QML instead of the main window.
    QQuickWindow* openSource(const QByteArray& qml);
    QQuickWindow* window() const { return m_window; }

    // Lets the event loop run for `ms` of real time (rendering, queued server callbacks).
    static void pump(int ms = 50);
    // Runs the loop until `done` holds or `ms` pass; false on timeout.
    static bool waitFor(const std::function<bool()>& done, int ms = 5000);

    // A phone with this user agent asks for the file list, the person allows it through the
    // model (as the approval card does), and the phone is in; false at the first step that fails.
    bool admitPhone(const std::string& userAgent);
    QImage grab();
    // With SKIFF_SCREENSHOTS=<folder>, saves the window there as <name>.png.
    void keepScreenshot(const QString& name);

    template <class T = QObject>
    T* find(const QString& objectName) const {
        return m_window ? m_window->findChild<T*>(objectName) : nullptr;
    }

    std::filesystem::path root() const { return m_dir.path(); }
    std::filesystem::path inbox() const { return m_dir.path() / "inbox"; }
    QSettings& settings() { return *m_settings; }
    FakeTime& time() { return m_time; }
    app::AppModel& model() { return *m_model; }
    server::FileServer& server() { return *m_server; }
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

}  // namespace skiff::test
