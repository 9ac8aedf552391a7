#pragma once

#include <asio/executor_work_guard.hpp>
#include <asio/io_context.hpp>
#include <asio/thread_pool.hpp>

#include <memory>
#include <thread>
#include <vector>

namespace skiff::server {

// The server's threads: one io_context run by several threads, so requests run in parallel,
// and a few disk workers for the file system calls that may block (syncs, renames, folders).
// Destroy it on a thread of its own owner, after the objects that use it.
class IoPool {
  public:
    // 0 threads picks the number of cores, at least two.
    explicit IoPool(unsigned threads = 0);
    ~IoPool();
    IoPool(const IoPool&) = delete;
    IoPool& operator=(const IoPool&) = delete;

    asio::io_context& context() { return *m_context; }
    asio::thread_pool& disk() { return m_disk; }

  private:
    std::shared_ptr<asio::io_context> m_context;
    asio::executor_work_guard<asio::io_context::executor_type> m_work;
    std::vector<std::thread> m_threads;
    asio::thread_pool m_disk{2};
};

}  // namespace skiff::server
