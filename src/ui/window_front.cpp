#include "ui/window_front.hpp"

#include <QGuiApplication>
#include <QIcon>
#include <QPointer>
#include <QQmlApplicationEngine>
#include <QSettings>
#include <QWindow>

#include "app/app_model.hpp"
#include "app/application_id.hpp"
#include "app/command_line.hpp"
#include "app/quick_look.hpp"
#include "app/single_instance.hpp"
#include "server/stop_signals.hpp"
#include "ui/preview/preview_window.hpp"
#include "ui/qml_setup.hpp"
#include "ui/services/attention.hpp"
#include "ui/services/color_scheme.hpp"
#include "ui/services/desktop_hooks.hpp"

namespace skiff::ui {

int runWindowFront(int argc, char** argv, const std::vector<std::filesystem::path>& toShare) {
    server::StopSignals stopSignals;  // before any thread starts
    // Videos play through FFmpeg, which the program needs anyway; GStreamer's backend crashes
    // where its plugin packages are missing. Someone who chose a backend keeps it.
    if (!qEnvironmentVariableIsSet("QT_MEDIA_BACKEND")) qputenv("QT_MEDIA_BACKEND", "ffmpeg");

    auto tokens = app::LaunchTokens::fromEnvironment();
    QGuiApplication application(argc, argv);
    QGuiApplication::setOrganizationName("Skiff");
    QGuiApplication::setApplicationName("Skiff");
    QGuiApplication::setApplicationDisplayName("Skiff");
    QGuiApplication::setDesktopFileName(app::applicationId);
    // The installed icon follows the desktop's theme; run from the build tree, the built-in one.
    QGuiApplication::setWindowIcon(
        QIcon::fromTheme(app::applicationId, QIcon(":/skiff/skiff.svg")));
    app::SingleInstance instance;
    if (auto code = instance.claim(toShare, tokens)) return *code;
    QSettings settings;
    ColorScheme scheme;  // light or dark as the desktop says, before anything is drawn

    app::QuickLook look;
    QPointer<QWindow> mainWindow;  // set once the window is loaded
    auto notifier = makeNotifier(app::Timing::system(&application), look,
                                 [&mainWindow] { return mainWindow.data(); });

    auto services = app::DesktopServices::system();
    services.notifyReceived = [&notifier](const std::filesystem::path& file,
                                          const QString& device) { notifier->add(file, device); };
    services.notifyText = [&notifier](const QString& text, const QString& device) {
        notifier->addText(text, device);
    };
    services.requestAttention = [] { requestAttention(); };
    services.preview = previewService(look);
    app::AppModel model(app::Timing::system(&application), services, &settings);
    if (auto port = app::parseCommandLine(argc, argv).port) model.askPort(*port);
    QQmlApplicationEngine engine;
    prepareEngine(engine, model);
    PreviewWindow previewWindow(engine, look);
    model.start();
    if (!model.error()) model.share(toShare);
    if (!loadMainWindow(engine)) return 1;
    mainWindow = qobject_cast<QWindow*>(engine.rootObjects().value(0));
    instance.onOpen = [&model](const std::vector<std::filesystem::path>& paths) {
        if (!model.error()) model.share(paths);
    };
    instance.onActivate = [&mainWindow](const QString& token) {
        if (mainWindow) bringToFront(*mainWindow, token);
    };

    stopSignals.watch([&application] {
        QMetaObject::invokeMethod(
            &application, [] { QGuiApplication::exit(0); }, Qt::QueuedConnection);
    });
    int code = application.exec();
    model.stop();
    stopSignals.close();
    return code;
}

}  // namespace skiff::ui
