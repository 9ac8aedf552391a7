#include "support/server_fixture.hpp"

#include <algorithm>
#include <stdexcept>

#include "media/thumb_store.hpp"

namespace skiff::test {

TestServer::TestServer(Options options) : m_pool(2) {
    m_server = server::FileServer::create(
        m_pool, m_dir.path() / "inbox", options.token,
        [this](std::function<void()> task) { m_loop.post(std::move(task)); }, options.limits);
    server::ServerCallbacks callbacks;
    callbacks.onEvent = [this](const std::string& line) { events.push_back(line); };
    callbacks.onDevice = [this](const std::string& host, const std::string& name,
                                const std::string& kind) {
        devices.push_back({host, name, kind});
    };
    if (options.askApproval)
        callbacks.askApproval = [this](const std::string& host, const std::string& label,
                                       std::function<void(bool)> decide) {
            approvals.push_back({host, label, std::move(decide)});
        };
    m_server->setCallbacks(std::move(callbacks));
    bool failed = false;
    m_server->start(
        0, [this](std::uint16_t port) { m_port = port; },
        [&failed](std::error_code) { failed = true; });
    if (failed || !m_loop.runUntil([this] { return m_port != 0; }))
        throw std::runtime_error("test server did not start");
}

TestServer::~TestServer() {
    m_server->stop();
    // A thumbnail answered on the store's thread may still hold this server's executor.
    media::ThumbStore::shared().waitIdle();
    m_server.reset();
}

bool TestServer::waitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    return m_loop.runUntil(done, timeout);
}

void TestServer::settle() {
    m_loop.drain();
}

std::size_t TestServer::eventCount(const std::string& line) const {
    return static_cast<std::size_t>(std::count(events.begin(), events.end(), line));
}

bool TestServer::waitForEvent(const std::string& line) {
    return waitFor([&] { return eventCount(line) > 0; });
}

void TestServer::share(std::vector<server::SharedFile> files) {
    m_server->mutateTables([&](server::ServerTables& t) { t.shared = std::move(files); });
}

bool TestServer::waitDone(const std::string& id, const std::string& host) {
    return waitFor([&] {
        return m_server->withTables([&](auto& t) {
            auto file = t.dls.find(id);
            return file != t.dls.end() && file->second.count(host) && file->second.at(host).done;
        });
    });
}

}  // namespace skiff::test
