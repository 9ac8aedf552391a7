#include "server/io_pool.hpp"

#include <algorithm>

namespace skiff::server {

IoPool::IoPool(unsigned threads)
    : m_context(std::make_shared<asio::io_context>()), m_work(asio::make_work_guard(*m_context)) {
    if (threads == 0) threads = std::max(2u, std::thread::hardware_concurrency());
    for (unsigned i = 0; i < threads; ++i) {
        // Each thread keeps the context alive, so the pool may be destroyed from one of them.
        m_threads.emplace_back([context = m_context] { context->run(); });
    }
}

IoPool::~IoPool() {
    m_work.reset();
    m_context->stop();
    for (auto& thread : m_threads) {
        if (thread.get_id() == std::this_thread::get_id())
            thread.detach();
        else
            thread.join();
    }
    // Disk work still under way ends here, before the context its answers go to is gone.
    m_disk.join();
}

}  // namespace skiff::server
