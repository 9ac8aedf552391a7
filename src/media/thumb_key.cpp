#include "media/thumb_key.hpp"

#include <sys/stat.h>

#include <charconv>
#include <string_view>

namespace skiff::media {
namespace {

std::string secondsText(double seconds) {
    char text[400];  // fixed notation of any double fits
    auto [end, error] = std::to_chars(text, text + sizeof text, seconds, std::chars_format::fixed);
    if (error != std::errc()) return "0.0";
    std::string written(text, end);
    // Fixed notation drops the fraction of whole numbers; keep it so every key spells its
    // time the same way, unknown ones included.
    if (written.find('.') == std::string::npos) written += ".0";
    return written;
}

}  // namespace

std::string thumbKey(const std::filesystem::path& file, int side) {
    std::string modified = "0.0";
    std::string size = "0";
    struct stat facts {};
    if (::stat(file.c_str(), &facts) == 0) {
        modified = secondsText(static_cast<double>(facts.st_mtim.tv_sec) +
                               static_cast<double>(facts.st_mtim.tv_nsec) / 1e9);
        size = std::to_string(static_cast<unsigned long long>(facts.st_size));
    }
    std::string key = file.string();
    key += '|';
    key += modified;
    key += '|';
    key += size;
    key += '|';
    key += std::to_string(side);
    return key;
}

}  // namespace skiff::media
