#pragma once

#include <QQuickItem>
#include <QQuickWindow>

#include <vector>

namespace skiff::test {

// Every item under `root` in the visual tree, delegates of views and repeaters included (they
// are not QObject children of the window, so findChildren misses them).
inline void collectItems(QQuickItem* root, std::vector<QQuickItem*>& out) {
    for (QQuickItem* item : root->childItems()) {
        out.push_back(item);
        collectItems(item, out);
    }
}

inline std::vector<QQuickItem*> itemsUnder(QQuickItem* root) {
    std::vector<QQuickItem*> out;
    if (root) collectItems(root, out);
    return out;
}

inline std::vector<QQuickItem*> itemsOf(QQuickWindow* window) {
    return itemsUnder(window->contentItem());
}

}  // namespace skiff::test
