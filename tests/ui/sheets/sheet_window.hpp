#pragma once

#include <QByteArray>
#include <QQuickItem>
#include <QQuickWindow>
#include <QString>
#include <QTest>

#include <ostream>

#include "support/window_harness.hpp"

// Texts in failure messages as text rather than code units.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace skiff::test {

// A window of the size of the main window holding `body`, with the sheets' module imported.
inline QByteArray sheetWindow(const QByteArray& body) {
    return "import QtQuick\nimport QtQuick.Controls\nimport Skiff.Sheets\n"
           "ApplicationWindow { id: window; title: \"Skiff\"; width: 900; height: 640; "
           "visible: true\n" +
           body + "\n}\n";
}

// A left click in the middle of `item`.
inline void click(QQuickWindow* window, QQuickItem* item) {
    QPointF centre = item->mapToScene(QPointF(item->width() / 2, item->height() / 2));
    QTest::mouseClick(window, Qt::LeftButton, {}, centre.toPoint());
}

// True when `item` and all its visual parents are visible.
inline bool shown(const QQuickItem* item) {
    return item && item->isVisible() && item->opacity() > 0;
}

inline QString textOf(const QObject* item) {
    return item ? item->property("text").toString() : QString("<missing>");
}

}  // namespace skiff::test
