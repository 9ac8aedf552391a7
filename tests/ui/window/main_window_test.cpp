// The window on a virtual display with the real model and server.
#include <gtest/gtest.h>

#include <QQuickItem>

#include "support/window_harness.hpp"

namespace skiff::test {
namespace {

TEST(MainWindow, OpensAtItsMinimumSizeTitledSkiff) {
    WindowHarness harness;
    auto* window = harness.open();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->title(), "Skiff");
    EXPECT_GE(window->width(), 900);
    EXPECT_GE(window->height(), 640);
    EXPECT_EQ(window->minimumSize(), QSize(900, 640));
}

}  // namespace
}  // namespace skiff::test
