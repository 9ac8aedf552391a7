#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "server/records.hpp"

namespace skiff::server {

class FileServer;

// Reports one transfer's progress into the download table, at most once per 0.15 s except
// for final reports. Holds the server weakly: a transfer that outlives it stops reporting.
class ProgressReporter {
  public:
    // `sharedIndex`: the file's place in the shared list, when known (see reportDownload).
    ProgressReporter(std::weak_ptr<FileServer> server, SharedFile file, std::string host,
                     std::string userAgent, std::int64_t size,
                     std::size_t sharedIndex = static_cast<std::size_t>(-1));

    void operator()(std::int64_t sent, bool final, bool ok);

  private:
    std::weak_ptr<FileServer> m_server;
    SharedFile m_file;
    std::string m_host;
    std::string m_userAgent;
    std::int64_t m_size;
    std::size_t m_sharedIndex;
    std::chrono::steady_clock::time_point m_lastReport{};
};

}  // namespace skiff::server
