#include "ui/common/stored_settings.hpp"

#include <QSettings>

namespace skiff::ui {

StoredSettings::StoredSettings(QObject* parent) : QObject(parent) {
    QSettings settings;
    m_grid = settings.value("gridView023", true).toBool();
    m_skipIntro = settings.value("skipIntro023", false).toBool();
    m_skipIntroAtLaunch = m_skipIntro;
    // A stored value from elsewhere that names no tab falls back to the receive tab.
    QString tab = settings.value("tab024", "recv").toString();
    m_tab = tab == "send" ? "send" : "recv";
}

void StoredSettings::write(const char* key, const QVariant& value) {
    QSettings settings;
    settings.setValue(key, value);
    settings.sync();
}

void StoredSettings::setGrid(bool grid) {
    if (grid == m_grid) return;
    m_grid = grid;
    write("gridView023", grid);
    emit gridChanged();
}

void StoredSettings::setSkipIntro(bool skip) {
    if (skip == m_skipIntro) return;
    m_skipIntro = skip;
    write("skipIntro023", skip);
    emit skipIntroChanged();
}

void StoredSettings::setTab(const QString& tab) {
    if (tab == m_tab || (tab != "recv" && tab != "send")) return;
    m_tab = tab;
    write("tab024", tab);
    emit tabChanged();
}

}  // namespace skiff::ui
