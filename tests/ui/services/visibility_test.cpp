// Whether the window can be seen, as the views' animations follow it, on a real display.
#include <gtest/gtest.h>

#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickWindow>

#include <memory>

#include "support/window_harness.hpp"
#include "ui/qml_setup.hpp"

namespace skiff::test {
namespace {

TEST(Visibility, FollowsShowingMinimisingRestoringAndHiding) {
    WindowHarness harness;
    QQmlEngine engine;
    ui::prepareEngine(engine, harness.model());
    QQmlComponent component(&engine);
    component.setData(
        "import QtQuick\nimport Skiff.Services\nWindow { id: root; width: 200; "
        "height: 100; property alias seen: seen.visible\n"
        "Visibility { id: seen; window: root } }",
        QUrl("qrc:/visibility_test.qml"));
    std::unique_ptr<QObject> made(component.create());
    ASSERT_NE(made, nullptr) << component.errorString().toStdString();
    auto* window = qobject_cast<QQuickWindow*>(made.get());
    WindowHarness::pump(50);
    EXPECT_FALSE(made->property("seen").toBool()) << "never shown";
    for (auto [act, seen] :
         {std::pair{&QWindow::show, true}, std::pair{&QWindow::showMinimized, false},
          std::pair{&QWindow::showNormal, true}, std::pair{&QWindow::hide, false},
          std::pair{&QWindow::show, true}}) {
        (window->*act)();
        bool expected = seen;
        EXPECT_TRUE(WindowHarness::waitFor(
            [&] { return made->property("seen").toBool() == expected; }, 3000))
            << expected;
    }
}

}  // namespace
}  // namespace skiff::test
