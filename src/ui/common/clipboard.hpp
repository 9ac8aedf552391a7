#pragma once

#include <QtQml/qqmlregistration.h>
#include <QObject>
#include <QString>

namespace skiff::ui {

// The desktop's clipboard as plain text, for the views: copying a received text, sharing
// what was copied elsewhere.
class Clipboard : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

  public:
    explicit Clipboard(QObject* parent = nullptr);

    Q_INVOKABLE QString text() const;
    Q_INVOKABLE void setText(const QString& text) const;
};

}  // namespace skiff::ui
