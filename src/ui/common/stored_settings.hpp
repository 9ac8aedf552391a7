#pragma once

#include <QtQml/qqmlregistration.h>
#include <QObject>
#include <QString>

namespace skiff::ui {

// The window's choices kept across launches in the user's settings: the file browsers' grid
// or list ("gridView023"), skipping the introduction ("skipIntro023") and the open tab
// ("tab024"). Each change is written at once, so a crash loses nothing.
class StoredSettings : public QObject {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(bool grid READ grid WRITE setGrid NOTIFY gridChanged)
    Q_PROPERTY(bool skipIntro READ skipIntro WRITE setSkipIntro NOTIFY skipIntroChanged)
    Q_PROPERTY(QString tab READ tab WRITE setTab NOTIFY tabChanged)
    // "skipIntro023" as it was when the window opened: whether the launch skips the introduction.
    Q_PROPERTY(bool skipIntroAtLaunch READ skipIntroAtLaunch CONSTANT)

  public:
    explicit StoredSettings(QObject* parent = nullptr);

    bool grid() const { return m_grid; }
    bool skipIntro() const { return m_skipIntro; }
    QString tab() const { return m_tab; }
    bool skipIntroAtLaunch() const { return m_skipIntroAtLaunch; }
    void setGrid(bool grid);
    void setSkipIntro(bool skip);
    // Only "recv" and "send" are tabs; anything else is ignored.
    void setTab(const QString& tab);

  signals:
    void gridChanged();
    void skipIntroChanged();
    void tabChanged();

  private:
    void write(const char* key, const QVariant& value);

    bool m_grid = true;
    bool m_skipIntro = false;
    bool m_skipIntroAtLaunch = false;
    QString m_tab = "recv";
};

}  // namespace skiff::ui
