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
    component.setData(R"(
        import QtQuick
        import Skiff.Services
        Window {
            id: root
            width: 200; height: 100
            property alias seen: seen.visible
            Visibility { id: seen; window: root }
        }
    )",
                      QUrl("qrc:/visibility_test.qml"));
    std::unique_ptr<QObject> made(component.create());
    ASSERT_NE(made, nullptr) << component.errorString().toStdString();
    auto* window = qobject_cast<QQuickWindow*>(made.get());
    auto seen = [&] { return window->property("seen").toBool(); };

    // Never shown: nobody sees it.
    WindowHarness::pump(50);
    EXPECT_FALSE(seen());

    struct Step {
        const char* what;
        std::function<void()> act;
        bool expected;
    };
    const Step steps[] = {
        {"shown", [&] { window->show(); }, true},
        {"minimised", [&] { window->showMinimized(); }, false},
        {"restored", [&] { window->showNormal(); }, true},
        {"hidden", [&] { window->hide(); }, false},
        {"shown again", [&] { window->show(); }, true},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.what);
        step.act();
        EXPECT_TRUE(WindowHarness::waitFor([&] { return seen() == step.expected; }, 3000));
    }
}

}  // namespace
}  // namespace skiff::test
