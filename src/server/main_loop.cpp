#include "server/main_loop.hpp"

#include <algorithm>

namespace skiff::server {

void MainLoop::post(std::function<void()> task) {
    {
        std::lock_guard guard(m_mutex);
        m_tasks.push_back(std::move(task));
    }
    m_wake.notify_all();
}

void MainLoop::quit() {
    {
        std::lock_guard guard(m_mutex);
        m_quit = true;
    }
    m_wake.notify_all();
}

void MainLoop::run() {
    std::unique_lock guard(m_mutex);
    while (true) {
        m_wake.wait(guard, [this] { return m_quit || !m_tasks.empty(); });
        if (m_tasks.empty()) break;
        auto task = std::move(m_tasks.front());
        m_tasks.pop_front();
        guard.unlock();
        task();
        guard.lock();
    }
    m_quit = false;
}

bool MainLoop::runUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        auto now = std::chrono::steady_clock::now();
        if (now >= deadline) return false;
        // Wake now and then: `done` may also depend on work outside this queue.
        auto slice = std::min<std::chrono::steady_clock::time_point>(
            deadline, now + std::chrono::milliseconds(20));
        std::unique_lock guard(m_mutex);
        if (!m_wake.wait_until(guard, slice, [this] { return !m_tasks.empty(); })) continue;
        auto task = std::move(m_tasks.front());
        m_tasks.pop_front();
        guard.unlock();
        task();
    }
    return true;
}

void MainLoop::drain() {
    std::deque<std::function<void()>> tasks;
    {
        std::lock_guard guard(m_mutex);
        tasks.swap(m_tasks);
    }
    for (auto& task : tasks) task();
}

}  // namespace skiff::server
