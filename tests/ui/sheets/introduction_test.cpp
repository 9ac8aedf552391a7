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

TEST(Introduction, ReturnOrTheButtonStarts) {
    WindowHarness harness;
    QQuickWindow* window = harness.open(introduction(false, false));
    ASSERT_NE(window, nullptr);
    harness.keepScreenshot("introduction");

    // The drawing reads as one sentence to a screen reader.
    QAccessibleInterface* drawing =
        QAccessible::queryAccessibleInterface(harness.find("deviceOrbit"));
    ASSERT_NE(drawing, nullptr);
    EXPECT_EQ(drawing->text(QAccessible::Name),
              "iPhone, điện thoại Android, iPad, laptop Windows và máy tính khác đều gửi file "
              "được sang máy tính này");

    QTest::keyClick(window, Qt::Key_Return);
    EXPECT_EQ(window->property("starts").toInt(), 1);
    click(window, harness.find<QQuickItem>("startButton"));
    EXPECT_EQ(window->property("starts").toInt(), 2);
}

TEST(Introduction, CheckboxReportsTheSkipChoice) {
    for (bool stored : {false, true}) {
        WindowHarness harness;
        QQuickWindow* window = harness.open(introduction(false, stored));
        ASSERT_NE(window, nullptr);
        auto* box = harness.find<QQuickItem>("skipIntroBox");
        EXPECT_EQ(box->property("checked").toBool(), stored) << "stored " << stored;
        click(window, box);
        ASSERT_TRUE(window->property("skipChoice").isValid()) << "stored " << stored;
        EXPECT_EQ(window->property("skipChoice").toBool(), !stored) << "stored " << stored;
        EXPECT_EQ(window->property("starts").toInt(), 0);
    }
}

TEST(Introduction, DrawingMovesOnlyWhenAnimated) {
    for (bool animate : {false, true}) {
        WindowHarness harness;
        ASSERT_TRUE(harness.open(introduction(animate, false)));
        QObject* orbit = harness.find("deviceOrbit");
        ASSERT_NE(orbit, nullptr);
        qreal before = orbit->property("phase").toReal();
        bool moved = WindowHarness::waitFor(
            [&] { return orbit->property("phase").toReal() != before; }, 400);
        EXPECT_EQ(moved, animate) << "animate " << animate;
    }
}

}  // namespace
}  // namespace skiff::test
