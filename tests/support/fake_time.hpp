#pragma once

#include <QDateTime>

#include <algorithm>
#include <functional>
#include <utility>
#include <vector>

#include "app/timing.hpp"

namespace skiff::test {

// A clock that moves only when told, running the tasks that fall due.
struct FakeTime {
    QDateTime now = QDateTime::fromSecsSinceEpoch(1700000000, Qt::UTC);
    std::vector<std::pair<QDateTime, std::function<void()>>> tasks;

    app::Timing timing() {
        return {[this] { return now; },
                [this](int ms, std::function<void()> task) {
                    tasks.emplace_back(now.addMSecs(ms), std::move(task));
                }};
    }
    void advance(int ms) {
        QDateTime target = now.addMSecs(ms);
        while (true) {
            auto due =
                std::min_element(tasks.begin(), tasks.end(),
                                 [](const auto& a, const auto& b) { return a.first < b.first; });
            if (due == tasks.end() || due->first > target) break;
            now = due->first;
            auto task = std::move(due->second);
            tasks.erase(due);
            task();
        }
        now = target;
    }
};

}  // namespace skiff::test
