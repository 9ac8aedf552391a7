#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

namespace skiff::server {

// A main thread's queue for programs and tests without a GUI event loop: the server posts its
// callbacks here and the owning thread runs them in order.
class MainLoop {
  public:
    void post(std::function<void()> task);

    // Runs tasks until quit() is called.
    void run();
    void quit();

    // Runs tasks until `done` holds or the timeout passes; returns whether `done` holds.
    bool runUntil(const std::function<bool()>& done,
                  std::chrono::milliseconds timeout = std::chrono::seconds(10));

    // Runs the tasks that are queued now and returns.
    void drain();

  private:
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_tasks;
    bool m_quit = false;
};

}  // namespace skiff::server
