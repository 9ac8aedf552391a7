#include "ui/common/clipboard.hpp"

#include <QClipboard>
#include <QGuiApplication>

namespace skiff::ui {

Clipboard::Clipboard(QObject* parent) : QObject(parent) {}

QString Clipboard::text() const {
    return QGuiApplication::clipboard()->text();
}

void Clipboard::setText(const QString& text) const {
    QGuiApplication::clipboard()->setText(text);
}

}  // namespace skiff::ui
