#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "server/file_server.hpp"
#include "server/io_pool.hpp"
#include "server/main_loop.hpp"
#include "support/temp_dir.hpp"

namespace skiff::test {

// A real server on a loopback port with its callbacks recorded on a test main loop.
class TestServer {
  public:
    struct Options {
        std::string token = "123456";
        bool askApproval = false;
        server::ServerLimits limits = {};
    };

    struct ApprovalRequest {
        std::string host;
        std::string label;
        std::function<void(bool)> decide;
    };
    struct Device {
        std::string host, name, kind;
    };

    TestServer() : TestServer(Options()) {}
    explicit TestServer(Options options);
    ~TestServer();

    std::uint16_t port() const { return m_port; }
    server::FileServer& server() { return *m_server; }
    const std::filesystem::path& folder() const { return m_dir.path(); }
    server::MainLoop& loop() { return m_loop; }

    // Runs posted callbacks until `done` holds (false on timeout); settle runs those posted.
    bool waitFor(const std::function<bool()>& done,
                 std::chrono::milliseconds timeout = std::chrono::seconds(10));
    void settle();
    bool waitForEvent(const std::string& line);
    std::size_t eventCount(const std::string& line) const;
    void share(std::vector<server::SharedFile> files);
    bool waitDone(const std::string& id, const std::string& host = "127.0.0.1");

    std::vector<std::string> events;
    std::vector<ApprovalRequest> approvals;
    std::vector<Device> devices;

  private:
    TempDir m_dir;
    server::MainLoop m_loop;
    server::IoPool m_pool;
    std::shared_ptr<server::FileServer> m_server;
    std::uint16_t m_port = 0;
};

}  // namespace skiff::test
