#pragma once

#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/steady_timer.hpp>
#include <asio/thread_pool.hpp>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <system_error>
#include <vector>

#include <nlohmann/json.hpp>

#include "server/batch_folders.hpp"
#include "server/body_buffer.hpp"
#include "server/connection_slots.hpp"
#include "server/crc_cache.hpp"
#include "server/records.hpp"
#include "server/request.hpp"
#include "server/server_limits.hpp"

namespace skiff::server {

class ChunkDigest;
class Connection;
class IoPool;
struct Upload;
using ConnectionPtr = std::shared_ptr<Connection>;

// Hands a task to the owner's main thread; the server never waits for it to run.
using PostToMain = std::function<void(std::function<void()>)>;

enum class Approval { pending, allowed, denied };

// What the server tells its owner. Every callback runs on the main thread.
struct ServerCallbacks {
    std::function<void(const std::string& line)> onEvent;
    std::function<void(const ReceivedFile&)> onReceived;
    std::function<void(const std::string& host, const std::string& name, const std::string& kind)>
        onDevice;
    std::function<void(const std::optional<Incoming>&)> onProgress;
    std::function<void(const Flow&)> onFlow;
    std::function<void(const Download&)> onDownload;
    std::function<void(const std::string& host, const std::string& label,
                       std::function<void(bool allow)> decide)>
        askApproval;
};

// Everything the server's handlers share; read and written only under the server's lock.
struct ServerTables {
    std::string token;  // the session code
    std::filesystem::path saveDir;
    std::vector<SharedFile> shared;
    std::vector<SharedText> texts;  // newest first
    DownloadTable dls;
    std::map<std::string, int> failures;  // wrong codes per host
    int totalFailures = 0;
    std::map<std::string, Approval> approvals;
    std::map<std::string, std::string> pairCodes;  // of the hosts waiting for a decision
    std::map<std::string, std::shared_ptr<Upload>> uploads;
    std::set<std::string> seen;    // hosts that passed access since the code was made
    std::uint64_t generation = 0;  // counts the session codes made, so old answers are known
};

// The computer's HTTP/1.1 server: one request per connection, local peers only.
class FileServer : public std::enable_shared_from_this<FileServer> {
  public:
    // Handlers run on the pool's threads; the pool must outlive the server.
    static std::shared_ptr<FileServer> create(IoPool& pool, std::filesystem::path saveDir,
                                              std::string token, PostToMain postToMain,
                                              ServerLimits limits = {});
    ~FileServer();
    FileServer(const FileServer&) = delete;
    FileServer& operator=(const FileServer&) = delete;

    void setCallbacks(ServerCallbacks callbacks);
    ServerCallbacks callbacks() const;

    // Creates the receive folder and listens on `port` (0: the system picks) on every
    // interface. onReady runs on the main thread; a failure to start calls onError at once.
    void start(std::uint16_t port, std::function<void(std::uint16_t)> onReady,
               std::function<void(std::error_code)> onError);
    // Stops listening and deletes the part files of unfinished uploads. Connections already
    // accepted run to their end.
    void stop();
    // The port the listener got; 0 before the first start.
    std::uint16_t port() const { return m_port.load(); }

    std::string token() const;
    // A new session code; every device, approval and lockout is forgotten.
    void regenerateToken();
    // The four digits a waiting host was given; empty once it is decided.
    std::string pairCode(const std::string& host) const;
    std::filesystem::path saveDir() const;
    void setSaveDir(std::filesystem::path folder);
    // The firewall on at the computer ("ufw", "firewalld"; empty for none), told to phones so
    // the page can name it when the computer is out of reach.
    void setFirewall(std::string name);
    std::string firewall() const;

    // Runs `f` on the shared tables under the lock: no I/O and no callbacks inside.
    template <typename F>
    auto withTables(F&& f) const {
        std::lock_guard guard(m_lock);
        return f(static_cast<const ServerTables&>(m_tables));
    }
    template <typename F>
    auto mutateTables(F&& f) {
        std::lock_guard guard(m_lock);
        ++m_tablesVersion;  // whatever changed, a kept listing is stale
        return f(m_tables);
    }

    // Posts one line to the activity log.
    void report(std::string text);
    // Sends one complete framed response and closes the connection.
    void respond(const ConnectionPtr& connection, int status, std::string_view contentType,
                 std::string_view body, std::string_view extraHeaders = {});
    void respondJSON(const ConnectionPtr& connection, int status, const nlohmann::json& object);
    // 503 "busy": the request may come back after `seconds`.
    void respondBusy(const ConnectionPtr& connection, int seconds);
    // Counts the bytes of one body against the memory all bodies may hold together; they
    // count until the last copy of the hold goes.
    using MemoryHold = std::shared_ptr<void>;
    // Collects a request body of Content-Length bytes, then calls `then` with exactly those.
    // Past the memory bound the request is answered 503 and asked to come back.
    // `observe` sees each block as it arrives (see Connection::readBody).
    void readBody(const ConnectionPtr& connection, const Request& request, std::string rest,
                  std::function<void(BodyBuffer body, MemoryHold hold)> then,
                  std::function<void(std::string_view block)> observe = {});

    const ServerLimits& limits() const { return m_limits; }

    // Runs `work` on the server's disk workers, so syncs, renames and folder creation never
    // hold a network thread; nothing runs once the server is gone.
    void onDisk(std::function<void(FileServer&)> work);

    // Records how far `host` got with `file` in the download table and tells the owner.
    // `sharedIndex`, where the file stood in the shared list, spares a search of the list
    // while it stays there: an archive of many files reports each of them.
    void reportDownload(const SharedFile& file, const std::string& host,
                        const std::string& userAgent, std::int64_t sent, std::int64_t size,
                        bool final, bool ok, std::size_t sharedIndex = unknownIndex);
    static constexpr std::size_t unknownIndex = static_cast<std::size_t>(-1);

  private:
    FileServer(IoPool& pool, std::filesystem::path saveDir, std::string token,
               PostToMain postToMain, ServerLimits limits);

    void accept(const std::shared_ptr<asio::ip::tcp::acceptor>& listener);
    void onAccepted(asio::ip::tcp::socket socket);
    void handle(const ConnectionPtr& connection, const std::string& host,
                const std::string& headText, std::string rest);
    // True when the request may go on to its route; otherwise an answer was sent.
    bool checkAccess(const ConnectionPtr& connection, const Request& request,
                     const std::string& host);
    void decide(const std::string& host, const std::string& label, bool allow,
                std::uint64_t generation);
    void servePin(const ConnectionPtr& connection, const Request& request);
    void serveFiles(const ConnectionPtr& connection, const Request& request,
                    const std::string& host);
    // What the listing says to this host, made afresh.
    nlohmann::json listFiles(const Request& request, const std::string& host,
                             const std::string& computer) const;
    nlohmann::json describeYou(const Request& request) const;

    // Sharing files: one file whole or as a range, a thumbnail, or everything as one ZIP.
    void serveDownload(const ConnectionPtr& connection, const Request& request,
                       const SharedFile& file, const std::string& host);
    void serveThumbnail(const ConnectionPtr& connection, const SharedFile& file);
    void serveZip(const ConnectionPtr& connection, const std::string& host,
                  const std::string& userAgent);

    // The upload protocol: announce, append verified chunks, verify and store, give up.
    void uploadInit(const ConnectionPtr& connection, const Request& request,
                    const std::string& host);
    // A chunk's body is checked as it arrives, then written once the chunk holds the upload.
    void receiveChunk(const ConnectionPtr& connection, const Request& request,
                      const std::string& host, std::string rest);
    // `offset` as receiveChunk read it from the request, none when it was missing or bad.
    void uploadChunk(const ConnectionPtr& connection, const Request& request,
                     const std::string& host, std::optional<std::int64_t> offset, BodyBuffer body,
                     const ChunkDigest& digest, MemoryHold hold);
    void uploadFinish(const ConnectionPtr& connection, const Request& request,
                      const std::string& host);
    void uploadCancel(const ConnectionPtr& connection, const Request& request,
                      const std::string& host);
    // A text from the phone, stored as a .txt file in the receive folder (on a disk worker).
    void receiveText(const ConnectionPtr& connection, const Request& request,
                     const std::string& host, std::string rest);
    void storeText(const ConnectionPtr& connection, const std::string& host,
                   const std::string& userAgent, std::string text);
    // Marks the host's own upload busy for one request: a chunk at `offset`, or the finish
    // (no offset) of a complete one. Otherwise answers why not and gives none.
    std::shared_ptr<Upload> claimUpload(const ConnectionPtr& connection, const std::string& uid,
                                        const std::string& host,
                                        std::optional<std::int64_t> offset);
    void forgetUpload(const std::shared_ptr<Upload>& upload);
    // Checks, syncs and moves a verified part file into place (on a disk worker).
    void storeUpload(const ConnectionPtr& connection, const std::shared_ptr<Upload>& upload,
                     const std::string& digest);
    // The same for a file from a folder: its folders are made below the receive folder, the
    // top one by its batch's choice.
    void storeInFolders(const ConnectionPtr& connection, const std::shared_ptr<Upload>& upload,
                        const std::string& digest);
    // Tells the phone, the log and the owner where a stored upload went.
    void announceStored(const ConnectionPtr& connection, const std::shared_ptr<Upload>& upload,
                        const std::string& digest, const std::filesystem::path& destination,
                        const std::string& folder);

    template <typename Member, typename... Args>
    void notify(Member member, Args... args);

    asio::io_context& m_context;
    asio::thread_pool& m_disk;
    PostToMain m_postToMain;
    const ServerLimits m_limits;
    std::atomic<std::uint16_t> m_port{0};
    mutable std::mutex m_firewallLock;
    std::string m_firewall;
    // Listings as sent, per host and user agent, with what they were made from: rebuilt only
    // when the tables, a video's length or the computer's name changed since.
    struct KeptListing {
        std::uint64_t tablesVersion = 0;
        std::uint64_t durationsKnown = 0;
        std::string computerName;
        std::string body;
    };
    std::atomic<std::uint64_t> m_tablesVersion{0};
    std::mutex m_listingLock;
    std::map<std::string, KeptListing> m_listings;

    mutable std::mutex m_lock;
    ServerTables m_tables;
    ServerCallbacks m_callbacks;

    std::mutex m_listenerLock;  // guards the listener between accepts and stop()
    std::shared_ptr<asio::ip::tcp::acceptor> m_listener;

    // Folder uploads make and remove folders on the disk workers under this lock, never under
    // m_lock: a batch's choice of top folder and the folders it makes are settled together.
    std::mutex m_folderLock;
    BatchFolders m_batchFolders;

    std::shared_ptr<ConnectionSlots> m_slots;
    std::shared_ptr<std::atomic<std::int64_t>> m_bodyBytes;  // held by bodies being read
    std::shared_ptr<CrcCache> m_crcs = std::make_shared<CrcCache>();
};

// Copies the callback under the lock and posts it with copies of the values; an absent
// callback is skipped.
template <typename Member, typename... Args>
void FileServer::notify(Member member, Args... args) {
    std::function callback = [&] {
        std::lock_guard guard(m_lock);
        return m_callbacks.*member;
    }();
    if (!callback) return;
    m_postToMain([callback = std::move(callback), ... args = std::move(args)]() mutable {
        callback(args...);
    });
}

}  // namespace skiff::server
