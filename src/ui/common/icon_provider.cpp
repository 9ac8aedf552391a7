#include "ui/common/icon_provider.hpp"

#include <QIcon>

#include "ui/common/icon_names.hpp"

namespace skiff::ui {

IconProvider::IconProvider() : QQuickImageProvider(QQuickImageProvider::Pixmap) {}

QPixmap IconProvider::requestPixmap(const QString& id, QSize* size, const QSize& requestedSize) {
    QSize wanted = requestedSize.isValid() ? requestedSize : QSize(32, 32);
    QPixmap pixmap;
    if (auto themed = themeIconName(id)) pixmap = QIcon::fromTheme(*themed).pixmap(wanted);
    if (pixmap.isNull()) {
        pixmap = QPixmap(wanted);
        pixmap.fill(Qt::transparent);
    }
    if (size) *size = pixmap.size();
    return pixmap;
}

}  // namespace skiff::ui
