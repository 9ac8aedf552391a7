#pragma once

class QQmlEngine;
class QQmlApplicationEngine;

namespace skiff::app {
class AppModel;
}

namespace skiff::ui {

// Makes the window's QML modules and the model known to `engine`: the program and the window
// tests set up their engines the same way.
void prepareEngine(QQmlEngine& engine, app::AppModel& model);

// Loads the main window; false when it cannot be created.
bool loadMainWindow(QQmlApplicationEngine& engine);

}  // namespace skiff::ui
