#include "media/capture_date.hpp"

#include <charconv>
#include <cmath>
#include <ctime>
#include <string>

extern "C" {
#include <libavformat/avformat.h>
}

#include "media/file_kinds.hpp"
#include "media/video_container.hpp"
#include "media/vips_runtime.hpp"

namespace skiff::media {
namespace {

// Cameras with an unset clock write 1970, 1904 (QuickTime's zero) or 0000: none is a real date.
constexpr int kFirstPlausibleYear = 1980;

bool number(std::string_view text, std::size_t at, std::size_t digits, int& out) {
    if (at + digits > text.size()) return false;
    for (std::size_t i = at; i < at + digits; ++i)
        if (text[i] < '0' || text[i] > '9') return false;
    std::from_chars(text.data() + at, text.data() + at + digits, out);
    return true;
}

// "+07:00", "-0530" or "Z" in seconds east of UTC.
std::optional<int> parseOffset(std::string_view text) {
    if (text == "Z") return 0;
    if (text.size() < 5 || (text[0] != '+' && text[0] != '-')) return std::nullopt;
    int hours = 0, minutes = 0;
    std::size_t minuteAt = text[3] == ':' ? 4 : 3;
    if (!number(text, 1, 2, hours) || !number(text, minuteAt, 2, minutes) ||
        text.size() != minuteAt + 2 || hours > 14 || minutes > 59)
        return std::nullopt;
    int seconds = hours * 3600 + minutes * 60;
    return text[0] == '-' ? -seconds : seconds;
}

// libvips shows an EXIF text field as "value (value, ASCII, 20 components, 20 bytes)".
std::string exifField(VipsImage* image, const char* name) {
    const char* value = nullptr;
    if (vips_image_get_typeof(image, name) == 0 ||
        vips_image_get_string(image, name, &value) != 0 || !value) {
        clearVipsError();
        return {};
    }
    std::string text(value);
    return text.substr(0, text.find(" ("));
}

std::optional<double> pictureDate(const std::filesystem::path& file) {
    if (!ensureVips()) return std::nullopt;
    // Only the header is read: libvips decodes pixels when they are asked for.
    VipsImagePtr image(
        vips_image_new_from_file(file.c_str(), "access", VIPS_ACCESS_SEQUENTIAL, nullptr));
    if (!image) {
        clearVipsError();
        return std::nullopt;
    }
    std::string taken = exifField(image.get(), "exif-ifd2-DateTimeOriginal");
    if (taken.empty()) return std::nullopt;
    // Older libexif builds know the offset tag by number only.
    std::string offset = exifField(image.get(), "exif-ifd2-OffsetTimeOriginal");
    if (offset.empty()) offset = exifField(image.get(), "exif-ifd2-0x9011");
    return parseCaptureStamp(taken, offset);
}

std::optional<double> videoDate(const std::filesystem::path& file) {
    VideoContainer context = openVideoContainer(file);
    if (!context) return std::nullopt;
    // iPhones write the local time with its offset here; creation_time is the same moment in UTC.
    for (const char* key : {"com.apple.quicktime.creationdate", "creation_time"}) {
        const AVDictionaryEntry* entry = av_dict_get(context->metadata, key, nullptr, 0);
        if (!entry || !entry->value) continue;
        if (auto when = parseCaptureStamp(entry->value)) return when;
    }
    return std::nullopt;
}

}  // namespace

std::optional<double> parseCaptureStamp(std::string_view stamp, std::string_view offset) {
    std::tm parts{};
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    char dateMark = stamp.size() > 4 ? stamp[4] : 0;
    if ((dateMark != ':' && dateMark != '-') || stamp.size() < 19 || stamp[7] != dateMark ||
        (stamp[10] != ' ' && stamp[10] != 'T') || stamp[13] != ':' || stamp[16] != ':' ||
        !number(stamp, 0, 4, year) || !number(stamp, 5, 2, month) || !number(stamp, 8, 2, day) ||
        !number(stamp, 11, 2, hour) || !number(stamp, 14, 2, minute) ||
        !number(stamp, 17, 2, second))
        return std::nullopt;
    if (year < kFirstPlausibleYear || month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 ||
        minute > 59 || second > 60)
        return std::nullopt;

    std::string_view rest = stamp.substr(19);
    double fraction = 0;
    if (!rest.empty() && rest[0] == '.') {
        std::size_t end = 1;
        while (end < rest.size() && rest[end] >= '0' && rest[end] <= '9') ++end;
        fraction = std::stod("0" + std::string(rest.substr(0, end)));
        rest = rest.substr(end);
    }
    std::optional<int> east;
    if (!rest.empty()) {
        east = parseOffset(rest);
        if (!east) return std::nullopt;
    } else if (!offset.empty()) {
        east = parseOffset(offset);
    }

    parts.tm_year = year - 1900;
    parts.tm_mon = month - 1;
    parts.tm_mday = day;
    parts.tm_hour = hour;
    parts.tm_min = minute;
    parts.tm_sec = second;
    parts.tm_isdst = -1;
    std::time_t seconds = east ? ::timegm(&parts) - *east : std::mktime(&parts);
    if (seconds == static_cast<std::time_t>(-1)) return std::nullopt;
    return static_cast<double>(seconds) + fraction;
}

std::optional<double> captureDate(const std::filesystem::path& file) {
    std::string kind = fileKind(file);
    if (kind == "image") return pictureDate(file);
    if (kind == "video") return videoDate(file);
    return std::nullopt;
}

}  // namespace skiff::media
