#pragma once

#include <QtQml/qqmlregistration.h>
#include <QImage>
#include <QQuickPaintedItem>

namespace skiff::ui {

// A QR code of `text`, black on white with its quiet zone, filling the item's square. Nothing
// is drawn when the text is empty or cannot be encoded.
class QrCode : public QQuickPaintedItem {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QString text READ text WRITE setText NOTIFY textChanged)
    Q_PROPERTY(bool valid READ valid NOTIFY textChanged)

  public:
    explicit QrCode(QQuickItem* parent = nullptr);

    QString text() const { return m_text; }
    void setText(const QString& text);
    bool valid() const { return !m_code.isNull(); }

    void paint(QPainter* painter) override;

  signals:
    void textChanged();

  private:
    QString m_text;
    QImage m_code;  // one pixel per module, quiet zone included
};

}  // namespace skiff::ui
