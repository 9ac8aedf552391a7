#include "ui/qml_setup.hpp"

#include <QtQml/qqmlextensionplugin.h>
#include <QQmlApplicationEngine>
#include <QQmlEngine>
#include <QQuickStyle>

#include "app/app_model.hpp"
#include "ui/browser/thumb_provider.hpp"
#include "ui/common/icon_provider.hpp"

// The window's modules are linked in statically.
Q_IMPORT_QML_PLUGIN(Skiff_CommonPlugin)
Q_IMPORT_QML_PLUGIN(Skiff_BrowserPlugin)
Q_IMPORT_QML_PLUGIN(Skiff_SendPlugin)
Q_IMPORT_QML_PLUGIN(Skiff_PreviewPlugin)
Q_IMPORT_QML_PLUGIN(Skiff_ServicesPlugin)
Q_IMPORT_QML_PLUGIN(Skiff_WindowPlugin)
Q_IMPORT_QML_PLUGIN(Skiff_SheetsPlugin)

namespace skiff::ui {

void prepareEngine(QQmlEngine& engine, app::AppModel& model) {
    // Basic draws every control from the window's palette, which follows Theme; the controls
    // the window shows most are our own, drawn on top of it.
    if (QQuickStyle::name().isEmpty()) QQuickStyle::setStyle("Basic");
    engine.addImportPath("qrc:/qt/qml");
    engine.addImageProvider("icon", new IconProvider);
    installFileImageProviders(engine);
    // Each engine sees its own model as the singleton `App`, so tests can run many in turn.
    engine.setProperty("skiffModel", QVariant::fromValue(static_cast<QObject*>(&model)));
    static bool registered = false;
    if (!registered) {
        registered = true;
        qmlRegisterSingletonType<app::AppModel>(
            "Skiff.Model", 1, 0, "App", [](QQmlEngine* qml, QJSEngine*) -> QObject* {
                auto* instance = qml->property("skiffModel").value<QObject*>();
                QJSEngine::setObjectOwnership(instance, QJSEngine::CppOwnership);
                return instance;
            });
    }
}

bool loadMainWindow(QQmlApplicationEngine& engine) {
    engine.load(QUrl("qrc:/qt/qml/Skiff/Window/Main.qml"));
    return !engine.rootObjects().isEmpty();
}

}  // namespace skiff::ui
