// Sending shared files to a phone: one file (whole, a range, or for viewing in the page) and
// thumbnails.
#include <asio/post.hpp>

#include <utility>

#include "media/file_kinds.hpp"
#include "media/thumb_store.hpp"
#include "server/body_pump.hpp"
#include "server/byte_range.hpp"
#include "server/connection.hpp"
#include "server/device_identity.hpp"
#include "server/download_headers.hpp"
#include "server/file_reader.hpp"
#include "server/file_server.hpp"
#include "server/progress_reporter.hpp"

namespace skiff::server {

namespace {

// Progress is reported between spans, so a span is a fraction of a second on a fast network.
constexpr std::int64_t spanSize = 8388608;
constexpr int thumbnailSide = 300;
constexpr std::string_view thumbnailCache = "Cache-Control: private, max-age=3600\r\n";

// One download's bytes straight from the file, with its progress and its end reported.
struct DownloadSource final : BodySource {
    FileReader reader;
    std::int64_t remaining = 0;
    std::int64_t offset = 0;  // of the next byte to send
    bool shortened = false;   // the file ended before the range did
    std::optional<ProgressReporter> reporter;
    std::int64_t spanLength = 0;
    std::function<void(DownloadSource& source, bool ok)> onEnd;

    DownloadSource(FileReader file, std::int64_t start, std::int64_t length)
        : reader(std::move(file)), remaining(length), offset(start) {}

    std::optional<BodyPiece> next() override {
        if (reporter) (*reporter)(offset, false, false);
        if (remaining < 1 || shortened) {
            reader.close();
            return std::nullopt;
        }
        spanLength = std::min(remaining, spanSize);
        return FileSpan{reader.fd(), offset, spanLength};
    }

    void spanSent(std::int64_t bytes) override {
        shortened = bytes < spanLength;
        remaining -= bytes;
        offset += bytes;
    }

    void finished(bool ok) override {
        reader.close();
        onEnd(*this, ok);
    }
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

    auto transfer = std::make_shared<DownloadSource>(std::move(*reader), range->start, length);
    if (!inlineView) {
        const std::string* ua = request.header("user-agent");
        // Views inside the page are not downloads: they are neither shown nor logged.
        transfer->reporter.emplace(weak_from_this(), file, host, ua ? *ua : std::string(), total);
        (*transfer->reporter)(transfer->offset, false, false);
    }
    std::weak_ptr<FileServer> weak = weak_from_this();
    transfer->onEnd = [weak, total, fromStart, inlineView, name = file.name](DownloadSource& source,
                                                                             bool ok) {
        if (source.reporter) (*source.reporter)(source.offset, true, ok && source.offset >= total);
        // A file that shrank on the way was not sent, whatever the socket says.
        if (ok && !source.shortened && !inlineView && fromStart)
            if (auto self = weak.lock()) self->report("Đã gửi xong \"" + name + "\"");
    };
    runBodyPump(connection, std::move(head), transfer);
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
