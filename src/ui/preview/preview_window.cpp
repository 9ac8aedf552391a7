#include "ui/preview/preview_window.hpp"

#include <QQmlComponent>
#include <QQmlEngine>

#include "ui/preview/preview_image_provider.hpp"

namespace skiff::ui {

PreviewWindow::PreviewWindow(QQmlEngine& engine, app::QuickLook& look, QObject* parent)
    : QObject(parent), m_engine(engine), m_look(look) {
    if (!m_engine.imageProvider("preview"))
        m_engine.addImageProvider("preview", new PreviewImageProvider);
    connect(&m_look, &app::QuickLook::visibleChanged, this, &PreviewWindow::follow);
    connect(&m_look, &app::QuickLook::raiseRequested, this, &PreviewWindow::follow);
}

PreviewWindow::~PreviewWindow() {
    // The window hides as it is deleted; that must not reach back into this object.
    disconnect(&m_look, nullptr, this, nullptr);
    if (m_window) disconnect(m_window, nullptr, this, nullptr);
    delete m_window.data();
}

bool PreviewWindow::preview(const std::vector<std::filesystem::path>& files,
                            const std::filesystem::path& start, bool toggle) {
    return toggle ? m_look.toggle(files, start) : m_look.show(files, start);
}

void PreviewWindow::ensureWindow() {
    if (m_window) return;
    QQmlComponent component(&m_engine, QUrl("qrc:/qt/qml/Skiff/Preview/Previewer.qml"));
    if (!component.isReady()) {
        qWarning("previewer window: %s", qPrintable(component.errorString()));
        return;
    }
    QObject* made = component.createWithInitialProperties(
        {{"look", QVariant::fromValue(static_cast<QObject*>(&m_look))}});
    m_window = qobject_cast<QQuickWindow*>(made);
    if (!m_window) {
        qWarning("previewer window: %s", qPrintable(component.errorString()));
        delete made;
        return;
    }
    QQmlEngine::setObjectOwnership(m_window, QQmlEngine::CppOwnership);
    // The window manager's close button closes the previewer's state as well.
    connect(m_window, &QWindow::visibleChanged, this, [this](bool shown) {
        if (!shown) m_look.close();
    });
}

void PreviewWindow::follow() {
    if (!m_look.visible()) {
        if (m_window) m_window->hide();
        return;
    }
    ensureWindow();
    if (!m_window) return;
    m_window->show();
    m_window->raise();
    m_window->requestActivate();
}

}  // namespace skiff::ui
