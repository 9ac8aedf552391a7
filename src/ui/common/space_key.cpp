#include "ui/common/space_key.hpp"

#include <QKeyEvent>
#include <QQuickItem>

namespace skiff::ui {

bool takesText(const QObject* item) {
    if (!item) return false;
    if (item->inherits("QQuickTextInput")) return true;
    // A read-only text edit is only selectable text (the address row), not a place to type.
    if (item->inherits("QQuickTextEdit")) return !item->property("readOnly").toBool();
    return false;
}

SpaceKey::SpaceKey(QObject* parent) : QObject(parent) {}

SpaceKey::~SpaceKey() {
    if (m_window) m_window->removeEventFilter(this);
}

void SpaceKey::setWindow(QQuickWindow* window) {
    if (window == m_window) return;
    if (m_window) m_window->removeEventFilter(this);
    m_window = window;
    if (m_window) m_window->installEventFilter(this);
    emit windowChanged();
}

void SpaceKey::setModel(QObject* model) {
    if (model == m_model) return;
    m_model = model;
    emit modelChanged();
}

bool SpaceKey::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || watched != m_window || !m_model) return false;
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_Space || key->isAutoRepeat()) return false;
    if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return false;
    if (takesText(m_window->activeFocusItem())) return false;
    bool handled = false;
    QMetaObject::invokeMethod(m_model, "previewSelection", Qt::DirectConnection,
                              Q_RETURN_ARG(bool, handled));
    return handled;
}

}  // namespace skiff::ui
