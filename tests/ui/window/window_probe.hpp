#pragma once

// Looks at the window the way a person does: which texts are on screen, where a button is.

#include <QProcess>
#include <QQuickItem>
#include <QQuickWindow>
#include <QStringList>
#include <QTest>

#include <functional>

namespace skiff::test {

inline bool showsText(const QQuickItem* item) {
    return item->inherits("QQuickText") || item->inherits("QQuickTextEdit") ||
           item->inherits("QQuickTextInput");
}

// Whether the item and all its ancestors are visible and not fully transparent.
inline bool onScreen(const QQuickItem* item) {
    for (auto* at = item; at; at = at->parentItem())
        if (!at->isVisible() || at->opacity() <= 0.01) return false;
    return true;
}

inline void walkItems(QQuickItem* item, const std::function<void(QQuickItem*)>& visit) {
    if (!item) return;
    visit(item);
    for (auto* child : item->childItems()) walkItems(child, visit);
}

// Every text the window shows right now, popups and dialogs included.
inline QStringList visibleTexts(QQuickWindow* window) {
    QStringList texts;
    walkItems(window->contentItem(), [&](QQuickItem* item) {
        if (showsText(item) && onScreen(item)) {
            QString text = item->property("text").toString();
            if (!text.isEmpty()) texts << text;
        }
    });
    return texts;
}

inline int countText(QQuickWindow* window, const QString& text) {
    return static_cast<int>(visibleTexts(window).count(text));
}

inline bool anyTextContains(QQuickWindow* window, const QString& part) {
    for (const auto& text : visibleTexts(window))
        if (text.contains(part)) return true;
    return false;
}

// The visible item with this objectName, or the visible control whose text is `text`.
inline QQuickItem* visibleItem(QQuickWindow* window, const QString& objectName) {
    QQuickItem* found = nullptr;
    walkItems(window->contentItem(), [&](QQuickItem* item) {
        if (!found && item->objectName() == objectName && onScreen(item)) found = item;
    });
    return found;
}

inline QQuickItem* anyItem(QQuickWindow* window, const QString& objectName) {
    QQuickItem* found = nullptr;
    walkItems(window->contentItem(), [&](QQuickItem* item) {
        if (!found && item->objectName() == objectName) found = item;
    });
    return found;
}

inline QQuickItem* buttonWithText(QQuickWindow* window, const QString& text) {
    QQuickItem* found = nullptr;
    walkItems(window->contentItem(), [&](QQuickItem* item) {
        if (!found && item->inherits("QQuickAbstractButton") && onScreen(item) &&
            item->property("text").toString() == text)
            found = item;
    });
    return found;
}

// No popup, sheet or dialog is open (or still fading out) over the window.
inline bool overlayClear(QQuickWindow* window) {
    bool clear = true;
    walkItems(window->contentItem(), [&](QQuickItem* item) {
        if (!item->inherits("QQuickOverlay")) return;
        for (auto* child : item->childItems())
            if (child->isVisible()) clear = false;
    });
    return clear;
}

inline QPoint centreOf(QQuickItem* item) {
    return item->mapToScene(QPointF(item->width() / 2, item->height() / 2)).toPoint();
}

inline bool click(QQuickWindow* window, QQuickItem* item) {
    if (!item) return false;
    QTest::mouseClick(window, Qt::LeftButton, Qt::NoModifier, centreOf(item));
    return true;
}

// What zbarimg reads from a picture: one line per code found.
inline QStringList decodeQr(const QString& pngPath) {
    QProcess zbar;
    zbar.start("zbarimg", {"--raw", "-q", pngPath});
    zbar.waitForFinished(20000);
    QString out = QString::fromUtf8(zbar.readAllStandardOutput());
    return out.split('\n', Qt::SkipEmptyParts);
}

}  // namespace skiff::test
