#pragma once

// Looks at the window the way a person does: which texts are on screen, where a button is.

#include <QProcess>
#include <QQuickItem>
#include <QQuickWindow>
#include <QStringList>
#include <QTest>

#include <functional>
#include <ostream>

#include "support/window_harness.hpp"

inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace skiff::test {

// Every item under `item` in the visual tree, delegates of views and repeaters included (they
// are not QObject children of the window, so findChildren misses them).
inline void walkItems(QQuickItem* item, const std::function<void(QQuickItem*)>& visit) {
    if (!item) return;
    visit(item);
    for (auto* child : item->childItems()) walkItems(child, visit);
}

// The item and all its ancestors are visible and not fully transparent.
inline bool onScreen(const QQuickItem* item) {
    for (auto* at = item; at; at = at->parentItem())
        if (!at->isVisible() || at->opacity() <= 0.01) return false;
    return item != nullptr;
}

inline QString textOf(const QObject* item) {
    return item ? item->property("text").toString() : QString("<missing>");
}

// The first item under `root` that `match` accepts, or null.
inline QQuickItem* findItem(QQuickItem* root, const std::function<bool(QQuickItem*)>& match) {
    QQuickItem* found = nullptr;
    walkItems(root, [&](QQuickItem* item) {
        if (!found && match(item)) found = item;
    });
    return found;
}

// Every text the window shows right now, popups and dialogs included.
inline QStringList visibleTexts(QQuickWindow* window) {
    QStringList texts;
    walkItems(window->contentItem(), [&](QQuickItem* item) {
        bool text = item->inherits("QQuickText") || item->inherits("QQuickTextEdit") ||
                    item->inherits("QQuickTextInput");
        if (text && onScreen(item) && !textOf(item).isEmpty()) texts << textOf(item);
    });
    return texts;
}

inline int countText(QQuickWindow* window, const QString& text) {
    return static_cast<int>(visibleTexts(window).count(text));
}

// Waits until the window shows `text` exactly `times` times.
inline bool showsText(QQuickWindow* window, const QString& text, int times = 1) {
    return WindowHarness::waitFor([&] { return countText(window, text) == times; });
}

inline QQuickItem* childNamed(QQuickItem* root, const QString& objectName) {
    return findItem(root, [&](QQuickItem* item) { return item->objectName() == objectName; });
}

inline QQuickItem* visibleItem(QQuickWindow* window, const QString& objectName) {
    return findItem(window->contentItem(), [&](QQuickItem* item) {
        return item->objectName() == objectName && onScreen(item);
    });
}

inline QQuickItem* buttonWithText(QQuickWindow* window, const QString& text) {
    return findItem(window->contentItem(), [&](QQuickItem* item) {
        return item->inherits("QQuickAbstractButton") && onScreen(item) && textOf(item) == text;
    });
}

// No popup, sheet or dialog is open (or still fading out) over the window.
inline bool overlayClear(QQuickWindow* window) {
    return !findItem(window->contentItem(), [](QQuickItem* item) {
        if (!item->inherits("QQuickOverlay")) return false;
        for (auto* child : item->childItems())
            if (child->isVisible()) return true;
        return false;
    });
}

inline QPoint centreOf(QQuickItem* item, double down = 0.5) {
    return item->mapToScene(QPointF(item->width() / 2, item->height() * down)).toPoint();
}

inline bool click(QQuickWindow* window, QQuickItem* item) {
    if (item) QTest::mouseClick(window, Qt::LeftButton, Qt::NoModifier, centreOf(item));
    return item != nullptr;
}

// A helper program's trimmed output: zbarimg reading a QR code, xdotool driving the windows of
// other programs on the test's display (the desktop's choosers).
inline QString runTool(const QString& program, const QStringList& arguments) {
    QProcess tool;
    tool.start(program, arguments);
    tool.waitForFinished(20000);
    return QString::fromUtf8(tool.readAllStandardOutput()).trimmed();
}

inline QString xdotool(const QStringList& arguments) {
    return runTool("xdotool", arguments);
}

// The first window of another program titled exactly `title`, once it shows; "" if it never does.
inline QString otherWindow(const QString& title) {
    QString found;
    WindowHarness::waitFor(
        [&] {
            return !(found = xdotool({"search", "--name", "^" + title + "$"})).isEmpty();
        },
        15000);
    return found.section('\n', 0, 0);
}

// A window of the size of the main window holding `body`, with the sheets' module imported.
inline QByteArray sheetWindow(const QByteArray& body) {
    return "import QtQuick\nimport QtQuick.Controls\nimport Skiff.Sheets\nApplicationWindow { id: "
           "window; title: \"Skiff\"; width: 900; height: 640; visible: true\n" +
           body + "\n}\n";
}

}  // namespace skiff::test
