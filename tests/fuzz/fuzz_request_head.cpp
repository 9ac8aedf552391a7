// Head collection and parsing, split where the input chooses: what the router relies on.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include <unicode/unistr.h>

#include "check.hpp"
#include "server/byte_range.hpp"
#include "server/decimal.hpp"
#include "server/request_parser.hpp"
#include "server/utf8.hpp"

using namespace skiff::server;

namespace {

bool isValidUtf8(const std::string& text) {
    return toValidUtf8(text) == text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::size_t cut = size ? data[0] % (size + 1) : 0;

    HeadReader reader(512);
    auto result = reader.feed(bytes.substr(0, cut));
    if (result == HeadReader::Result::needMore) result = reader.feed(bytes.substr(cut));
    if (result == HeadReader::Result::complete) {
        check(reader.head().find("\r\n\r\n") == std::string_view::npos);
        std::string head = toValidUtf8(reader.head());
        if (auto request = parseRequest(head)) {
            check(!request->method.empty());
            check(isValidUtf8(request->path));
            for (const auto& [name, value] : request->query)
                check(isValidUtf8(name) && isValidUtf8(value));
            for (const auto& [name, value] : request->headers) {
                check(name.find(':') == std::string::npos);
                check(isValidUtf8(value));
            }
        }
    } else if (result == HeadReader::Result::tooLarge) {
        check(reader.size() > 512);
    }

    // The target parser alone, on the raw bytes.
    if (auto target = parseTarget(bytes)) check(isValidUtf8(target->path));
    if (auto number = parseDecimal(bytes))
        check(bytes.find_first_not_of("0123456789") == std::string_view::npos);

    // Range headers against a file size taken from the input.
    std::string range(bytes);
    std::int64_t total = size >= 2 ? (std::int64_t{data[size - 1]} << 8 | data[size - 2]) : 0;
    if (auto resolved = resolveRange(&range, total)) {
        check(resolved->start >= 0 && resolved->start <= resolved->end);
        check(resolved->end < total || (total == 0 && !resolved->partial));
    }
    return 0;
}
