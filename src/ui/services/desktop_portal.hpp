#pragma once

#include <QDBusConnection>
#include <QString>
#include <QVariantMap>
#include <QWindow>

#include <functional>

namespace skiff::ui {

// The XDG desktop portal: the desktop's own dialogs and settings, for plain and sandboxed
// builds alike. Every call is asynchronous, so a slow or missing portal never holds the window.
inline const QString kPortalService = "org.freedesktop.portal.Desktop";
inline const QString kPortalPath = "/org/freedesktop/portal/desktop";

// Whether a portal is on the session bus or can be started by it.
bool portalAvailable(QDBusConnection bus = QDBusConnection::sessionBus());

// How a portal dialog names the window it belongs to: "x11:<id>" on X11; empty elsewhere
// (on Wayland the portal then shows the dialog on its own).
QString portalParentWindow(QWindow* window);

// One portal request: calls `method` of `interface` with `arguments`, then `options` (into which
// the handle token goes), and hands the Response signal's code and results to `done` once.
// The portal answers 0 for success, 1 when the user cancelled and 2 when the dialog ended
// otherwise (GTK's answer to Escape); a call the portal refuses gives kRefused.
class PortalRequest : public QObject {
    Q_OBJECT
  public:
    static constexpr uint kRefused = 1000;
    using Done = std::function<void(uint code, const QVariantMap& results)>;

    static void start(const QString& interface, const QString& method, QVariantList arguments,
                      QVariantMap options, Done done,
                      QDBusConnection bus = QDBusConnection::sessionBus());

  private slots:
    void response(uint code, const QVariantMap& results);

  private:
    PortalRequest(QDBusConnection bus, Done done)
        : m_bus(std::move(bus)), m_done(std::move(done)) {}
    void listen(const QString& handle);
    void finish(uint code, const QVariantMap& results);

    QDBusConnection m_bus;
    Done m_done;
    QString m_handle;
};

}  // namespace skiff::ui
