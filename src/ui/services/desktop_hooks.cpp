#include "ui/services/desktop_hooks.hpp"

#include <QGuiApplication>

#include "app/notifier_bus.hpp"

namespace skiff::ui {

std::unique_ptr<app::Notifier> makeNotifier(app::Timing timing, app::QuickLook& look,
                                            std::function<QWindow*()> mainWindow) {
    app::NotifierHooks hooks;
    hooks.isActive = [] { return QGuiApplication::applicationState() == Qt::ApplicationActive; };
    hooks.activate = [mainWindow = std::move(mainWindow)] {
        QWindow* window = mainWindow ? mainWindow() : nullptr;
        if (!window) return;
        window->show();
        window->raise();
        window->requestActivate();
    };
    hooks.preview = [&look](const std::vector<std::filesystem::path>& files,
                            const std::filesystem::path& start) { return look.show(files, start); };
    hooks.reveal = [](const std::filesystem::path& file) { app::revealInFileManager(file); };
    return std::make_unique<app::Notifier>(
        std::move(timing), std::make_unique<app::FreedesktopNotifications>(), std::move(hooks));
}

std::function<bool(const std::vector<std::filesystem::path>&, const std::filesystem::path&, bool)>
previewService(app::QuickLook& look) {
    return [&look](const std::vector<std::filesystem::path>& files,
                   const std::filesystem::path& start, bool toggle) {
        return toggle ? look.toggle(files, start) : look.show(files, start);
    };
}

}  // namespace skiff::ui
