// Sending shared files to a phone: one file (whole, a range, or for viewing in the page) and
// thumbnails.
#include <asio/post.hpp>

#include <utility>

#include "media/file_kinds.hpp"
#include "media/thumb_store.hpp"
#include "server/block_pump.hpp"
#include "server/byte_range.hpp"
#include "server/connection.hpp"
#include "server/device_identity.hpp"
#include "server/download_headers.hpp"
#include "server/file_reader.hpp"
#include "server/file_server.hpp"
#include "server/progress_reporter.hpp"

namespace skiff::server {

namespace {

constexpr std::size_t blockSize = 524288;
constexpr int thumbnailSide = 300;
constexpr std::string_view thumbnailCache = "Cache-Control: private, max-age=3600\r\n";

// Per-transfer state, used by one pump step at a time.
struct DownloadTransfer {
    FileReader reader;
    std::int64_t remaining = 0;
    std::int64_t sent = 0;
    std::optional<ProgressReporter> reporter;
};

}  // namespace

void FileServer::serveDownload(const ConnectionPtr& connection, const Request& request,
                               const SharedFile& file, const std::string& host) {
    std::optional<FileReader> reader = FileReader::open(file.url);
    if (!reader) return respondJSON(connection, 410, {{"error", "gone"}});
    std::int64_t total = reader->size().value_or(file.size);

    std::optional<ByteRange> range = resolveRange(request.header("range"), total);
    if (!range) {
        reader->close();
        return respond(connection, 416, "text/plain", "",
                       "Content-Range: bytes */" + std::to_string(total) + "\r\n");
    }
    std::int64_t length = total == 0 && !range->partial ? 0 : range->length();
    const std::string* inlineParam = request.param("inline");
    const bool inlineView = inlineParam && *inlineParam == "1";
    std::string contentType =
        inlineView ? media::inlineMimeType(file.url) : std::string("application/octet-stream");
    std::string head = downloadHeaders(file.name, contentType, *range, length, total, inlineView);

    const bool fromStart = range->start == 0;
    if (!inlineView && fromStart) report("Đang gửi \"" + file.name + "\" tới " + host);
    reader->seek(range->start);

    auto transfer = std::make_shared<DownloadTransfer>(
        DownloadTransfer{std::move(*reader), length, range->start, std::nullopt});
    if (!inlineView) {
        const std::string* ua = request.header("user-agent");
        // Views inside the page are not downloads: they are neither shown nor logged.
        transfer->reporter.emplace(weak_from_this(), file, host, ua ? *ua : std::string(), total);
        (*transfer->reporter)(transfer->sent, false, false);
    }

    auto producer = [transfer]() -> std::optional<std::string> {
        if (transfer->reporter) (*transfer->reporter)(transfer->sent, false, false);
        if (transfer->remaining < 1) {
            transfer->reader.close();
            return std::nullopt;
        }
        std::string block = transfer->reader.read(
            static_cast<std::size_t>(std::min<std::int64_t>(transfer->remaining, blockSize)));
        if (block.empty()) {  // the file became shorter
            transfer->reader.close();
            return std::nullopt;
        }
        transfer->remaining -= static_cast<std::int64_t>(block.size());
        transfer->sent += static_cast<std::int64_t>(block.size());
        return block;
    };
    std::weak_ptr<FileServer> weak = weak_from_this();
    auto finished = [weak, transfer, total, fromStart, inlineView, name = file.name](bool ok) {
        transfer->reader.close();
        if (transfer->reporter)
            (*transfer->reporter)(transfer->sent, true, ok && transfer->sent >= total);
        if (ok && !inlineView && fromStart)
            if (auto self = weak.lock()) self->report("Đã gửi xong \"" + name + "\"");
    };
    connection->sendBlock(std::move(head), [connection, producer, finished](bool ok) {
        if (!ok) return finished(false);
        runBlockPump(connection, producer, finished);
    });
}

void FileServer::reportDownload(const SharedFile& file, const std::string& host,
                                const std::string& userAgent, std::int64_t sent, std::int64_t size,
                                bool final, bool ok, std::size_t sharedIndex) {
    std::optional<Download> record =
        mutateTables([&](ServerTables& tables) -> std::optional<Download> {
            bool stillShared =
                (sharedIndex < tables.shared.size() && tables.shared[sharedIndex].id == file.id) ||
                std::any_of(tables.shared.begin(), tables.shared.end(),
                            [&](const SharedFile& s) { return s.id == file.id; });
            if (!stillShared) return std::nullopt;  // transfers of unshared files are not recorded
            auto& byHost = tables.dls[file.id];
            auto existing = byHost.find(host);
            bool done = (existing != byHost.end() && existing->second.done) ||
                        (sent >= size && final && ok);
            Download download{file.id,
                              host,
                              deviceName(userAgent),
                              deviceKind(userAgent),
                              done || sent > size ? size : sent,
                              size,
                              done};
            byHost[host] = download;
            return download;
        });
    if (record) notify(&ServerCallbacks::onDownload, *record);
}

void FileServer::serveThumbnail(const ConnectionPtr& connection, const SharedFile& file) {
    if (!media::canThumb(file.url)) return respondJSON(connection, 404, {{"error", "not found"}});
    auto& store = media::ThumbStore::shared();
    if (auto cached = store.cachedJpeg(file.url, thumbnailSide))
        return respond(connection, 200, "image/jpeg", *cached, thumbnailCache);
    std::weak_ptr<FileServer> weak = weak_from_this();
    // The store may copy this callback and destroy the copies later on its own thread: every
    // copy shares one slot, emptied on the answer, and the answer moves the connection onto
    // its own strand, so the connection never ends on the store's thread.
    auto slot = std::make_shared<ConnectionPtr>(connection);
    store.jpeg(file.url, thumbnailSide, [weak, slot](std::optional<std::string> jpeg) {
        ConnectionPtr held = std::exchange(*slot, nullptr);
        if (!held) return;
        asio::any_io_executor strand = held->executor();
        asio::post(strand, [weak, held = std::move(held), jpeg = std::move(jpeg)] {
            auto self = weak.lock();
            if (!self) return held->cancel();
            if (!jpeg) return self->respondJSON(held, 404, {{"error", "no thumbnail"}});
            self->respond(held, 200, "image/jpeg", *jpeg, thumbnailCache);
        });
    });
}

}  // namespace skiff::server
