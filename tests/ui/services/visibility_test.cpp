// Whether the window can be seen, which everything that moves in it follows.
#include <gtest/gtest.h>

#include <QWindow>

#include "support/window_harness.hpp"
#include "ui/services/visibility.hpp"

namespace skiff::test {
namespace {

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
