#pragma once

#include <QtQml/qqmlregistration.h>
#include <QObject>
#include <QString>

namespace skiff::ui {

// What the file views need to know about one file on disk, asked by path. Every answer comes
// from the file's name or one stat call, so a visible tile can ask again cheaply; the `epoch`
// arguments only make bindings ask again when the view's refresh tick moves.
class FileFacts : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

  public:
    explicit FileFacts(QObject* parent = nullptr);

    Q_INVOKABLE bool exists(const QString& path, int epoch = 0) const;
    Q_INVOKABLE bool isVideo(const QString& path) const;
    Q_INVOKABLE bool canThumb(const QString& path) const;
    // A video's length as "m:ss" or "h:mm:ss"; empty until the store has read it.
    Q_INVOKABLE QString durationText(const QString& path, int epoch = 0) const;
    // "image://thumb/…" for a picture fitted within side x side pixels, or "" when the
    // store cannot draw this kind of file.
    Q_INVOKABLE QString thumbSource(const QString& path, int side) const;
    // "image://filetype/…": the desktop's icon for the file's type.
    Q_INVOKABLE QString iconSource(const QString& path) const;
    // The upper-case extension for the coloured card of a file without a picture ("DOC").
    Q_INVOKABLE QString cardLetters(const QString& path) const;
    // Which colour that card gets: "text" (doc, rtf, txt), "sheet" (xls, csv) or "other".
    Q_INVOKABLE QString cardFamily(const QString& path) const;
    // Shows the file selected in the desktop's file manager.
    Q_INVOKABLE void reveal(const QString& path) const;
};

// Video length for people: "m:ss" below an hour, "h:mm:ss" from one hour on.
QString formatDuration(double seconds);

}  // namespace skiff::ui
