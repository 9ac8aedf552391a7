#include "media/file_kinds.hpp"

#include <algorithm>
#include <array>
#include <string_view>

namespace skiff::media {
namespace {

enum class TypeClass { image, movie, pdf, audio, text, other };

struct KnownExtension {
    std::string_view extension;  // lower case, no dot
    TypeClass typeClass;
    std::string_view mimeType;
};

constexpr std::string_view kPlainText = "text/plain; charset=utf-8";
constexpr std::string_view kOpaque = "application/octet-stream";

// Rows of class "other" are known but are never shown inline, so their MIME type only
// documents what the file is.
constexpr std::array kExtensions = std::to_array<KnownExtension>({
    {"jpg", TypeClass::image, "image/jpeg"},
    {"jpeg", TypeClass::image, "image/jpeg"},
    {"jpe", TypeClass::image, "image/jpeg"},
    {"jfif", TypeClass::image, "image/jpeg"},
    {"png", TypeClass::image, "image/png"},
    {"apng", TypeClass::image, "image/apng"},
    {"gif", TypeClass::image, "image/gif"},
    {"webp", TypeClass::image, "image/webp"},
    {"heic", TypeClass::image, "image/heic"},
    {"heif", TypeClass::image, "image/heif"},
    {"hif", TypeClass::image, "image/heif"},
    {"avif", TypeClass::image, "image/avif"},
    {"jxl", TypeClass::image, "image/jxl"},
    {"tif", TypeClass::image, "image/tiff"},
    {"tiff", TypeClass::image, "image/tiff"},
    {"bmp", TypeClass::image, "image/bmp"},
    {"ico", TypeClass::image, "image/vnd.microsoft.icon"},
    {"dng", TypeClass::image, "image/x-adobe-dng"},
    {"cr2", TypeClass::image, "image/x-canon-cr2"},
    {"cr3", TypeClass::image, "image/x-canon-cr3"},
    {"nef", TypeClass::image, "image/x-nikon-nef"},
    {"arw", TypeClass::image, "image/x-sony-arw"},

    {"mp4", TypeClass::movie, "video/mp4"},
    {"m4v", TypeClass::movie, "video/x-m4v"},
    {"mov", TypeClass::movie, "video/quicktime"},
    {"qt", TypeClass::movie, "video/quicktime"},
    {"avi", TypeClass::movie, "video/x-msvideo"},
    {"mkv", TypeClass::movie, "video/x-matroska"},
    {"webm", TypeClass::movie, "video/webm"},
    {"3gp", TypeClass::movie, "video/3gpp"},
    {"3g2", TypeClass::movie, "video/3gpp2"},
    {"mpg", TypeClass::movie, "video/mpeg"},
    {"mpeg", TypeClass::movie, "video/mpeg"},
    {"vob", TypeClass::movie, "video/mpeg"},
    {"mts", TypeClass::movie, "video/mp2t"},
    {"m2ts", TypeClass::movie, "video/mp2t"},
    {"ts", TypeClass::movie, "video/mp2t"},
    {"wmv", TypeClass::movie, "video/x-ms-wmv"},
    {"asf", TypeClass::movie, "video/x-ms-asf"},
    {"flv", TypeClass::movie, "video/x-flv"},
    {"ogv", TypeClass::movie, "video/ogg"},

    {"pdf", TypeClass::pdf, "application/pdf"},

    {"mp3", TypeClass::audio, "audio/mpeg"},
    {"m4a", TypeClass::audio, "audio/mp4"},
    {"aac", TypeClass::audio, "audio/aac"},
    {"wav", TypeClass::audio, "audio/wav"},
    {"flac", TypeClass::audio, "audio/flac"},
    {"ogg", TypeClass::audio, "audio/ogg"},
    {"oga", TypeClass::audio, "audio/ogg"},
    {"opus", TypeClass::audio, "audio/ogg"},
    {"amr", TypeClass::audio, "audio/amr"},
    {"aif", TypeClass::audio, "audio/aiff"},
    {"aiff", TypeClass::audio, "audio/aiff"},
    {"caf", TypeClass::audio, "audio/x-caf"},
    {"wma", TypeClass::audio, "audio/x-ms-wma"},
    {"mid", TypeClass::audio, "audio/midi"},
    {"midi", TypeClass::audio, "audio/midi"},

    {"txt", TypeClass::text, kPlainText},
    {"log", TypeClass::text, kPlainText},
    {"md", TypeClass::text, kPlainText},
    {"csv", TypeClass::text, kPlainText},

    // SVG is a picture format but may carry script, so it is never treated as one.
    {"svg", TypeClass::other, "image/svg+xml"},
    {"svgz", TypeClass::other, "image/svg+xml"},
    {"html", TypeClass::other, "text/html"},
    {"htm", TypeClass::other, "text/html"},
    {"xhtml", TypeClass::other, "application/xhtml+xml"},
    {"xml", TypeClass::other, "application/xml"},
    {"js", TypeClass::other, "text/javascript"},
    {"mjs", TypeClass::other, "text/javascript"},
    {"css", TypeClass::other, "text/css"},
    {"json", TypeClass::other, "application/json"},
    {"rtf", TypeClass::other, "application/rtf"},
    {"ics", TypeClass::other, "text/calendar"},
    {"vcf", TypeClass::other, "text/vcard"},
    {"zip", TypeClass::other, "application/zip"},
    {"gz", TypeClass::other, "application/gzip"},
    {"tar", TypeClass::other, "application/x-tar"},
    {"7z", TypeClass::other, "application/x-7z-compressed"},
    {"rar", TypeClass::other, "application/vnd.rar"},
    {"epub", TypeClass::other, "application/epub+zip"},
    {"apk", TypeClass::other, "application/vnd.android.package-archive"},
    {"doc", TypeClass::other, "application/msword"},
    {"xls", TypeClass::other, "application/vnd.ms-excel"},
    {"ppt", TypeClass::other, "application/vnd.ms-powerpoint"},
    {"docx", TypeClass::other,
     "application/vnd.openxmlformats-officedocument.wordprocessingml.document"},
    {"xlsx", TypeClass::other, "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet"},
    {"pptx", TypeClass::other,
     "application/vnd.openxmlformats-officedocument.presentationml.presentation"},
    {"odt", TypeClass::other, "application/vnd.oasis.opendocument.text"},
    {"ods", TypeClass::other, "application/vnd.oasis.opendocument.spreadsheet"},
    {"odp", TypeClass::other, "application/vnd.oasis.opendocument.presentation"},
});

const KnownExtension* lookUp(const std::filesystem::path& file) {
    std::string extension = file.extension().string();
    if (extension.size() < 2) return nullptr;  // none, or a bare trailing dot
    extension.erase(0, 1);
    // Every row is ASCII, so ASCII folding is exact here: any other byte cannot match anyway.
    std::transform(extension.begin(), extension.end(), extension.begin(), [](unsigned char c) {
        return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    });
    auto row =
        std::find_if(kExtensions.begin(), kExtensions.end(),
                     [&](const KnownExtension& known) { return known.extension == extension; });
    return row == kExtensions.end() ? nullptr : &*row;
}

bool hasClass(const std::filesystem::path& file, std::initializer_list<TypeClass> classes) {
    const KnownExtension* known = lookUp(file);
    return known && std::find(classes.begin(), classes.end(), known->typeClass) != classes.end();
}

}  // namespace

bool canThumb(const std::filesystem::path& file) {
    return hasClass(file, {TypeClass::image, TypeClass::movie, TypeClass::pdf});
}

bool isVideo(const std::filesystem::path& file) {
    return hasClass(file, {TypeClass::movie});
}

std::string fileKind(const std::filesystem::path& file) {
    const KnownExtension* known = lookUp(file);
    if (known && known->typeClass == TypeClass::image) return "image";
    if (known && known->typeClass == TypeClass::movie) return "video";
    return "file";
}

std::string inlineMimeType(const std::filesystem::path& file) {
    // An inline answer runs in the page's own origin, next to the session code, so anything
    // a browser might execute (HTML, SVG, XML, script) is sent as opaque bytes instead.
    const KnownExtension* known = lookUp(file);
    if (!known || known->typeClass == TypeClass::other) return std::string(kOpaque);
    return std::string(known->mimeType);
}

}  // namespace skiff::media
