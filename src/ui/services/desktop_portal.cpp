#include "ui/services/desktop_portal.hpp"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QGuiApplication>
#include <QRandomGenerator>

#include "app/notifier_bus.hpp"

namespace skiff::ui {

namespace {

const QString kRequestInterface = "org.freedesktop.portal.Request";

}  // namespace

bool portalAvailable(QDBusConnection bus) {
    return app::busOffers(bus, kPortalService);
}

QString portalParentWindow(QWindow* window) {
    if (!window || QGuiApplication::platformName() != "xcb") return {};
    return "x11:" + QString::number(window->winId(), 16);
}

void PortalRequest::start(const QString& interface, const QString& method, QVariantList arguments,
                          QVariantMap options, Done done, QDBusConnection bus) {
    auto* request = new PortalRequest(bus, std::move(done));
    // The portal answers on a path made of our bus name and this token; listening there before
    // the call means an answer that comes at once is not missed.
    QString token = "skiff" + QString::number(QRandomGenerator::system()->generate());
    QString sender = bus.baseService().mid(1).replace('.', '_');
    request->listen(kPortalPath + "/request/" + sender + "/" + token);
    options.insert("handle_token", token);

    auto message = QDBusMessage::createMethodCall(kPortalService, kPortalPath, interface, method);
    message.setArguments(arguments << options);
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(message, 30000), request);
    connect(watcher, &QDBusPendingCallWatcher::finished, request,
            [request](QDBusPendingCallWatcher* call) {
                call->deleteLater();
                QDBusPendingReply<QDBusObjectPath> reply = *call;
                if (reply.isError()) return request->finish(kRefused, {});
                // An older portal may answer on a path of its own choosing.
                if (reply.value().path() != request->m_handle)
                    request->listen(reply.value().path());
            });
}

void PortalRequest::listen(const QString& handle) {
    if (!m_handle.isEmpty())
        m_bus.disconnect(kPortalService, m_handle, kRequestInterface, "Response", this,
                         SLOT(response(uint, QVariantMap)));
    m_handle = handle;
    m_bus.connect(kPortalService, m_handle, kRequestInterface, "Response", this,
                  SLOT(response(uint, QVariantMap)));
}

void PortalRequest::response(uint code, const QVariantMap& results) {
    finish(code, results);
}

void PortalRequest::finish(uint code, const QVariantMap& results) {
    if (!m_done) return;
    Done done = std::move(m_done);
    m_done = nullptr;
    m_bus.disconnect(kPortalService, m_handle, kRequestInterface, "Response", this,
                     SLOT(response(uint, QVariantMap)));
    deleteLater();
    done(code, results);
}

}  // namespace skiff::ui
