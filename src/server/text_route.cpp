// A text from a phone (a link, a code, a paragraph): checked, then kept as a .txt file in the
// receive folder and reported like a received file.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "server/byte_count.hpp"
#include "server/connection.hpp"
#include "server/decimal.hpp"
#include "server/device_identity.hpp"
#include "server/file_names.hpp"
#include "server/file_server.hpp"
#include "server/secure_random.hpp"
#include "server/sha256.hpp"
#include "server/utf8.hpp"

namespace skiff::server {

namespace {

constexpr std::int64_t textLimit = 65536;

bool blankText(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) {
        return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
    });
}

// Writes the whole text to a new file and makes it durable; a failure leaves no file.
bool writeDurably(const std::filesystem::path& file, std::string_view bytes) {
    int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    bool ok = true;
    for (std::size_t written = 0; ok && written < bytes.size();) {
        ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (n < 0 && errno == EINTR) continue;
        ok = n > 0;
        if (ok) written += static_cast<std::size_t>(n);
    }
    ok = ok && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (!ok) ::unlink(file.c_str());
    return ok;
}

}  // namespace

void FileServer::receiveText(const ConnectionPtr& connection, const Request& request,
                             const std::string& host, std::string rest) {
    // Decided on the announced length, before a byte of the body is taken.
    std::optional<std::int64_t> length;
    if (const std::string* text = request.header("content-length")) length = parseDecimal(*text);
    if (!length) return respondJSON(connection, 411, {{"error", "length required"}});
    if (*length > textLimit)
        return respondJSON(connection, 413, {{"error", "too large"}, {"max", textLimit}});
    const std::string* ua = request.header("user-agent");
    std::weak_ptr<FileServer> weak = weak_from_this();
    readBody(connection, request, std::move(rest),
             [weak, connection, host, ua = ua ? *ua : std::string()](BodyBuffer body, MemoryHold) {
                 if (auto self = weak.lock())
                     self->storeText(connection, host, ua, body.toString());
             });
}

void FileServer::storeText(const ConnectionPtr& connection, const std::string& host,
                           const std::string& userAgent, std::string text) {
    if (!isValidUtf8(text)) return respondJSON(connection, 400, {{"error", "not utf-8"}});
    if (blankText(text)) return respondJSON(connection, 400, {{"error", "empty"}});
    onDisk([connection, host, userAgent, text = std::move(text)](FileServer& self) {
        std::filesystem::path folder = self.saveDir().lexically_normal();
        std::error_code error;
        std::filesystem::create_directories(folder, error);
        if (error) return self.respondJSON(connection, 507, {{"error", "cannot create folder"}});
        const std::string name = textFileName(text);
        const std::filesystem::path part = folder / (".text-" + randomHex(8) + ".porter-part");
        if (!writeDurably(part, text))
            return self.respondJSON(connection, 507, {{"error", "cannot write"}});

        std::optional<std::filesystem::path> moved =
            moveToFreeName(part, uniqueDestination(folder / name));
        if (!moved || !syncFolder(folder)) {
            std::filesystem::remove(moved ? *moved : part, error);
            return self.respondJSON(connection, 500, {{"error", "save failed"}});
        }
        const std::filesystem::path& destination = *moved;

        const auto size = static_cast<std::int64_t>(text.size());
        const std::string finalName = destination.filename().string();
        const std::string label = deviceLabel(userAgent);
        self.report("Đã nhận chữ \"" + finalName + "\" (" + formatByteCount(size) + ") từ " +
                    label);
        self.notify(
            &ServerCallbacks::onReceived,
            ReceivedFile{destination, size, sha256Hex(text), host, label, std::nullopt, "", text});
        self.respondJSON(
            connection, 200,
            {{"ok", true}, {"name", finalName}, {"size", size}, {"renamed", finalName != name}});
    });
}

}  // namespace skiff::server
