#include "ui/common/motion.hpp"

#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>

namespace skiff::ui {

bool animationsOffIn(const QString& settingsIni) {
    static const QRegularExpression line(
        R"(^\s*gtk-enable-animations\s*=\s*(\S+)\s*$)",
        QRegularExpression::MultilineOption | QRegularExpression::CaseInsensitiveOption);
    bool off = false;
    auto matches = line.globalMatch(settingsIni);
    while (matches.hasNext()) {  // the last line wins, as in GTK
        QString value = matches.next().captured(1).toLower();
        off = value == "0" || value == "false";
    }
    return off;
}

Motion::Motion(QObject* parent) : QObject(parent) {
    QByteArray asked = qgetenv("SKIFF_REDUCE_MOTION");
    if (!asked.isEmpty()) {
        m_reduced = asked != "0";
        return;
    }
    QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    for (const char* folder : {"/gtk-4.0/settings.ini", "/gtk-3.0/settings.ini"}) {
        QFile file(config + folder);
        if (file.open(QIODevice::ReadOnly) && animationsOffIn(QString::fromUtf8(file.readAll()))) {
            m_reduced = true;
            return;
        }
    }
}

}  // namespace skiff::ui
