#pragma once

#include <QDBusConnection>
#include <QObject>

#include <filesystem>

#include "app/notifier.hpp"

namespace skiff::app {

// org.freedesktop.Notifications on a session bus.
class FreedesktopNotifications : public QObject, public NotificationService {
    Q_OBJECT
  public:
    explicit FreedesktopNotifications(QDBusConnection bus = QDBusConnection::sessionBus(),
                                      QObject* parent = nullptr);

    bool available() override;
    void post(const Notification& notification, Posted posted) override;

    // Escapes the characters the service would read as markup in a body.
    static QString escapeMarkup(const QString& text);

  private slots:
    void actionInvoked(uint id, const QString& action);
    void notificationClosed(uint id, uint reason);

  private:
    void send(const Notification& notification, bool bodyMarkup, Posted posted);

    QDBusConnection m_bus;
};

// Whether `name` is on the bus now or the bus can start it.
bool busOffers(QDBusConnection& bus, const QString& name);

// Shows `file` selected in the desktop's file manager (org.freedesktop.FileManager1), or opens
// its folder when no file manager answers that way.
void revealInFileManager(const std::filesystem::path& file,
                         QDBusConnection bus = QDBusConnection::sessionBus());

}  // namespace skiff::app
