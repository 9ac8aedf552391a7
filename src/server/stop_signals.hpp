#pragma once

#include <signal.h>

#include <atomic>
#include <functional>
#include <thread>

namespace skiff::server {

// Ctrl-C and SIGTERM for a program built on the server: blocked in every thread (make this
// before any thread starts) and taken by one waiting thread, which runs `onStop` once.
// Broken pipes are ignored, so a phone that hangs up is only a failed send.
class StopSignals {
  public:
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    void watch(std::function<void()> onStop);
    // Ends the watch while what `onStop` touches still exists; the destructor does it too.
    void close();

  private:
    sigset_t m_signals;
    std::thread m_waiter;
    std::atomic<bool> m_leaving{false};
};

}  // namespace skiff::server
