#pragma once

#include <QtQml/qqmlregistration.h>
#include <QList>
#include <QObject>
#include <QUrl>
#include <QWindow>

namespace skiff::ui {

// The desktop's own file or folder chooser, through the portal, so GNOME and KDE show their
// dialogs and a sandboxed build reaches the user's files. A portal chooser picks either files
// or folders, never both.
//     FileChooser { id: chooser; title: "Chia sẻ"; acceptLabel: "Chia sẻ"; multiple: true
//                   onAccepted: urls => ...; onFailed: qtDialog.open() }
//     if (!chooser.open(Window.window)) qtDialog.open()
class FileChooser : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QString title MEMBER m_title NOTIFY changed)
    Q_PROPERTY(QString acceptLabel MEMBER m_acceptLabel NOTIFY changed)
    Q_PROPERTY(bool folders MEMBER m_folders NOTIFY changed)
    Q_PROPERTY(bool multiple MEMBER m_multiple NOTIFY changed)
    Q_PROPERTY(QUrl currentFolder MEMBER m_currentFolder NOTIFY changed)
    // A dialog is up: a second open() meanwhile does nothing.
    Q_PROPERTY(bool busy READ busy NOTIFY busyChanged)

  public:
    explicit FileChooser(QObject* parent = nullptr) : QObject(parent) {}

    // Asks the portal for a dialog over `window`; false when there is no portal, and the
    // caller shows the toolkit's own dialog instead.
    Q_INVOKABLE bool open(QWindow* window);
    bool busy() const { return m_busy; }

  signals:
    void accepted(const QList<QUrl>& urls);
    void rejected();
    // The portal was there but could not show a chooser.
    void failed();
    void changed();
    void busyChanged();

  private:
    void setBusy(bool busy);

    QString m_title;
    QString m_acceptLabel;
    bool m_folders = false;
    bool m_multiple = false;
    QUrl m_currentFolder;
    bool m_busy = false;
};

}  // namespace skiff::ui
