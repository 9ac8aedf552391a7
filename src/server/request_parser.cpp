#include "server/request_parser.hpp"

#include <arpa/inet.h>
#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <vector>

#include "server/utf8.hpp"

namespace skiff::server {

HeadReader::Result HeadReader::feed(std::string_view bytes) {
    if (m_headEnd != std::string::npos) return Result::complete;
    // The blank line may straddle two receives, so look back three bytes.
    std::size_t from = m_buffer.size() >= 3 ? m_buffer.size() - 3 : 0;
    m_buffer.append(bytes);
    std::size_t found = m_buffer.find("\r\n\r\n", from);
    if (found != std::string::npos) {
        m_headEnd = found;
        return Result::complete;
    }
    return m_buffer.size() > m_limit ? Result::tooLarge : Result::needMore;
}

namespace {

bool isUnreserved(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~';
}

bool isSubDelim(unsigned char c) {
    return std::string_view("!$&'()*+,;=").find(static_cast<char>(c)) != std::string_view::npos;
}

bool isHex(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

int hexValue(unsigned char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return c - 'A' + 10;
}

// True when every byte is allowed by `allowed` or starts a well-formed percent-escape.
template <typename Allowed>
bool matches(std::string_view text, Allowed allowed) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        auto c = static_cast<unsigned char>(text[i]);
        if (c == '%') {
            if (i + 2 >= text.size()) return false;
            if (!isHex(static_cast<unsigned char>(text[i + 1])) ||
                !isHex(static_cast<unsigned char>(text[i + 2])))
                return false;
            i += 2;
        } else if (!allowed(c)) {
            return false;
        }
    }
    return true;
}

bool isPchar(unsigned char c) {
    return isUnreserved(c) || isSubDelim(c) || c == ':' || c == '@';
}
bool isQueryChar(unsigned char c) {
    return isPchar(c) || c == '/' || c == '?';
}

bool validIpLiteral(std::string_view inner) {
    if (!inner.empty() && (inner[0] == 'v' || inner[0] == 'V')) {
        std::size_t dot = inner.find('.');
        if (dot == std::string_view::npos || dot < 2 || dot + 1 >= inner.size()) return false;
        if (!std::all_of(inner.begin() + 1, inner.begin() + dot,
                         [](char c) { return isHex(static_cast<unsigned char>(c)); }))
            return false;
        return std::all_of(inner.begin() + dot + 1, inner.end(), [](char c) {
            auto u = static_cast<unsigned char>(c);
            return isUnreserved(u) || isSubDelim(u) || u == ':';
        });
    }
    in6_addr address{};
    return inet_pton(AF_INET6, std::string(inner).c_str(), &address) == 1;
}

bool validAuthority(std::string_view authority) {
    std::size_t at = authority.rfind('@');
    if (at != std::string_view::npos) {
        auto userinfo = authority.substr(0, at);
        if (!matches(userinfo,
                     [](unsigned char c) { return isUnreserved(c) || isSubDelim(c) || c == ':'; }))
            return false;
        authority.remove_prefix(at + 1);
    }
    std::string_view port;
    if (!authority.empty() && authority[0] == '[') {
        std::size_t close = authority.find(']');
        if (close == std::string_view::npos || !validIpLiteral(authority.substr(1, close - 1)))
            return false;
        auto after = authority.substr(close + 1);
        if (!after.empty()) {
            if (after[0] != ':') return false;
            port = after.substr(1);
        }
    } else {
        std::size_t colon = authority.find(':');
        auto host = authority.substr(0, colon);
        if (!matches(host, [](unsigned char c) { return isUnreserved(c) || isSubDelim(c); }))
            return false;
        if (colon != std::string_view::npos) port = authority.substr(colon + 1);
    }
    return std::all_of(port.begin(), port.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Percent-decodes text that already passed the grammar check; "+" stays "+".
std::string percentDecode(std::string_view text) {
    std::string bytes;
    bytes.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            bytes.push_back(
                static_cast<char>(hexValue(static_cast<unsigned char>(text[i + 1])) * 16 +
                                  hexValue(static_cast<unsigned char>(text[i + 2]))));
            i += 2;
        } else {
            bytes.push_back(text[i]);
        }
    }
    return toValidUtf8(bytes);
}

std::vector<std::string_view> split(std::string_view text, std::string_view separator) {
    std::vector<std::string_view> pieces;
    std::size_t start = 0;
    while (true) {
        std::size_t found = text.find(separator, start);
        pieces.push_back(text.substr(start, found - start));
        if (found == std::string_view::npos) break;
        start = found + separator.size();
    }
    return pieces;
}

// Trims tabs and Unicode space separators from both ends of valid UTF-8 text.
std::string_view trimHorizontalSpace(std::string_view text) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    auto length = static_cast<int32_t>(text.size());
    int32_t start = 0;
    while (start < length) {
        int32_t next = start;
        UChar32 c;
        U8_NEXT(bytes, next, length, c);
        if (c < 0 || !u_isblank(c)) break;
        start = next;
    }
    int32_t end = length;
    while (end > start) {
        int32_t previous = end;
        UChar32 c;
        U8_PREV(bytes, start, previous, c);
        if (c < 0 || !u_isblank(c)) break;
        end = previous;
    }
    return text.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start));
}

}  // namespace

std::optional<Target> parseTarget(std::string_view target) {
    // The target is read as if it followed "http://h", so its first characters up to "/", "?"
    // or "#" extend the host part of that address.
    std::size_t authorityEnd = target.find_first_of("/?#");
    std::string authority = "h" + std::string(target.substr(0, authorityEnd));
    if (!validAuthority(authority)) return std::nullopt;
    std::string_view rest =
        authorityEnd == std::string_view::npos ? std::string_view() : target.substr(authorityEnd);

    std::string_view fragment;
    if (std::size_t hash = rest.find('#'); hash != std::string_view::npos) {
        fragment = rest.substr(hash + 1);
        rest = rest.substr(0, hash);
    }
    std::string_view rawQuery;
    bool hasQuery = false;
    if (std::size_t question = rest.find('?'); question != std::string_view::npos) {
        rawQuery = rest.substr(question + 1);
        rest = rest.substr(0, question);
        hasQuery = true;
    }
    if (!matches(rest, [](unsigned char c) { return isPchar(c) || c == '/'; })) return std::nullopt;
    if (!matches(rawQuery, isQueryChar) || !matches(fragment, isQueryChar)) return std::nullopt;

    Target parsed;
    parsed.path = percentDecode(rest);
    if (hasQuery) {
        for (std::string_view item : split(rawQuery, "&")) {
            if (item.empty()) continue;
            std::size_t equals = item.find('=');
            std::string name = percentDecode(item.substr(0, equals));
            std::string value = equals == std::string_view::npos
                                    ? std::string()
                                    : percentDecode(item.substr(equals + 1));
            parsed.query[std::move(name)] = std::move(value);
        }
    }
    return parsed;
}

std::optional<Request> parseRequest(std::string_view headText) {
    std::vector<std::string_view> lines = split(headText, "\r\n");
    std::vector<std::string_view> pieces;
    for (std::string_view piece : split(lines.front(), " "))
        if (!piece.empty()) pieces.push_back(piece);
    if (pieces.size() < 2) return std::nullopt;

    auto target = parseTarget(pieces[1]);
    if (!target) return std::nullopt;

    Request request;
    request.method = std::string(pieces[0]);
    request.rawPath = std::string(pieces[1]);
    request.path = std::move(target->path);
    request.query = std::move(target->query);
    for (std::size_t i = 1; i < lines.size(); ++i) {
        std::string_view line = lines[i];
        std::size_t colon = line.find(':');
        if (colon == std::string_view::npos) continue;
        std::string name(line.substr(0, colon));
        std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) {
            return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        });
        request.headers[std::move(name)] = std::string(trimHorizontalSpace(line.substr(colon + 1)));
    }
    return request;
}

}  // namespace skiff::server
