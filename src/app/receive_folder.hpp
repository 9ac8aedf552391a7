#pragma once

#include <QSettings>

#include <filesystem>

namespace skiff::app {

// "Skiff" inside the user's download folder (the XDG one, else ~/Downloads).
std::filesystem::path defaultReceiveFolder();

// The receive folder kept in the settings under "saveDir", or the default one.
std::filesystem::path loadSaveDir(QSettings& settings);
void storeSaveDir(QSettings& settings, const std::filesystem::path& folder);

}  // namespace skiff::app
