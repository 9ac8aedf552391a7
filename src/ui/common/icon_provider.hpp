#pragma once

#include <QQuickImageProvider>

namespace skiff::ui {

// Serves "image://icon/<symbol>": the window names its icons by their symbol names and gets
// the desktop's themed icon for each.
class IconProvider : public QQuickImageProvider {
  public:
    IconProvider();
    QPixmap requestPixmap(const QString& id, QSize* size, const QSize& requestedSize) override;
};

}  // namespace skiff::ui
