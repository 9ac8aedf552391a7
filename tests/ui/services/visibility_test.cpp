// Whether the window can be seen, which everything that moves in it follows.
#include <gtest/gtest.h>

#include <QWindow>

#include "support/window_harness.hpp"
#include "ui/services/visibility.hpp"

namespace skiff::test {
namespace {

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
