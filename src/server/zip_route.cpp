// Everything shared as one ZIP archive, streamed from a plan made before the first byte:
// stored entries, each file's CRC in a descriptor behind its bytes, an exact Content-Length.
#include <zlib.h>

#include "server/block_pump.hpp"
#include "server/connection.hpp"
#include "server/file_reader.hpp"
#include "server/file_server.hpp"
#include "server/progress_reporter.hpp"
#include "server/zip_plan.hpp"

namespace skiff::server {

namespace {

constexpr std::size_t blockSize = 524288;

// The state of one archive transfer, touched by one pump step at a time.
struct ZipTransfer {
    enum class Phase { open, data, descriptor };

    ZipPlan plan;
    std::vector<ProgressReporter> reporters;
    Phase phase = Phase::open;
    std::size_t index = 0;
    std::optional<FileReader> reader;
    uLong crc = 0;
    std::int64_t bytes = 0;
    std::uint64_t offset = 0;  // archive bytes before the next record, past 4 GiB with ZIP64
    std::uint64_t entryOffset = 0;
    std::string central;
    bool finished = false;
    bool truncated = false;  // a file shrank: the archive ends early and is not complete

    std::optional<std::string> next() {
        if (phase == Phase::data && index < plan.entries.size())
            reporters[index](bytes, false, false);
        if (finished) return std::nullopt;
        if (index >= plan.entries.size()) {
            std::string tail =
                central + endOfCentralDirectory(plan.entries.size(), central.size(), offset);
            finished = true;
            return tail;
        }
        ZipEntry& entry = plan.entries[index];
        auto size = static_cast<std::uint64_t>(entry.size);
        if (phase == Phase::open) {
            reader = FileReader::open(entry.file.url);
            if (!reader) {  // the archive ends here; later files get no report
                finished = true;
                return std::nullopt;
            }
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
            auto want =
                static_cast<std::size_t>(std::min<std::int64_t>(entry.size - bytes, blockSize));
            std::string block = want > 0 ? reader->read(want) : std::string();
            if (!block.empty()) {
                crc = crc32(crc, reinterpret_cast<const Bytef*>(block.data()),
                            static_cast<uInt>(block.size()));
                bytes += static_cast<std::int64_t>(block.size());
                return block;
            }
            reader.reset();
            if (bytes < entry.size) {
                // The file shrank: a descriptor now would describe bytes never sent. End the
                // body short of its length so the phone sees a failed download.
                truncated = true;
                finished = true;
                return std::nullopt;
            }
            phase = Phase::descriptor;
        }
        std::string descriptor = dataDescriptor(static_cast<std::uint32_t>(crc), size);
        offset += size + descriptor.size();
        central += centralDirectoryRecord(entry.name, static_cast<std::uint32_t>(crc), size,
                                          entry.stamp, entryOffset);
        reporters[index](bytes, true, bytes >= entry.size);
        ++index;
        phase = Phase::open;
        return descriptor;
    }
};

}  // namespace

void FileServer::serveZip(const ConnectionPtr& connection, const std::string& host,
                          const std::string& userAgent) {
    auto shared = withTables([](const ServerTables& tables) { return tables.shared; });
    auto planned = planArchive(shared);
    if (std::holds_alternative<ZipRefusal>(planned))
        return respondJSON(connection, 404, {{"error", "no files"}});
    auto transfer = std::make_shared<ZipTransfer>();
    transfer->plan = std::move(std::get<ZipPlan>(planned));
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
    auto finished = [weak, transfer](bool ok) {
        transfer->reader.reset();
        if (ok && !transfer->truncated) {
            if (auto self = weak.lock()) self->report("Đã gửi xong file .zip");
        }
        if (!ok && transfer->phase == ZipTransfer::Phase::data &&
            transfer->index < transfer->plan.entries.size())
            transfer->reporters[transfer->index](transfer->bytes, true, false);
    };
    connection->sendBlock(std::move(head), [connection, transfer, finished](bool ok) {
        if (!ok) return finished(false);
        runBlockPump(
            connection, [transfer] { return transfer->next(); }, finished);
    });
}

}  // namespace skiff::server
