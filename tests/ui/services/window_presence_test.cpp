// The window on the tests' X11 display: brought forward for a later launch, and seen or not.
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
    window.showMinimized();
    ui::bringToFront(window, "launch-token");
    EXPECT_FALSE(window.windowStates() & Qt::WindowMinimized);
    EXPECT_FALSE(qEnvironmentVariableIsSet("XDG_ACTIVATION_TOKEN"));
}

TEST(Motion, StopsWhileTheWindowIsMinimisedOrHidden) {
    QWindow window;
    ui::Visibility seen;
    seen.setWindow(&window);
    EXPECT_FALSE(seen.visible());
    for (auto [step, shown] : {std::pair{&QWindow::show, true},
                               {&QWindow::showMinimized, false},
                               {&QWindow::showNormal, true},
                               {&QWindow::hide, false}}) {
        (window.*step)();
        EXPECT_TRUE(WindowHarness::waitFor([&] { return seen.visible() == shown; }));
    }
}

}  // namespace
}  // namespace skiff::test
