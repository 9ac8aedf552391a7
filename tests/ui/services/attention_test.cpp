// Bringing the window forward for a later launch, on the X11 display the tests run on.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QWindow>

#include "ui/services/attention.hpp"

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

}  // namespace
}  // namespace skiff::test
