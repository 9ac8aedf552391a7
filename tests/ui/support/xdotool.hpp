#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

namespace skiff::test {

// Runs xdotool on the test's display, for windows of other programs (the desktop's choosers);
// its output, trimmed.
inline QString xdotool(const QStringList& arguments) {
    QProcess tool;
    tool.start("xdotool", arguments);
    tool.waitForFinished(10000);
    return QString::fromUtf8(tool.readAllStandardOutput()).trimmed();
}

}  // namespace skiff::test
