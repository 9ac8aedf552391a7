#pragma once
// Interrupts the calling thread once, shortly, with a handler that has no SA_RESTART, so a wait
// in progress sees EINTR. Undone at the end of the scope.
#include <pthread.h>

#include <chrono>
#include <csignal>
#include <thread>

namespace skiff::test {

class InterruptSoon {
  public:
    explicit InterruptSoon(std::chrono::milliseconds after = std::chrono::milliseconds(150)) {
        struct sigaction quiet {};
        quiet.sa_handler = [](int) {};
        sigaction(SIGUSR1, &quiet, &m_old);
        m_poke = std::thread([waiter = pthread_self(), after] {
            std::this_thread::sleep_for(after);
            pthread_kill(waiter, SIGUSR1);
        });
    }
    ~InterruptSoon() {
        m_poke.join();
        sigaction(SIGUSR1, &m_old, nullptr);
    }

  private:
    struct sigaction m_old {};
    std::thread m_poke;
};

}  // namespace skiff::test
