#include "ui/common/qr_code_item.hpp"

#include <QPainter>
#include <QQuickWindow>

#include "app/qr_code.hpp"

namespace skiff::ui {

namespace {

// The smallest image of the code: the encoder is asked for growing sides until every module
// maps to exactly one pixel, so that scaling later stays sharp at any size.
QImage moduleImage(const QString& text) {
    if (text.isEmpty()) return {};
    std::string bytes = text.toStdString();
    for (int side = 21; side <= 8192; ++side) {
        auto image = app::qrImage(bytes, side);
        if (!image) continue;
        QImage grey(image->width, image->height, QImage::Format_Grayscale8);
        for (int y = 0; y < image->height; ++y)
            std::copy_n(image->pixels.data() + static_cast<std::size_t>(y) * image->width,
                        image->width, grey.scanLine(y));
        return grey;
    }
    return {};
}

}  // namespace

QrCode::QrCode(QQuickItem* parent) : QQuickPaintedItem(parent) {
    setAntialiasing(false);
}

void QrCode::setText(const QString& text) {
    if (text == m_text) return;
    m_text = text;
    m_code = moduleImage(text);
    emit textChanged();
    update();
}

void QrCode::paint(QPainter* painter) {
    if (m_code.isNull()) return;
    painter->setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter->fillRect(boundingRect(), Qt::white);
    // Whole pixels per module, centred: a fractional scale would blur module edges.
    qreal dpr = window() ? window()->effectiveDevicePixelRatio() : 1.0;
    qreal side = std::min(width(), height()) * dpr;
    int per = std::max(1, static_cast<int>(side / m_code.width()));
    qreal drawn = per * m_code.width() / dpr;
    QRectF target((width() - drawn) / 2, (height() - drawn) / 2, drawn, drawn);
    painter->drawImage(target, m_code);
}

}  // namespace skiff::ui
