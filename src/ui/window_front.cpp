#include "ui/window_front.hpp"

#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QSettings>

#include "app/app_model.hpp"
#include "server/stop_signals.hpp"
#include "ui/qml_setup.hpp"

namespace skiff::ui {

int runWindowFront(int argc, char** argv, const std::vector<std::filesystem::path>& toShare) {
    server::StopSignals stopSignals;  // before any thread starts

    QGuiApplication application(argc, argv);
    QGuiApplication::setOrganizationName("Skiff");
    QGuiApplication::setApplicationName("Skiff");
    QGuiApplication::setApplicationDisplayName("Skiff");
    QGuiApplication::setDesktopFileName("skiff");
    QSettings settings;

    app::AppModel model(app::Timing::system(&application), app::DesktopServices::system(),
                        &settings);
    QQmlApplicationEngine engine;
    prepareEngine(engine, model);
    model.start();
    if (!model.error()) model.share(toShare);
    if (!loadMainWindow(engine)) return 1;

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
