// The introduction on its own: the "do not show again" choice, the drawing as a screen reader
// reads it, and its animations following `animate`. Leaving it is the window walk's.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QQuickItem>

#include "support/window_probe.hpp"

namespace skiff::test {
namespace {

TEST(Introduction, ReportsTheSkipChoiceWithoutStartingAndMovesOnlyWhenAnimated) {
    for (bool on : {false, true}) {
        SCOPED_TRACE(on ? "animated, skip stored" : "still, skip not stored");
        const char* flag = on ? "true" : "false";
        WindowHarness harness;
        QQuickWindow* window = harness.open(sheetWindow(
            QByteArray("property int starts: 0\nproperty var skipChoice: undefined\n"
                       "Introduction { anchors.fill: parent; animate: ") +
            flag + "; skipIntro: " + flag +
            "; onStart: window.starts++; onSkipIntroToggled: skip => window.skipChoice = skip }"));
        ASSERT_NE(window, nullptr);
        QObject* orbit = harness.find("deviceOrbit");
        ASSERT_NE(orbit, nullptr);
        qreal phase = orbit->property("phase").toReal();
        EXPECT_EQ(
            WindowHarness::waitFor([&] { return orbit->property("phase").toReal() != phase; }, 400),
            on);
        QAccessibleInterface* drawing = QAccessible::queryAccessibleInterface(orbit);
        ASSERT_NE(drawing, nullptr);
        EXPECT_TRUE(drawing->text(QAccessible::Name).contains("iPhone, điện thoại Android"));

        auto* box = harness.find<QQuickItem>("skipIntroBox");
        EXPECT_EQ(box->property("checked").toBool(), on);
        click(window, box);
        ASSERT_TRUE(window->property("skipChoice").isValid());
        EXPECT_EQ(window->property("skipChoice").toBool(), !on);
        EXPECT_EQ(window->property("starts").toInt(), 0);
        if (!on) harness.keepScreenshot("introduction");
    }
}

}  // namespace
}  // namespace skiff::test
