// Where the window stands, on the X11 display the tests run on: brought forward for a later
// launch, and seen or not, which everything that moves in it follows.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QWindow>

#include "support/window_harness.hpp"
#include "ui/services/attention.hpp"
#include "ui/services/visibility.hpp"

namespace skiff::test {
namespace {

// X11 has no activation tokens: a launch's token must not stay in the environment, where every
// program started later would inherit it; the minimised window comes back instead.
TEST(Attention, OnX11ALaunchTokenStaysOutOfTheEnvironment) {
    ASSERT_EQ(QGuiApplication::platformName(), "xcb");
    qunsetenv("XDG_ACTIVATION_TOKEN");
    QWindow window;
    window.resize(200, 100);
    window.showMinimized();
    ui::bringToFront(window, "launch-token");
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(window.windowStates() & Qt::WindowMinimized);
    EXPECT_FALSE(qEnvironmentVariableIsSet("XDG_ACTIVATION_TOKEN"));
}

TEST(Motion, StopsWhileTheWindowIsMinimisedOrHidden) {
    QWindow window;
    window.resize(200, 100);
    ui::Visibility seen;
    seen.setWindow(&window);
    EXPECT_FALSE(seen.visible());
    window.show();
    EXPECT_TRUE(WindowHarness::waitFor([&] { return seen.visible(); }));
    window.showMinimized();
    EXPECT_TRUE(WindowHarness::waitFor([&] { return !seen.visible(); }));
    window.showNormal();
    EXPECT_TRUE(WindowHarness::waitFor([&] { return seen.visible(); }));
    window.hide();
    EXPECT_TRUE(WindowHarness::waitFor([&] { return !seen.visible(); }));
}

}  // namespace
}  // namespace skiff::test
