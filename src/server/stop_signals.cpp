#include "server/stop_signals.hpp"

#include <pthread.h>

namespace skiff::server {

StopSignals::StopSignals() {
    sigemptyset(&m_signals);
    sigaddset(&m_signals, SIGINT);
    sigaddset(&m_signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &m_signals, nullptr);
    signal(SIGPIPE, SIG_IGN);
}

StopSignals::~StopSignals() {
    close();
}

void StopSignals::close() {
    if (!m_waiter.joinable()) return;
    // Leaving without a signal: wake the waiter without running its action.
    m_leaving = true;
    pthread_kill(m_waiter.native_handle(), SIGTERM);
    m_waiter.join();
}

void StopSignals::watch(std::function<void()> onStop) {
    m_waiter = std::thread([this, onStop = std::move(onStop)] {
        int received = 0;
        sigwait(&m_signals, &received);
        if (!m_leaving) onStop();
    });
}

}  // namespace skiff::server
