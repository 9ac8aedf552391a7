#include "app/receive_folder.hpp"

#include <QStandardPaths>

namespace skiff::app {

std::filesystem::path defaultReceiveFolder() {
    QString downloads = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    if (downloads.isEmpty())
        downloads = QStandardPaths::writableLocation(QStandardPaths::HomeLocation) + "/Downloads";
    return std::filesystem::path(downloads.toStdString()) / "Skiff";
}

std::filesystem::path loadSaveDir(QSettings& settings) {
    QString stored = settings.value("saveDir").toString();
    if (!stored.isEmpty()) return stored.toStdString();
    return defaultReceiveFolder();
}

void storeSaveDir(QSettings& settings, const std::filesystem::path& folder) {
    settings.setValue("saveDir", QString::fromStdString(folder.string()));
    // Bookmarks mean nothing here; the path is the whole record.
    settings.remove("saveDirBookmark");
}

}  // namespace skiff::app
