#include "app/notifier_bus.hpp"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QProcess>
#include <QUrl>

#include "app/application_id.hpp"

namespace skiff::app {

namespace {

const QString kService = "org.freedesktop.Notifications";
const QString kPath = "/org/freedesktop/Notifications";
const QString kFileManager = "org.freedesktop.FileManager1";

}  // namespace

FreedesktopNotifications::FreedesktopNotifications(QDBusConnection bus, QObject* parent)
    : QObject(parent), m_bus(std::move(bus)) {
    m_bus.connect(kService, kPath, kService, "ActionInvoked", this,
                  SLOT(actionInvoked(uint, QString)));
    m_bus.connect(kService, kPath, kService, "NotificationClosed", this,
                  SLOT(notificationClosed(uint, uint)));
}

bool busOffers(QDBusConnection& bus, const QString& name) {
    if (!bus.isConnected() || !bus.interface()) return false;
    if (bus.interface()->isServiceRegistered(name).value()) return true;
    auto reply =
        bus.call(QDBusMessage::createMethodCall("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                "org.freedesktop.DBus", "ListActivatableNames"),
                 QDBus::Block, 2000);
    return reply.type() == QDBusMessage::ReplyMessage &&
           reply.arguments().value(0).toStringList().contains(name);
}

bool FreedesktopNotifications::available() {
    return busOffers(m_bus, kService);
}

QString FreedesktopNotifications::escapeMarkup(const QString& text) {
    return text.toHtmlEscaped();
}

void FreedesktopNotifications::post(const Notification& notification, Posted posted) {
    // Bodies may carry markup on some services; a device name must not turn into tags there.
    auto call = m_bus.asyncCall(
        QDBusMessage::createMethodCall(kService, kPath, kService, "GetCapabilities"), 5000);
    auto* watcher = new QDBusPendingCallWatcher(call, this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, notification, posted](QDBusPendingCallWatcher* done) {
                done->deleteLater();
                QDBusPendingReply<QStringList> reply = *done;
                bool markup = reply.isError() || reply.value().contains("body-markup");
                send(notification, markup, posted);
            });
}

void FreedesktopNotifications::send(const Notification& notification, bool bodyMarkup,
                                    Posted posted) {
    QStringList actions;
    for (const auto& [key, title] : notification.actions) actions << key << title;
    QVariantMap hints{{"desktop-entry", QString(applicationId)},
                      {"category", QString("transfer.complete")},
                      {"urgency", QVariant::fromValue(uchar(1))}};
    auto message = QDBusMessage::createMethodCall(kService, kPath, kService, "Notify");
    message << QString("Skiff") << uint(0) << QString(applicationId) << notification.title
            << (bodyMarkup ? escapeMarkup(notification.body) : notification.body) << actions
            << hints << int(-1);
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(message, 5000), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [posted](QDBusPendingCallWatcher* done) {
                done->deleteLater();
                QDBusPendingReply<uint> reply = *done;
                if (posted) posted(reply.isError() ? 0 : reply.value());
            });
}

void FreedesktopNotifications::actionInvoked(uint id, const QString& action) {
    if (onAction) onAction(id, action);
}

void FreedesktopNotifications::notificationClosed(uint id, uint) {
    if (onClosed) onClosed(id);
}

namespace {

void openFolderOf(const std::filesystem::path& file) {
    auto folder = QString::fromStdString(file.parent_path().string());
    QProcess::startDetached("xdg-open", {QUrl::fromLocalFile(folder).toString()});
}

}  // namespace

void revealInFileManager(const std::filesystem::path& file, QDBusConnection bus) {
    if (!busOffers(bus, kFileManager)) return openFolderOf(file);
    auto url = QUrl::fromLocalFile(QString::fromStdString(file.string())).toString();
    auto message = QDBusMessage::createMethodCall(kFileManager, "/org/freedesktop/FileManager1",
                                                  kFileManager, "ShowItems");
    message << QStringList{url} << QString();
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(message, 10000));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished,
                     [file](QDBusPendingCallWatcher* done) {
                         done->deleteLater();
                         if (done->isError()) openFolderOf(file);
                     });
}

}  // namespace skiff::app
