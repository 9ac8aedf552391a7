#pragma once

#include <QWindow>

#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

#include "app/notifier.hpp"
#include "app/quick_look.hpp"
#include "app/timing.hpp"

namespace skiff::ui {

// The notifier as the program runs it: the desktop's notification service on the session
// bus, silent while the program is the active application, clicks previewing in `look` or
// revealing in the file manager after bringing `mainWindow()` forward.
std::unique_ptr<app::Notifier> makeNotifier(app::Timing timing, app::QuickLook& look,
                                            std::function<QWindow*()> mainWindow);

// The model's preview service on `look`: Space toggles, everything else shows.
std::function<bool(const std::vector<std::filesystem::path>&, const std::filesystem::path&, bool)>
previewService(app::QuickLook& look);

}  // namespace skiff::ui
