// Cleaned names and folders are safe to store; a download header from any name is one line.
#include <cstddef>
#include <cstdint>
#include <string>

#include "check.hpp"
#include "server/download_headers.hpp"
#include "server/file_names.hpp"
#include "server/utf8.hpp"

using namespace skiff::server;

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

    // The same bytes as the folder part of a path: every folder kept is one plain, visible name.
    FolderPath place = cleanFolderPath(name);
    if (place.refusal == FolderPath::Refusal::none) {
        check(place.folders.size() <= folderDepthLimit);
        for (const std::string& folder : place.folders) {
            check(!folder.empty() && folder.size() <= 248 && folder.front() != '.');
            check(folder.find('/') == std::string::npos && folder.find('\\') == std::string::npos);
            check(folder.find(':') == std::string::npos);
            for (unsigned char c : folder) check(c >= 0x20 && c != 0x7F);
            check(toValidUtf8(folder) == folder);
        }
        // Repaired bytes may grow past the limit; otherwise cleaning is stable.
        if (place.text().size() <= folderPathBytes) {
            FolderPath again = cleanFolderPath(place.text());
            check(again.refusal == FolderPath::Refusal::none && again.folders == place.folders);
        }
    } else {
        check(place.folders.empty());
    }

    std::string header = contentDisposition(name, size % 2 == 0);
    for (unsigned char c : header) check(c >= 0x20 && c < 0x7F);
    return 0;
}
