// Receiving a file from a phone: init announces it, chunks append verified slices at the
// exact offset held, finish checks the whole file's SHA-256 and moves it into the receive
// folder under a free name, cancel gives it up.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <zlib.h>

#include <chrono>
#include <cmath>
#include <cstdio>

#include "media/received_time.hpp"
#include "server/byte_count.hpp"
#include "server/chunk_digest.hpp"
#include "server/connection.hpp"
#include "server/decimal.hpp"
#include "server/device_identity.hpp"
#include "server/file_names.hpp"
#include "server/file_server.hpp"
#include "server/folder_tree.hpp"
#include "server/upload.hpp"
#include "server/upload_claims.hpp"

namespace skiff::server {

namespace {

constexpr std::int64_t chunkSize = 4194304;
constexpr std::int64_t uploadSizeCap = 214748364800;
constexpr std::int64_t freeSpaceMargin = 209715200;
constexpr double millisecondThreshold = 1e11;
constexpr int moveAttempts = 5;
constexpr double latestMtime = 253402300799;  // 9999-12-31 23:59:59 UTC

bool validUid(const std::string* uid) {
    if (!uid || uid->size() < 6 || uid->size() > 64) return false;
    for (unsigned char c : *uid)
        if (!std::isalnum(c) && c != '-' && c != '_') return false;
    return true;
}

std::string lowerAscii(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// An absent or unreadable date is no date; one past year 9999 or before 1970 cannot be set on
// a file and is refused.
struct Mtime {
    bool valid = true;
    std::optional<double> seconds;
};

Mtime parseMtime(const std::string* text) {
    if (!text || text->empty()) return {};
    char* end = nullptr;
    double value = std::strtod(text->c_str(), &end);
    if (end != text->c_str() + text->size() || !std::isfinite(value)) return {};
    // Browsers give milliseconds; anything this large cannot be seconds.
    if (value > millisecondThreshold) value /= 1000;
    if (value < 0 || value > latestMtime) return {false, std::nullopt};
    return {true, value};
}

bool appleMobile(const std::string& ua) {
    return ua.find("iPhone") != std::string::npos || ua.find("iPad") != std::string::npos ||
           (ua.find("Macintosh") != std::string::npos && ua.find("Mobile") != std::string::npos);
}

// The format an iPhone or iPad likely converted the file to on its way out.
std::optional<std::string> conversionHint(const std::string& ua,
                                          const std::filesystem::path& file) {
    if (!appleMobile(ua)) return std::nullopt;
    std::string extension = lowerAscii(file.extension().string());
    if (extension == ".jpg" || extension == ".jpeg") return "jpg";
    if (extension == ".mp4") return "mp4";
    return std::nullopt;
}

// Writes the chunk at `offset` after cutting the file there, so bytes of an earlier failed
// attempt never stay behind the valid data. `hasher`, the upload's state copied, is fed each
// block while it is in the processor's cache, for a chunk not hashed on its way in.
bool writeChunk(const std::filesystem::path& part, std::int64_t offset, const BodyBuffer& body,
                Sha256* hasher) {
    int fd = ::open(part.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) return false;
    bool ok = ::ftruncate(fd, offset) == 0;
    std::int64_t at = offset;
    body.forEachPiece([&](std::string_view piece) {
        if (hasher) hasher->update(piece);
        while (ok && !piece.empty()) {
            ssize_t n = ::pwrite(fd, piece.data(), piece.size(), static_cast<off_t>(at));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                ok = false;
                break;
            }
            piece.remove_prefix(static_cast<std::size_t>(n));
            at += n;
        }
    });
    // Start writing the chunk to disk now, so the flush at finish has little left to do.
    if (ok && body.size() > 0)
        ::sync_file_range(fd, offset, static_cast<off_t>(body.size()), SYNC_FILE_RANGE_WRITE);
    // A write cut short by a full disk gives its bytes back, or the disk stays full for good.
    if (!ok) (void)::ftruncate(fd, offset);
    return ::close(fd) == 0 && ok;
}

// Makes the part file durable, and only if it is still the regular file of exactly `size`
// bytes that the chunks wrote: the digest was taken over the bytes as they arrived, so the
// file itself must be checked before anyone is told it is safe.
bool syncPart(const std::filesystem::path& part, std::int64_t size) {
    int fd = ::open(part.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat facts {};
    bool ok = ::fstat(fd, &facts) == 0 && S_ISREG(facts.st_mode) && facts.st_size == size &&
              ::fsync(fd) == 0;
    return ::close(fd) == 0 && ok;
}

// A fresh, empty part file. One left by an earlier run, or by the upload this one replaces,
// goes first; a symbolic link planted under the name is removed, never followed.
bool createPart(const std::filesystem::path& part) {
    if (::unlink(part.c_str()) != 0 && errno != ENOENT) return false;
    int fd = ::open(part.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    return ::close(fd) == 0;
}

// `folder` may be a descriptor, so a file in a received tree is dated without following a path
// someone could have changed meanwhile.
void setFileTime(const std::filesystem::path& file, double seconds, int folder = AT_FDCWD) {
    timespec times[2];
    double whole = std::floor(seconds);
    times[0].tv_sec = times[1].tv_sec = static_cast<time_t>(whole);
    times[0].tv_nsec = times[1].tv_nsec = static_cast<long>((seconds - whole) * 1e9);
    ::utimensat(folder, file.c_str(), times, folder == AT_FDCWD ? 0 : AT_SYMLINK_NOFOLLOW);
}

// The space left for unprivileged writers; none when the file system gives no figure (no
// blocks at all). Zero is a real figure here: a disk filled to the last block.
std::optional<std::int64_t> availableBytes(const std::filesystem::path& folder) {
    struct statvfs info {};
    if (::statvfs(folder.c_str(), &info) != 0 || info.f_blocks == 0) return std::nullopt;
    return static_cast<std::int64_t>(info.f_bavail) * static_cast<std::int64_t>(info.f_frsize);
}

}  // namespace

void FileServer::uploadInit(const ConnectionPtr& connection, const Request& request,
                            const std::string& host) {
    const std::string* uid = request.param("uid");
    if (!validUid(uid)) return respondJSON(connection, 400, {{"error", "bad params"}});
    std::optional<std::int64_t> size;
    if (const std::string* sizeText = request.param("size")) size = parseDecimal(*sizeText);
    if (!size) return respondJSON(connection, 400, {{"error", "bad params"}});
    const std::string* nameParam = request.param("name");
    std::string name = cleanFileName(nameParam ? *nameParam : "file");
    if (*size > uploadSizeCap)
        return respondJSON(connection, 413, {{"error", "too large"}, {"max", uploadSizeCap}});
    Mtime mtime = parseMtime(request.param("mtime"));
    if (!mtime.valid) return respondJSON(connection, 400, {{"error", "bad params"}});
    // A file from a picked or dropped folder says where in it it sits, and which batch it
    // belongs to; without a path it goes to the top of the receive folder as always.
    FolderPath place;
    std::string batch;
    if (const std::string* path = request.param("path")) {
        place = cleanFolderPath(*path);
        switch (place.refusal) {
            case FolderPath::Refusal::none:
                break;
            case FolderPath::Refusal::tooLong:
                return respondJSON(connection, 400,
                                   {{"error", "path too long"}, {"max", folderPathBytes}});
            case FolderPath::Refusal::tooDeep:
                return respondJSON(connection, 400,
                                   {{"error", "path too deep"}, {"max", folderDepthLimit}});
            default:
                return respondJSON(connection, 400,
                                   {{"error", "bad path"}, {"reason", refusalCode(place.refusal)}});
        }
        const std::string* batchParam = request.param("batch");
        if (!place.folders.empty()) {
            if (!validUid(batchParam))
                return respondJSON(connection, 400, {{"error", "bad params"}});
            batch = *batchParam;
        }
    }

    auto upload = std::make_shared<Upload>();
    upload->uid = *uid;
    upload->name = name;
    upload->folders = place.folders;
    upload->batch = batch;
    upload->host = host;
    const std::string* ua = request.header("user-agent");
    upload->ua = ua ? *ua : std::string();
    upload->size = *size;
    upload->mtime = mtime.seconds;
    upload->started =
        std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
    upload->busy = true;  // until its part file exists

    // The new record takes the slot at once, busy, so no other request can touch the uid
    // while its part file is made.
    std::int64_t received = 0;
    std::filesystem::path folder, replacedPart;
    InitClaim claim = mutateTables([&](ServerTables& tables) {
        auto& slot = tables.uploads[*uid];
        InitClaim decided = claimForInit(slot.get(), host, *size, name, place.folders);
        if (decided == InitClaim::resume || decided == InitClaim::busy) received = slot->received;
        // A folder picked again after a reload is a new batch: the file follows it.
        if (decided == InitClaim::resume) slot->batch = batch;
        if (decided != InitClaim::fresh) return decided;
        if (slot) replacedPart = slot->part;
        folder = tables.saveDir;
        upload->part = folder / ("." + *uid + ".porter-part");
        slot = upload;
        return decided;
    });
    switch (claim) {
        case InitClaim::foreign:
            return respondJSON(connection, 404, {{"error", "unknown upload"}});
        case InitClaim::busy:
            return respondJSON(connection, 409, {{"error", "busy"}, {"received", received}});
        case InitClaim::resume:
            if (received > 0) report("Nối tiếp \"" + name + "\" từ " + formatByteCount(received));
            return respondJSON(connection, 200,
                               {{"uid", *uid}, {"received", received}, {"chunk", chunkSize}});
        case InitClaim::fresh:
            break;
    }

    onDisk([connection, upload, folder, replacedPart](FileServer& self) {
        // Gives the slot up again when this init cannot go through; nothing stays behind.
        auto abandon = [&](int status, nlohmann::json answer) {
            self.forgetUpload(upload);
            self.respondJSON(connection, status, answer);
        };
        // The receive folder changed since the replaced record began: its part file is orphaned.
        if (!replacedPart.empty() && replacedPart != upload->part) {
            std::error_code ignored;
            std::filesystem::remove(replacedPart, ignored);
        }
        std::error_code error;
        std::filesystem::create_directories(folder, error);
        if (error) return abandon(507, {{"error", "cannot create folder"}});
        if (auto available = availableBytes(folder);
            available && *available < upload->size + freeSpaceMargin) {
            self.report("Máy tính không đủ chỗ trống để nhận \"" + upload->name + "\" (" +
                        formatByteCount(upload->size) + ")");
            return abandon(507, {{"error", "disk full"}, {"free", *available}});
        }
        if (!createPart(upload->part)) return abandon(507, {{"error", "cannot write"}});
        bool kept = self.mutateTables([&](ServerTables& tables) {
            auto found = tables.uploads.find(upload->uid);
            if (found == tables.uploads.end() || found->second != upload) return false;
            upload->busy = false;
            return true;
        });
        // The server stopped meanwhile and forgot the upload: its part file must go too.
        if (!kept) {
            std::error_code ignored;
            std::filesystem::remove(upload->part, ignored);
            return self.respondJSON(connection, 404, {{"error", "unknown upload"}});
        }
        self.respondJSON(connection, 200,
                         {{"uid", upload->uid}, {"received", 0}, {"chunk", chunkSize}});
    });
}

std::shared_ptr<Upload> FileServer::claimUpload(const ConnectionPtr& connection,
                                                const std::string& uid, const std::string& host,
                                                std::optional<std::int64_t> offset) {
    std::shared_ptr<Upload> upload;
    std::int64_t received = 0;
    UseClaim claim = mutateTables([&](ServerTables& tables) {
        auto found = tables.uploads.find(uid);
        if (found == tables.uploads.end()) return UseClaim::unknown;
        UseClaim decided = claimForUse(found->second.get(), host, offset);
        if (decided == UseClaim::unknown) return decided;
        upload = found->second;
        received = upload->received;
        return decided;
    });
    switch (claim) {
        case UseClaim::unknown:
            respondJSON(connection, 404, {{"error", "unknown upload"}});
            return nullptr;
        case UseClaim::busy:
            respondJSON(connection, 409, {{"error", "busy"}, {"received", received}});
            return nullptr;
        case UseClaim::offset:
            respondJSON(connection, 409, {{"error", "offset"}, {"received", received}});
            return nullptr;
        case UseClaim::incomplete:
            respondJSON(connection, 409, {{"error", "incomplete"}, {"received", received}});
            return nullptr;
        case UseClaim::claimed:
            break;
    }
    return upload;
}

void FileServer::forgetUpload(const std::shared_ptr<Upload>& upload) {
    mutateTables([&](ServerTables& tables) {
        auto found = tables.uploads.find(upload->uid);
        if (found != tables.uploads.end() && found->second == upload) tables.uploads.erase(found);
    });
}

void FileServer::receiveChunk(const ConnectionPtr& connection, const Request& request,
                              const std::string& host, std::string rest) {
    // Where the upload stands as the head comes, so its SHA-256 can go on over the bytes as
    // they arrive; the chunk is only checked against the upload once it is all here.
    const std::string* uid = request.param("uid");
    std::optional<std::int64_t> offset;
    if (const std::string* offsetText = request.param("offset")) offset = parseDecimal(*offsetText);
    std::shared_ptr<const Upload> upload;
    std::optional<Sha256> start;
    if (validUid(uid) && offset) {
        withTables([&](const ServerTables& tables) {
            auto found = tables.uploads.find(*uid);
            if (found == tables.uploads.end()) return;
            const Upload& record = *found->second;
            if (record.host != host || record.busy || record.received != *offset) return;
            upload = found->second;
            start = record.hasher;
        });
    }
    auto digest = std::make_shared<ChunkDigest>(std::move(upload), std::move(start));
    std::weak_ptr<FileServer> weak = weak_from_this();
    readBody(
        connection, request, std::move(rest),
        [weak, connection, request, host, offset, digest](BodyBuffer body, MemoryHold hold) {
            if (auto self = weak.lock())
                self->uploadChunk(connection, request, host, offset, std::move(body), *digest,
                                  std::move(hold));
        },
        [digest](std::string_view block) { digest->add(block); });
}

void FileServer::uploadChunk(const ConnectionPtr& connection, const Request& request,
                             const std::string& host, std::optional<std::int64_t> offset,
                             BodyBuffer body, const ChunkDigest& digest, MemoryHold hold) {
    const std::string* uid = request.param("uid");
    if (!validUid(uid) || !offset) return respondJSON(connection, 400, {{"error", "bad params"}});
    std::shared_ptr<Upload> upload = claimUpload(connection, *uid, host, offset);
    if (!upload) return;

    // The flag is dropped before any answer leaves: a phone sends its next chunk the moment it
    // has the answer, and must not find the upload still busy.
    auto release = [this, upload] { mutateTables([&](ServerTables&) { upload->busy = false; }); };
    const auto length = static_cast<std::int64_t>(body.size());
    const std::int64_t received = *offset;

    if (received + length > upload->size) {
        release();
        return respondJSON(connection, 400, {{"error", "beyond size"}});
    }
    // A damaged chunk is refused before it touches the disk: the part file still ends at the
    // last good byte.
    const std::string* offered = request.header("x-crc32");
    if (!offered || lowerAscii(*offered) != digest.crcText()) {
        report("Khúc hỏng ở \"" + upload->name + "\" (vị trí " + formatByteCount(received) +
               ") — đã yêu cầu gửi lại");
        release();
        return respondJSON(connection, 422,
                           {{"error", "chunk hash mismatch"}, {"received", received}});
    }
    std::optional<Sha256> carried = digest.hasherFor(upload.get());
    auto bytes = std::make_shared<BodyBuffer>(std::move(body));
    onDisk([connection, upload, received, length, release, bytes, carried = std::move(carried),
            hold = std::move(hold)](FileServer& self) mutable {
        // The busy flag keeps every other handler off this upload's hash, so it is fed outside
        // the lock, which other phones' requests need meanwhile.
        const bool hashed = carried.has_value();
        Sha256 hasher = hashed
                            ? std::move(*carried)
                            : self.withTables([&](const ServerTables&) { return upload->hasher; });
        if (!writeChunk(upload->part, received, *bytes, hashed ? nullptr : &hasher)) {
            release();
            return self.respondJSON(connection, 507, {{"error", "write failed"}});
        }
        std::int64_t total = self.mutateTables([&](ServerTables&) {
            upload->hasher = std::move(hasher);
            upload->received += length;
            upload->busy = false;
            return upload->received;
        });

        std::string label = deviceLabel(upload->ua);
        self.notify(&ServerCallbacks::onProgress,
                    std::optional<Incoming>(
                        Incoming{upload->uid, upload->name, label, total, upload->size}));
        self.notify(&ServerCallbacks::onFlow,
                    Flow{upload->host, deviceKind(upload->ua), deviceName(upload->ua), upload->uid,
                         upload->name, total, upload->size, Flow::State::progress});
        self.respondJSON(connection, 200, {{"received", total}});
    });
}

void FileServer::uploadFinish(const ConnectionPtr& connection, const Request& request,
                              const std::string& host) {
    const std::string* uid = request.param("uid");
    if (!validUid(uid)) return respondJSON(connection, 400, {{"error", "bad params"}});
    // Held busy to the end: an init, chunk, cancel or second finish meanwhile is refused, so
    // the part file cannot change between its check and its move.
    std::shared_ptr<Upload> upload = claimUpload(connection, *uid, host, std::nullopt);
    if (!upload) return;
    Sha256 hasher = withTables([&](const ServerTables&) { return upload->hasher; });
    std::string digest = hasher.hexDigest();
    const std::string* offered = request.param("sha256");
    if (!offered || lowerAscii(*offered) != digest) {
        forgetUpload(upload);
        std::error_code ignored;
        std::filesystem::remove(upload->part, ignored);
        report("SHA-256 không khớp ở \"" + upload->name + "\" — đã huỷ, điện thoại sẽ gửi lại");
        return respondJSON(connection, 422, {{"error", "sha256 mismatch"}, {"sha256", digest}});
    }
    onDisk([connection, upload, digest](FileServer& self) {
        if (upload->folders.empty())
            self.storeUpload(connection, upload, digest);
        else
            self.storeInFolders(connection, upload, digest);
    });
}

void FileServer::storeUpload(const ConnectionPtr& connection, const std::shared_ptr<Upload>& upload,
                             const std::string& digest) {
    // A failure keeps nothing half-done: the phone is told, and sends the file again.
    auto fail = [&](const std::filesystem::path& leftover) {
        forgetUpload(upload);
        std::error_code ignored;
        std::filesystem::remove(leftover, ignored);
        report("Không lưu được \"" + upload->name + "\" — điện thoại sẽ gửi lại");
        respondJSON(connection, 500, {{"error", "save failed"}});
    };
    std::filesystem::path folder = upload->part.parent_path().lexically_normal();
    std::filesystem::path destination = uniqueDestination(folder / upload->name);
    if (destination.parent_path().lexically_normal() != folder) return fail(upload->part);

    // The phone takes "ok" as "the file is safe": make the bytes durable before saying so.
    if (!syncPart(upload->part, upload->size)) return fail(upload->part);
    std::optional<std::filesystem::path> moved =
        moveToFreeName(upload->part, destination, moveAttempts);
    if (!moved) return fail(upload->part);
    destination = *moved;
    if (!syncFolder(folder)) return fail(destination);
    if (upload->mtime && *upload->mtime > 0)
        setFileTime(destination,
                    media::receivedFileTime(destination, *upload->mtime, upload->started));
    announceStored(connection, upload, digest, destination, "");
}

void FileServer::storeInFolders(const ConnectionPtr& connection,
                                const std::shared_ptr<Upload>& upload, const std::string& digest) {
    // Nothing half-done stays: no part file, no record, no folder this upload made.
    auto fail = [&](int status, const nlohmann::json& answer) {
        forgetUpload(upload);
        std::error_code ignored;
        std::filesystem::remove(upload->part, ignored);
        report("Không lưu được \"" + upload->name + "\" — điện thoại sẽ gửi lại");
        respondJSON(connection, status, answer);
    };
    const std::filesystem::path root = upload->part.parent_path().lexically_normal();
    const std::string partName = upload->part.filename().string();
    if (!syncPart(upload->part, upload->size)) return fail(500, {{"error", "save failed"}});

    FolderTree tree(root);
    auto taken = [](int folder) {
        return [folder](const std::string& name) {
            struct stat facts {};
            return ::fstatat(folder, name.c_str(), &facts, AT_SYMLINK_NOFOLLOW) == 0;
        };
    };
    std::error_code problem;
    std::string placed, finalName;
    bool moved = false;
    {
        std::lock_guard guard(m_folderLock);
        BatchFolders::Key key{root.string(), upload->host, upload->batch, upload->folders[0]};
        auto now = BatchFolders::Clock::now();
        std::optional<std::string> top = m_batchFolders.find(key, now);
        bool chose = !top;
        if (top) {
            placed = *top + "/";
            problem = tree.enter(*top);
        } else {
            // The batch's first file: a top folder of that name already there is someone
            // else's, so the batch gets a fresh one by the clash rule.
            for (int attempt = 0; attempt < moveAttempts; ++attempt) {
                top = uniqueName(upload->folders[0], taken(tree.root()), true);
                placed = *top + "/";
                problem = tree.enterNew(*top);
                if (problem != std::errc::file_exists) break;
            }
        }
        for (std::size_t level = 1; !problem && level < upload->folders.size(); ++level) {
            placed += upload->folders[level] + "/";
            problem = tree.enter(upload->folders[level]);
        }
        if (!problem) {
            finalName = upload->name;
            for (int attempt = 0; attempt < moveAttempts && !moved; ++attempt) {
                finalName = uniqueName(finalName, taken(tree.current()));
                moved = !moveWithoutReplacingAt(tree.root(), partName.c_str(), tree.current(),
                                                finalName.c_str());
            }
        }
        if (!moved)
            tree.undo();
        else if (chose)
            m_batchFolders.remember(key, *top, now);
    }
    if (problem == std::errc::not_a_directory)
        return fail(409, {{"error", "not a folder"}, {"path", placed}});
    if (problem) return fail(507, {{"error", "cannot create folder"}});
    if (!moved) return fail(500, {{"error", "save failed"}});
    if (!tree.sync(true)) {
        std::lock_guard guard(m_folderLock);
        ::unlinkat(tree.current(), finalName.c_str(), 0);
        tree.undo();
        return fail(500, {{"error", "save failed"}});
    }
    std::filesystem::path destination = root / placed / finalName;
    if (upload->mtime && *upload->mtime > 0)
        setFileTime(finalName,
                    media::receivedFileTime(destination, *upload->mtime, upload->started),
                    tree.current());
    announceStored(connection, upload, digest, destination, placed);
}

void FileServer::announceStored(const ConnectionPtr& connection,
                                const std::shared_ptr<Upload>& upload, const std::string& digest,
                                const std::filesystem::path& destination,
                                const std::string& folder) {
    forgetUpload(upload);
    std::optional<std::string> hint = conversionHint(upload->ua, destination);
    std::string finalName = destination.filename().string();
    std::string label = deviceLabel(upload->ua);
    report("Đã nhận \"" + folder + finalName + "\" (" + formatByteCount(upload->size) + ") từ " +
           label + " · SHA-256 khớp");
    notify(&ServerCallbacks::onReceived,
           ReceivedFile{destination, upload->size, digest, upload->host, label, hint, folder});
    notify(&ServerCallbacks::onProgress, std::optional<Incoming>());
    notify(&ServerCallbacks::onFlow,
           Flow{upload->host, deviceKind(upload->ua), deviceName(upload->ua), upload->uid,
                finalName, upload->size, upload->size, Flow::State::done});

    nlohmann::json answer = {{"ok", true},
                             {"name", finalName},
                             {"size", upload->size},
                             {"sha256", digest},
                             {"renamed", finalName != upload->name}};
    if (!upload->folders.empty()) {
        answer["path"] = folder;
        // The batch went into a fresh top folder because the phone's name was taken.
        answer["folderRenamed"] = folder.substr(0, folder.find('/')) != upload->folders.front();
    }
    if (hint) answer["converted"] = *hint;
    respondJSON(connection, 200, answer);
}

void FileServer::uploadCancel(const ConnectionPtr& connection, const Request& request,
                              const std::string& host) {
    const std::string* uid = request.param("uid");
    if (!validUid(uid)) return respondJSON(connection, 400, {{"error", "bad params"}});
    std::shared_ptr<Upload> removed;
    CancelClaim claim = mutateTables([&](ServerTables& tables) {
        auto it = tables.uploads.find(*uid);
        if (it == tables.uploads.end()) return CancelClaim::absent;
        CancelClaim decided = claimForCancel(it->second.get(), host);
        if (decided != CancelClaim::removable) return decided;
        removed = it->second;
        tables.uploads.erase(it);
        return decided;
    });
    if (claim == CancelClaim::busy) return respondJSON(connection, 409, {{"error", "busy"}});
    if (removed) {
        std::error_code ignored;
        std::filesystem::remove(removed->part, ignored);
    }
    notify(&ServerCallbacks::onProgress, std::optional<Incoming>());
    if (removed) {
        notify(&ServerCallbacks::onFlow,
               Flow{removed->host, deviceKind(removed->ua), deviceName(removed->ua), removed->uid,
                    removed->name, removed->received, removed->size, Flow::State::cancel});
    }
    respondJSON(connection, 200, {{"ok", true}});
}

}  // namespace skiff::server
