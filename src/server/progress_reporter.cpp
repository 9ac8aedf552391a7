#include "server/progress_reporter.hpp"

#include "server/file_server.hpp"

namespace skiff::server {

namespace {

constexpr auto reportInterval = std::chrono::milliseconds(150);

}  // namespace

ProgressReporter::ProgressReporter(std::weak_ptr<FileServer> server, SharedFile file,
                                   std::string host, std::string userAgent, std::int64_t size,
                                   std::size_t sharedIndex)
    : m_server(std::move(server)),
      m_file(std::move(file)),
      m_host(std::move(host)),
      m_userAgent(std::move(userAgent)),
      m_size(size),
      m_sharedIndex(sharedIndex) {}

void ProgressReporter::operator()(std::int64_t sent, bool final, bool ok) {
    auto now = std::chrono::steady_clock::now();
    if (!final && m_lastReport != std::chrono::steady_clock::time_point{} &&
        now - m_lastReport < reportInterval)
        return;
    m_lastReport = now;
    if (auto server = m_server.lock())
        server->reportDownload(m_file, m_host, m_userAgent, sent, m_size, final, ok, m_sharedIndex);
}

}  // namespace skiff::server
