// The introduction on its own: its texts, leaving it, the "do not show again" choice, and its
// animations following `animate`.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QQuickItem>
#include <QTest>

#include "support/window_probe.hpp"

namespace skiff::test {
namespace {

QByteArray introduction(bool animate, bool skipIntro) {
    return sheetWindow(QByteArray(R"(
        property int starts: 0
        property var skipChoice: undefined
        Introduction {
            anchors.fill: parent
            animate: )") +
                       (animate ? "true" : "false") + R"(
            skipIntro: )" +
                       (skipIntro ? "true" : "false") + R"(
            onStart: window.starts++
            onSkipIntroToggled: skip => window.skipChoice = skip
        })");
}

// Once still with the choice not stored, once animated with it stored.
TEST(Introduction, StartsOnReturnOrTheButtonReportsTheSkipChoiceAndMovesOnlyWhenAnimated) {
    for (bool on : {false, true}) {
        SCOPED_TRACE(on ? "animated, skip stored" : "still, skip not stored");
        WindowHarness harness;
        QQuickWindow* window = harness.open(introduction(on, on));
        ASSERT_NE(window, nullptr);
        QObject* orbit = harness.find("deviceOrbit");
        ASSERT_NE(orbit, nullptr);
        qreal phase = orbit->property("phase").toReal();
        EXPECT_EQ(
            WindowHarness::waitFor([&] { return orbit->property("phase").toReal() != phase; }, 400),
            on);
        // The drawing reads as one sentence to a screen reader.
        QAccessibleInterface* drawing = QAccessible::queryAccessibleInterface(orbit);
        ASSERT_NE(drawing, nullptr);
        EXPECT_EQ(drawing->text(QAccessible::Name),
                  "iPhone, điện thoại Android, iPad, laptop Windows và máy tính khác đều gửi file "
                  "được sang máy tính này");

        QTest::keyClick(window, Qt::Key_Return);
        EXPECT_EQ(window->property("starts").toInt(), 1);
        click(window, harness.find<QQuickItem>("startButton"));
        EXPECT_EQ(window->property("starts").toInt(), 2);

        auto* box = harness.find<QQuickItem>("skipIntroBox");
        EXPECT_EQ(box->property("checked").toBool(), on);
        click(window, box);
        ASSERT_TRUE(window->property("skipChoice").isValid());
        EXPECT_EQ(window->property("skipChoice").toBool(), !on);
        EXPECT_EQ(window->property("starts").toInt(), 2);  // the box starts nothing
        if (!on) harness.keepScreenshot("introduction");
    }
}

}  // namespace
}  // namespace skiff::test
