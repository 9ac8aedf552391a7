#include "ui/services/visibility.hpp"

#include <QEvent>
#include <QGuiApplication>

namespace skiff::ui {

Visibility::Visibility(QObject* parent) : QObject(parent) {
    connect(qGuiApp, &QGuiApplication::applicationStateChanged, this, &Visibility::update);
}

Visibility::~Visibility() {
    if (m_window) m_window->removeEventFilter(this);
}

void Visibility::setWindow(QWindow* window) {
    if (window == m_window) return;
    if (m_window) {
        m_window->removeEventFilter(this);
        disconnect(m_window, nullptr, this, nullptr);
    }
    m_window = window;
    if (m_window) {
        // Exposure has no signal of its own; its events pass through here.
        m_window->installEventFilter(this);
        connect(m_window, &QWindow::visibilityChanged, this, &Visibility::update);
    }
    emit windowChanged();
    update();
}

void Visibility::update() {
    auto state = QGuiApplication::applicationState();
    bool hidden = state == Qt::ApplicationHidden || state == Qt::ApplicationSuspended;
    bool seen = !hidden && m_window && m_window->isVisible() &&
                m_window->visibility() != QWindow::Minimized && m_window->isExposed();
    if (seen == m_visible) return;
    m_visible = seen;
    emit visibleChanged();
}

bool Visibility::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::Expose:
        case QEvent::Show:
        case QEvent::Hide:
        case QEvent::WindowStateChange:
            // The window's own state is updated once its handler ran.
            QMetaObject::invokeMethod(this, &Visibility::update, Qt::QueuedConnection);
            break;
        default:
            break;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace skiff::ui
