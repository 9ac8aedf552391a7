#pragma once

#include <QQuickImageProvider>

namespace skiff::ui {

// Serves "image://icon/<symbol>" and "image://icon/<symbol>?c=<rrggbb>": the desktop theme's
// icon for the symbol, else our own drawing, painted in the given colour when one is asked.
class IconProvider : public QQuickImageProvider {
  public:
    IconProvider();
    QImage requestImage(const QString& id, QSize* size, const QSize& requestedSize) override;
};

// The icon for `symbol` at `side` pixels; transparent when the symbol is unknown.
QImage iconImage(const QString& symbol, int side, const QColor& tint);

}  // namespace skiff::ui
