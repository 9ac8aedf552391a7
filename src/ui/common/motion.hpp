#pragma once

#include <QtQml/qqmlregistration.h>
#include <QObject>
#include <QString>

namespace skiff::ui {

// Whether the desktop asks for less motion. GTK desktops write "gtk-enable-animations" into
// their settings.ini files; SKIFF_REDUCE_MOTION=1 asks for it explicitly.
class Motion : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(bool reduced READ reduced CONSTANT)

  public:
    explicit Motion(QObject* parent = nullptr);
    bool reduced() const { return m_reduced; }

  private:
    bool m_reduced = false;
};

// True when a GTK settings.ini text turns animations off.
bool animationsOffIn(const QString& settingsIni);

}  // namespace skiff::ui
