#pragma once

#include <QtQml/qqmlregistration.h>
#include <QObject>
#include <QString>
#include <QUrl>

namespace skiff::ui {

// The window's texts built from numbers and paths, for QML as the singleton `Format`.
class Format : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

  public:
    using QObject::QObject;

    // Sizes arrive from QML as numbers; whole bytes up to 2^53 pass unchanged.
    Q_INVOKABLE QString bytes(double count) const;
    Q_INVOKABLE QString progress(double received, double size) const;
    Q_INVOKABLE int percent(double received, double size) const;
    Q_INVOKABLE QString speed(double bytesPerSecond) const;
    Q_INVOKABLE QString duration(double seconds) const;
    Q_INVOKABLE QString remaining(double received, double size, double bytesPerSecond) const;
    Q_INVOKABLE QString code(const QString& code) const;
    Q_INVOKABLE QString homePath(const QString& path) const;
    Q_INVOKABLE QString deviceSymbol(const QString& kind) const;
    // A local path as a file URL, every character of the name kept ('#', '?', '%').
    Q_INVOKABLE QUrl fileUrl(const QString& path) const;
};

}  // namespace skiff::ui
