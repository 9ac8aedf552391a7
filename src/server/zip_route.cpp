// Everything shared as one ZIP archive, streamed from a plan made before the first byte:
// stored entries, each file's CRC in a descriptor behind its bytes, an exact Content-Length.
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>

#include "server/body_pump.hpp"
#include "server/connection.hpp"
#include "server/crc_cache.hpp"
#include "server/file_reader.hpp"
#include "server/file_server.hpp"
#include "server/progress_reporter.hpp"
#include "server/zip_plan.hpp"

namespace skiff::server {

namespace {

// Progress is reported between spans; a span's CRC is taken just before the kernel sends it,
// so its pages are fresh in the page cache.
constexpr std::int64_t spanSize = 4194304;
constexpr std::size_t crcReadSize = 131072;

// The CRC-32 of `length` bytes at `offset`, read through one small buffer per thread that
// stays in the processor's cache. None when the file ends first.
std::optional<uLong> crcOfRange(int fd, std::int64_t offset, std::int64_t length, uLong crc) {
    thread_local std::unique_ptr<char[]> buffer(new char[crcReadSize]);
    while (length > 0) {
        auto want = static_cast<std::size_t>(std::min<std::int64_t>(length, crcReadSize));
        ssize_t n = ::pread(fd, buffer.get(), want, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return std::nullopt;
        crc = crc32(crc, reinterpret_cast<const Bytef*>(buffer.get()), static_cast<uInt>(n));
        offset += n;
        length -= n;
    }
    return crc;
}

std::optional<FileIdentity> identityOf(int fd) {
    struct stat facts {};
    if (::fstat(fd, &facts) != 0) return std::nullopt;
    return FileIdentity::of(facts);
}

// The state of one archive transfer, touched by one pump step at a time. The entries' bytes
// go out with sendfile; their CRCs come from the cache when the file is unchanged since an
// earlier archive, or else from one read of each span just before it is sent.
struct ZipSource final : BodySource {
    enum class Phase { open, data, descriptor };

    ZipPlan plan;
    std::shared_ptr<CrcCache> crcs;
    std::vector<ProgressReporter> reporters;
    std::function<void(ZipSource& source, bool ok)> onEnd;
    Phase phase = Phase::open;
    std::size_t index = 0;
    std::optional<FileReader> reader;
    std::optional<FileIdentity> identity;  // when the file still has its planned size
    std::optional<std::uint32_t> knownCrc;
    uLong crc = 0;
    std::int64_t bytes = 0;  // of the current entry, sent
    std::int64_t spanLength = 0;
    std::uint64_t offset = 0;  // archive bytes before the next record, past 4 GiB with ZIP64
    std::uint64_t entryOffset = 0;
    std::string central;
    bool ended = false;
    bool truncated = false;  // a file shrank: the archive ends early and is not complete

    std::optional<BodyPiece> next() override {
        if (phase == Phase::data && index < plan.entries.size())
            reporters[index](bytes, false, false);
        if (ended) return std::nullopt;
        if (index >= plan.entries.size()) {
            std::string tail =
                central + endOfCentralDirectory(plan.entries.size(), central.size(), offset);
            ended = true;
            return tail;
        }
        ZipEntry& entry = plan.entries[index];
        auto size = static_cast<std::uint64_t>(entry.size);
        if (phase == Phase::open) {
            reader = FileReader::open(entry.file.url);
            if (!reader) {  // the archive ends here; later files get no report
                ended = true;
                return std::nullopt;
            }
            identity = identityOf(reader->fd());
            if (identity && identity->size != entry.size) identity.reset();
            knownCrc = identity ? crcs->find(*identity) : std::nullopt;
            crc = crc32(0L, Z_NULL, 0);
            bytes = 0;
            entryOffset = offset;
            phase = Phase::data;
            std::string header = localFileHeader(entry.name, size, entry.stamp);
            offset += header.size();
            return header;
        }
        if (phase == Phase::data) {
            // Never more than planned: a file that grew must not break the archive's layout.
            spanLength = std::min(entry.size - bytes, spanSize);
            if (spanLength > 0) {
                if (!knownCrc) {
                    std::optional<uLong> more = crcOfRange(reader->fd(), bytes, spanLength, crc);
                    if (!more) return endShort();
                    crc = *more;
                }
                return FileSpan{reader->fd(), bytes, spanLength};
            }
            if (!knownCrc && identity && identityOf(reader->fd()) == identity)
                crcs->remember(*identity, static_cast<std::uint32_t>(crc));
            reader.reset();
            phase = Phase::descriptor;
        }
        std::uint32_t entryCrc = knownCrc ? *knownCrc : static_cast<std::uint32_t>(crc);
        std::string descriptor = dataDescriptor(entryCrc, size);
        offset += size + descriptor.size();
        central += centralDirectoryRecord(entry.name, entryCrc, size, entry.stamp, entryOffset);
        reporters[index](bytes, true, bytes >= entry.size);
        ++index;
        phase = Phase::open;
        return descriptor;
    }

    void spanSent(std::int64_t sent) override {
        bytes += sent;
        if (sent < spanLength) endShort();
    }

    // The file shrank: a descriptor now would describe bytes never sent. End the body short
    // of its length so the phone sees a failed download.
    std::nullopt_t endShort() {
        reader.reset();
        truncated = true;
        ended = true;
        return std::nullopt;
    }

    void finished(bool ok) override {
        reader.reset();
        onEnd(*this, ok);
    }
};

}  // namespace

void FileServer::serveZip(const ConnectionPtr& connection, const std::string& host,
                          const std::string& userAgent) {
    auto shared = withTables([](const ServerTables& tables) { return tables.shared; });
    auto planned = planArchive(shared);
    if (std::holds_alternative<ZipRefusal>(planned))
        return respondJSON(connection, 404, {{"error", "no files"}});
    auto transfer = std::make_shared<ZipSource>();
    transfer->plan = std::move(std::get<ZipPlan>(planned));
    transfer->crcs = m_crcs;
    report("Đang gửi " + std::to_string(transfer->plan.entries.size()) + " file dạng .zip tới " +
           host);
    for (const ZipEntry& entry : transfer->plan.entries)
        transfer->reporters.emplace_back(weak_from_this(), entry.file, host, userAgent, entry.size,
                                         entry.sharedIndex);

    std::string head =
        "HTTP/1.1 200 OK\r\nContent-Type: application/zip\r\nContent-Length: " +
        std::to_string(transfer->plan.total) +
        "\r\nContent-Disposition: attachment; filename=\"Skiff.zip\"\r\nCache-Control: "
        "no-store\r\nConnection: close\r\n\r\n";
    std::weak_ptr<FileServer> weak = weak_from_this();
    transfer->onEnd = [weak](ZipSource& source, bool ok) {
        if (ok && !source.truncated) {
            if (auto self = weak.lock()) self->report("Đã gửi xong file .zip");
        }
        if (!ok && source.phase == ZipSource::Phase::data &&
            source.index < source.plan.entries.size())
            source.reporters[source.index](source.bytes, true, false);
    };
    runBodyPump(connection, std::move(head), transfer);
}

}  // namespace skiff::server
