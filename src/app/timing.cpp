#include "app/timing.hpp"

#include <QPointer>
#include <QTimer>

namespace skiff::app {

Timing Timing::system(QObject* context) {
    Timing timing;
    timing.now = [] { return QDateTime::currentDateTimeUtc(); };
    timing.after = [guard = QPointer<QObject>(context)](int milliseconds,
                                                        std::function<void()> task) {
        if (guard) QTimer::singleShot(milliseconds, guard.data(), std::move(task));
    };
    return timing;
}

}  // namespace skiff::app
