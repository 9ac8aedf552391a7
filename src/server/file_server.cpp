#include "server/file_server.hpp"

#include <sys/resource.h>
#include <asio/ip/v6_only.hpp>
#include <asio/post.hpp>
#include <asio/strand.hpp>

#include <algorithm>
#include <csignal>
#include <thread>

#include "server/connection.hpp"
#include "server/decimal.hpp"
#include "server/io_pool.hpp"
#include "server/local_network.hpp"
#include "server/response.hpp"
#include "server/upload.hpp"

namespace skiff::server {

namespace {

// Each connection needs a descriptor; the default soft limit of 1024 is easy to exhaust.
// Gives the limit in force.
std::size_t raiseDescriptorLimit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return 1024;
    if (limit.rlim_cur < limit.rlim_max) {
        rlim_t wanted = limit.rlim_max;
        limit.rlim_cur = wanted;
        if (setrlimit(RLIMIT_NOFILE, &limit) != 0) getrlimit(RLIMIT_NOFILE, &limit);
    }
    return limit.rlim_cur == RLIM_INFINITY ? SIZE_MAX : static_cast<std::size_t>(limit.rlim_cur);
}

bool outOfDescriptors(const std::error_code& error) {
    return error == std::errc::too_many_files_open ||
           error == std::errc::too_many_files_open_in_system ||
           error == std::errc::no_buffer_space || error == std::errc::not_enough_memory;
}

}  // namespace

std::shared_ptr<FileServer> FileServer::create(IoPool& pool, std::filesystem::path saveDir,
                                               std::string token, PostToMain postToMain,
                                               ServerLimits limits) {
    return std::shared_ptr<FileServer>(
        new FileServer(pool, std::move(saveDir), std::move(token), std::move(postToMain), limits));
}

FileServer::FileServer(IoPool& pool, std::filesystem::path saveDir, std::string token,
                       PostToMain postToMain, ServerLimits limits)
    : m_context(pool.context()),
      m_disk(pool.disk()),
      m_postToMain(std::move(postToMain)),
      m_limits(limits),
      m_slots(
          std::make_shared<ConnectionSlots>(limits.hostConnectionLimit, limits.connectionLimit)),
      m_bodyBytes(std::make_shared<std::atomic<std::int64_t>>(0)) {
    m_tables.saveDir = std::move(saveDir);
    m_tables.token = std::move(token);
}

FileServer::~FileServer() {
    std::lock_guard guard(m_listenerLock);
    if (m_listener) {
        std::error_code ignored;
        m_listener->close(ignored);
    }
}

void FileServer::setCallbacks(ServerCallbacks callbacks) {
    std::lock_guard guard(m_lock);
    m_callbacks = std::move(callbacks);
}

ServerCallbacks FileServer::callbacks() const {
    std::lock_guard guard(m_lock);
    return m_callbacks;
}

void FileServer::start(std::uint16_t port, std::function<void(std::uint16_t)> onReady,
                       std::function<void(std::error_code)> onError) {
    // sendfile(2) to a phone that went away raises SIGPIPE (it has no MSG_NOSIGNAL), which
    // would end the whole program: the failed send is handled where it happens instead.
    std::signal(SIGPIPE, SIG_IGN);
    std::error_code error;
    std::filesystem::create_directories(saveDir(), error);
    if (error) {
        if (onError) onError(error);
        return;
    }
    std::size_t descriptors = raiseDescriptorLimit();
    std::size_t room = descriptors > 2 * m_limits.descriptorReserve
                           ? descriptors - m_limits.descriptorReserve
                           : descriptors / 2;
    m_slots->setTotal(std::min(m_limits.connectionLimit, room));

    auto listener = std::make_shared<asio::ip::tcp::acceptor>(m_context);
    using asio::ip::tcp;
    // One dual-stack socket serves IPv4 and IPv6 phones; without IPv6 fall back to IPv4.
    tcp::endpoint endpoint(tcp::v6(), port);
    listener->open(endpoint.protocol(), error);
    if (!error) listener->set_option(asio::ip::v6_only(false), error);
    if (error) {
        error.clear();
        endpoint = tcp::endpoint(tcp::v4(), port);
        listener->open(endpoint.protocol(), error);
    }
    if (!error) listener->set_option(tcp::acceptor::reuse_address(true), error);
    if (!error) listener->bind(endpoint, error);
    if (!error) listener->listen(asio::socket_base::max_listen_connections, error);
    std::uint16_t actual = 0;
    if (!error) actual = listener->local_endpoint(error).port();
    if (error) {
        if (onError) onError(error);
        return;
    }
    m_port = actual;
    {
        std::lock_guard guard(m_listenerLock);
        m_listener = listener;
    }
    if (onReady) m_postToMain([onReady = std::move(onReady), actual] { onReady(actual); });
    accept(listener);
}

void FileServer::stop() {
    {
        std::lock_guard guard(m_listenerLock);
        if (m_listener) {
            std::error_code ignored;
            m_listener->close(ignored);
            m_listener.reset();
        }
    }
    std::vector<std::filesystem::path> parts = mutateTables([](ServerTables& tables) {
        std::vector<std::filesystem::path> paths;
        for (auto& [uid, upload] : tables.uploads) paths.push_back(upload->part);
        tables.uploads.clear();
        return paths;
    });
    for (const auto& part : parts) {
        std::error_code ignored;
        std::filesystem::remove(part, ignored);
    }
    std::lock_guard guard(m_folderLock);
    m_batchFolders.clear();
}

void FileServer::accept(const std::shared_ptr<asio::ip::tcp::acceptor>& listener) {
    std::lock_guard guard(m_listenerLock);
    if (listener != m_listener || !listener->is_open()) return;
    std::weak_ptr<FileServer> weak = weak_from_this();
    listener->async_accept(
        asio::make_strand(m_context),
        [weak, listener](const std::error_code& error, asio::ip::tcp::socket socket) {
            auto self = weak.lock();
            if (!self) return;
            if (error == asio::error::operation_aborted) return;
            if (!error) {
                self->onAccepted(std::move(socket));
                return self->accept(listener);
            }
            // Out of descriptors (or any other accept failure): pause briefly and keep
            // accepting; giving up would leave the server deaf for good.
            auto pause = std::make_shared<asio::steady_timer>(listener->get_executor());
            pause->expires_after(outOfDescriptors(error) ? self->m_limits.acceptBackoff
                                                         : std::chrono::milliseconds(5));
            pause->async_wait([weak, listener, pause](const std::error_code&) {
                if (auto server = weak.lock()) server->accept(listener);
            });
        });
}

void FileServer::onAccepted(asio::ip::tcp::socket socket) {
    auto connection = std::make_shared<Connection>(std::move(socket), m_limits);
    const std::string& host = connection->host();
    bool admitted =
        withTables([&](const ServerTables& tables) { return tables.seen.count(host) > 0; });
    // A host over its share is closed at once, unanswered: answering would cost what it is after.
    std::unique_ptr<ConnectionSlots::Slot> slot = m_slots->take(host, admitted);
    if (!slot) return connection->cancel();
    connection->holdSlot(std::move(slot));
    if (!isLocalHost(host)) {
        report("Từ chối kết nối ngoài mạng nội bộ: " + host);
        respond(connection, 403, "text/plain; charset=utf-8",
                "Chỉ chấp nhận thiết bị trong cùng mạng nội bộ.");
        return;
    }
    std::weak_ptr<FileServer> weak = weak_from_this();
    std::weak_ptr<Connection> weakConnection = connection;
    connection->readHead([weak, weakConnection](Connection::HeadOutcome outcome,
                                                std::string headText, std::string rest) {
        auto connection = weakConnection.lock();
        if (!connection) return;
        auto self = weak.lock();
        if (!self) return connection->cancel();
        if (outcome == Connection::HeadOutcome::tooLarge)
            return self->respond(connection, 431, "text/plain", "header too large");
        self->handle(connection, connection->host(), headText, std::move(rest));
    });
}

std::string FileServer::token() const {
    return withTables([](const ServerTables& tables) { return tables.token; });
}

std::filesystem::path FileServer::saveDir() const {
    return withTables([](const ServerTables& tables) { return tables.saveDir; });
}

void FileServer::setSaveDir(std::filesystem::path folder) {
    mutateTables([&](ServerTables& tables) { tables.saveDir = std::move(folder); });
}

void FileServer::onDisk(std::function<void(FileServer&)> work) {
    asio::post(m_disk, [weak = weak_from_this(), work = std::move(work)] {
        if (auto self = weak.lock()) work(*self);
    });
}

void FileServer::report(std::string text) {
    notify(&ServerCallbacks::onEvent, std::move(text));
}

void FileServer::respond(const ConnectionPtr& connection, int status, std::string_view contentType,
                         std::string_view body, std::string_view extraHeaders) {
    connection->sendAndClose(frameResponse(status, contentType, body, extraHeaders));
}

void FileServer::respondJSON(const ConnectionPtr& connection, int status,
                             const nlohmann::json& object) {
    respond(connection, status, "application/json; charset=utf-8", compactJson(object));
}

void FileServer::respondBusy(const ConnectionPtr& connection, int seconds) {
    respond(connection, 503, "application/json; charset=utf-8", R"({"error":"busy"})",
            "Retry-After: " + std::to_string(seconds) + "\r\n");
}

void FileServer::readBody(const ConnectionPtr& connection, const Request& request, std::string rest,
                          std::function<void(BodyBuffer body, MemoryHold hold)> then,
                          std::function<void(std::string_view block)> observe) {
    std::optional<std::int64_t> length;
    if (const std::string* text = request.header("content-length")) length = parseDecimal(*text);
    if (!length) return respondJSON(connection, 411, {{"error", "length required"}});
    if (*length > m_limits.bodyLimit)
        return respondJSON(connection, 413, {{"error", "chunk too large"}});
    // The whole announced length counts from the start, so the bound holds however the bytes
    // come; memory itself is only taken as they arrive.
    const std::int64_t bytes = *length;
    if (m_bodyBytes->fetch_add(bytes) + bytes > m_limits.bodyMemoryLimit) {
        m_bodyBytes->fetch_sub(bytes);
        return respondBusy(connection, 2);
    }
    MemoryHold hold(static_cast<void*>(m_bodyBytes.get()),
                    [counter = m_bodyBytes, bytes](void*) { counter->fetch_sub(bytes); });
    connection->readBody(
        bytes, std::move(rest),
        [then = std::move(then), hold = std::move(hold)](BodyBuffer body) {
            then(std::move(body), hold);
        },
        std::move(observe));
}

}  // namespace skiff::server
