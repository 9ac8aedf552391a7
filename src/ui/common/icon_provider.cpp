#include "ui/common/icon_provider.hpp"

#include <QIcon>
#include <QPainter>
#include <QSvgRenderer>
#include <QUrlQuery>

#include "ui/common/icon_names.hpp"

namespace skiff::ui {

IconProvider::IconProvider() : QQuickImageProvider(QQuickImageProvider::Image) {}

QImage iconImage(const QString& symbol, int side, const QColor& tint) {
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    auto themed = themeIconName(symbol);
    if (themed && QIcon::hasThemeIcon(*themed)) {
        QPainter painter(&image);
        QIcon::fromTheme(*themed).paint(&painter, image.rect());
    } else if (auto drawing = iconDrawing(symbol)) {
        QSvgRenderer renderer(*drawing);
        QPainter painter(&image);
        renderer.render(&painter, image.rect());
    }
    // Symbolic icons are one colour: repaint every covered pixel in the tint, keeping its alpha.
    if (tint.isValid()) {
        QPainter painter(&image);
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(image.rect(), tint);
    }
    return image;
}

QImage IconProvider::requestImage(const QString& id, QSize* size, const QSize& requestedSize) {
    QString symbol = id.section('?', 0, 0);
    QColor tint;
    QString colour = QUrlQuery(id.section('?', 1)).queryItemValue("c");
    if (!colour.isEmpty()) tint = QColor("#" + colour);
    int side =
        requestedSize.isValid() ? std::max(requestedSize.width(), requestedSize.height()) : 32;
    side = std::clamp(side, 1, 1024);
    QImage image = iconImage(symbol, side, tint);
    if (size) *size = image.size();
    return image;
}

}  // namespace skiff::ui
