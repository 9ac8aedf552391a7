#pragma once

#include <QDBusConnection>
#include <QDBusVariant>
#include <QObject>
#include <QPalette>

namespace skiff::ui {

// Light or dark as the desktop says: the portal's org.freedesktop.appearance color-scheme,
// followed while the program runs. The application palette is set from it, so the controls and
// every colour of Theme change together. Without a portal, or with no preference, the
// palette Qt found on the desktop stays.
class ColorScheme : public QObject {
    Q_OBJECT
  public:
    enum class Choice { none, dark, light };

    explicit ColorScheme(QDBusConnection bus = QDBusConnection::sessionBus(),
                         QObject* parent = nullptr);

    Choice choice() const { return m_choice; }
    // What the portal's value means: 1 dark, 2 light, anything else no preference.
    static Choice choiceOf(uint value);
    // Skiff's own palette for each scheme: text at least 4.5:1 against its background.
    static QPalette palette(bool dark);

  private slots:
    void settingChanged(const QString& group, const QString& key, const QDBusVariant& value);

  private:
    void apply(Choice choice);

    QDBusConnection m_bus;
    QPalette m_desktop;  // the palette before any scheme was applied
    Choice m_choice = Choice::none;
};

}  // namespace skiff::ui
