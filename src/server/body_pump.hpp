#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <variant>

namespace skiff::server {

class Connection;

// A range of an open file, which the kernel sends straight from the page cache.
struct FileSpan {
    int fd = -1;
    std::int64_t offset = 0;
    std::int64_t length = 0;
};

// A piece of a streamed body: bytes made in memory (headers, ZIP records) or file bytes.
using BodyPiece = std::variant<std::string, FileSpan>;

// Where a streamed body comes from. Used by one pump step at a time.
class BodySource {
  public:
    virtual ~BodySource() = default;
    // The next piece, or none at the body's end.
    virtual std::optional<BodyPiece> next() = 0;
    // How many bytes of the span `next` gave went out: fewer than asked when the file ended.
    virtual void spanSent(std::int64_t bytes) = 0;
    // Runs once: true when the body ended, false on a send error.
    virtual void finished(bool ok) = 0;
};

// Sends `head`, then the pieces a source gives, asking for the next one only after the network
// stack took the previous one, so at most one piece per transfer is in memory. At the end the
// connection is closed and `finished(true)` runs; on a send error `finished(false)`.
void runBodyPump(const std::shared_ptr<Connection>& connection, std::string head,
                 const std::shared_ptr<BodySource>& source);

}  // namespace skiff::server
