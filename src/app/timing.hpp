#pragma once

#include <QDateTime>
#include <QObject>

#include <functional>

namespace skiff::app {

// Where the model gets the time and schedules its delayed steps; tests pass a fake clock so
// nothing sleeps.
struct Timing {
    std::function<QDateTime()> now;
    // Runs `task` on the main thread after `milliseconds`, unless `context` is gone by then.
    std::function<void(int milliseconds, std::function<void()> task)> after;

    // The system clock and Qt timers on `context`'s thread.
    static Timing system(QObject* context);
};

}  // namespace skiff::app
