#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "server/request.hpp"

namespace skiff::server {

// Collects the bytes of a request head until the blank line that ends it.
class HeadReader {
  public:
    enum class Result { complete, needMore, tooLarge };

    explicit HeadReader(std::size_t limit = 32768) : m_limit(limit) {}

    // Appends received bytes and says whether the head is complete. Only CR LF CR LF ends a
    // head; the size limit applies while that blank line has not been seen.
    Result feed(std::string_view bytes);

    // Valid once feed() said complete: the head before the blank line, and what followed it.
    std::string_view head() const { return std::string_view(m_buffer).substr(0, m_headEnd); }
    std::string_view rest() const { return std::string_view(m_buffer).substr(m_headEnd + 4); }
    std::size_t size() const { return m_buffer.size(); }

  private:
    std::string m_buffer;
    std::size_t m_limit;
    std::size_t m_headEnd = std::string::npos;
};

// A request target split by the generic URI syntax, with its path and query decoded.
struct Target {
    std::string path;
    std::map<std::string, std::string> query;
};

// Parses a request target as a URI reference below a fixed scheme and host. None when it
// breaks the URI grammar (for example a "%" not followed by two hex digits).
std::optional<Target> parseTarget(std::string_view target);

// Parses the head text (without its blank line). None for a malformed request line or target.
std::optional<Request> parseRequest(std::string_view headText);

}  // namespace skiff::server
