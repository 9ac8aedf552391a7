#include "support/window_harness.hpp"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QThread>

#include "media/thumb_store.hpp"
#include "ui/qml_setup.hpp"

namespace skiff::test {

WindowHarness::WindowHarness(app::DesktopServices services, std::vector<app::NetIface> interfaces) {
    // Settings written by the window (QML Settings) and by the model stay in this test's folder.
    auto config = QString::fromStdString((m_dir.path() / "config").string());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, config);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, config);
    m_settings = std::make_unique<QSettings>();

    m_server = server::FileServer::create(
        m_pool, m_dir.path() / "inbox", "012345", [](std::function<void()> task) {
            QMetaObject::invokeMethod(qApp, std::move(task), Qt::QueuedConnection);
        });
    if (!services.listInterfaces) services.listInterfaces = [interfaces] { return interfaces; };
    if (!services.firewallState) services.firewallState = [] { return app::FirewallReading{}; };
    if (!services.prefetch) services.prefetch = [](const std::filesystem::path&) {};
    m_model =
        std::make_unique<app::AppModel>(m_time.timing(), services, m_settings.get(), m_server);
}

WindowHarness::~WindowHarness() {
    m_engine.reset();
    if (m_model) m_model->stop();
    pump(0);
    media::ThumbStore::shared().waitIdle();
    m_model.reset();
}

QQuickWindow* WindowHarness::open(const QByteArray& qml) {
    m_engine = std::make_unique<QQmlApplicationEngine>();
    ui::prepareEngine(*m_engine, *m_model);
    m_model->start();
    if (!qml.isEmpty())
        m_engine->loadData(qml);
    else if (!ui::loadMainWindow(*m_engine))
        return nullptr;
    m_window = qobject_cast<QQuickWindow*>(m_engine->rootObjects().value(0));
    if (m_window) {
        m_window->show();
        waitFor([this] { return m_window->isExposed() && m_model->running(); });
    }
    return m_window;
}

QQuickWindow* WindowHarness::openWorking() {
    m_settings->setValue("skipIntro023", true);
    m_settings->sync();
    return open();
}

void WindowHarness::pump(int ms) {
    QElapsedTimer clock;
    clock.start();
    do {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        if (ms > 0) QThread::msleep(5);
    } while (clock.elapsed() < ms);
}

bool WindowHarness::waitFor(const std::function<bool()>& done, int ms) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms) return false;
        pump(10);
    }
    return true;
}

QImage WindowHarness::grab() {
    pump(100);
    return m_window ? m_window->grabWindow() : QImage();
}

OpenedUrls::OpenedUrls(QString scheme) : m_scheme(std::move(scheme)) {
    QDesktopServices::setUrlHandler(m_scheme, this, "open");
}

OpenedUrls::~OpenedUrls() {
    QDesktopServices::unsetUrlHandler(m_scheme);
}

}  // namespace skiff::test
