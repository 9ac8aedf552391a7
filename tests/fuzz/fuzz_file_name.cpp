// Arbitrary names as phones may send them: the cleaned name must be safe to store, and the
// download headers built from any name must be one well-formed header line.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "server/download_headers.hpp"
#include "server/file_names.hpp"
#include "server/utf8.hpp"

using namespace skiff::server;

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string name(reinterpret_cast<const char*>(data), size);

    std::string cleaned = cleanFileName(name);
    check(!cleaned.empty() && cleaned.size() <= 248);
    check(cleaned.find('/') == std::string::npos && cleaned.find('\\') == std::string::npos);
    check(cleaned.find(':') == std::string::npos && cleaned.front() != '.');
    check(cleaned != "." && cleaned != "..");
    for (unsigned char c : cleaned) check(c >= 0x20 && c != 0x7F);
    check(toValidUtf8(cleaned) == cleaned);
    check(cleanFileName(cleaned) == cleaned);  // cleaning is stable

    std::string header = contentDisposition(name, size % 2 == 0);
    for (unsigned char c : header) check(c >= 0x20 && c < 0x7F);
    return 0;
}
