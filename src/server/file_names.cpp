#include "server/file_names.hpp"

#include <fcntl.h>
#include <stdio.h>
#include <unicode/brkiter.h>
#include <unicode/normalizer2.h>
#include <unicode/regex.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unistd.h>

#include <climits>
#include <functional>
#include <memory>
#include <vector>

#include "server/secure_random.hpp"
#include "server/utf8.hpp"

namespace skiff::server {

namespace {

constexpr std::size_t cleanedNameLimit = 200;  // UTF-8 bytes before a name is cut
constexpr int cutNameGraphemes = 150;
constexpr std::size_t fileNameLimit = 255 - 7;  // room for " (9999)"

icu::UnicodeString fromUtf8(std::string_view text) {
    return icu::UnicodeString::fromUTF8(
        icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
}

std::string toUtf8(const icu::UnicodeString& text) {
    std::string out;
    text.toUTF8String(out);
    return out;
}

// Offsets (in UTF-16 units) of grapheme cluster boundaries, the start and end included.
std::vector<int32_t> graphemeBoundaries(const icu::UnicodeString& text) {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> iterator(
        icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    std::vector<int32_t> boundaries;
    if (U_FAILURE(status)) {
        for (int32_t i = 0; i <= text.length(); i = text.moveIndex32(i, 1)) {
            boundaries.push_back(i);
            if (i == text.length()) break;
        }
        return boundaries;
    }
    iterator->setText(text);
    for (int32_t at = iterator->first(); at != icu::BreakIterator::DONE; at = iterator->next())
        boundaries.push_back(at);
    return boundaries;
}

// The longest run of whole graphemes from the start whose UTF-8 form fits `bytes`.
std::string cutToBytes(const std::string& text, std::size_t bytes) {
    if (text.size() <= bytes) return text;
    icu::UnicodeString unicode = fromUtf8(text);
    std::string best;
    for (int32_t boundary : graphemeBoundaries(unicode)) {
        std::string prefix = toUtf8(unicode.tempSubString(0, boundary));
        if (prefix.size() > bytes) break;
        best = std::move(prefix);
    }
    return best;
}

bool isSpaceOrTab(UChar32 c) {
    return c == ' ' || c == '\t';
}

}  // namespace

namespace {

// NFC, no control characters, direction marks or ":", trimmed; leading dots go too when
// `dropLeadingDots`. May come out empty.
std::string cleanPiece(icu::UnicodeString text, bool dropLeadingDots) {
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* nfc = icu::Normalizer2::getNFCInstance(status);
    icu::UnicodeString kept;
    for (int32_t i = 0; i < text.length(); i = text.moveIndex32(i, 1)) {
        UChar32 c = text.char32At(i);
        if (c == ':' || isControlOrDirectionMark(static_cast<char32_t>(c))) continue;
        kept.append(c);
    }
    // Dropping controls can join a letter to a combining mark that followed them.
    if (U_SUCCESS(status)) kept = nfc->normalize(kept, status);
    // Leading dots and surrounding blanks, until neither is left: ". .bashrc" must not come
    // out as a hidden ".bashrc".
    int32_t start = 0, end = kept.length();
    while (start < end &&
           ((dropLeadingDots && kept.charAt(start) == u'.') || isSpaceOrTab(kept.charAt(start))))
        ++start;
    while (end > start && isSpaceOrTab(kept.charAt(end - 1))) --end;
    return toUtf8(kept.tempSubString(start, end - start));
}

// Long names cut as the cleaning rule says, then to what the file system takes.
std::string cutLongName(std::string cleaned) {
    if (cleaned.size() > cleanedNameLimit) {
        icu::UnicodeString unicode = fromUtf8(cleaned);
        std::vector<int32_t> boundaries = graphemeBoundaries(unicode);
        if (boundaries.size() > static_cast<std::size_t>(cutNameGraphemes))
            cleaned = toUtf8(unicode.tempSubString(0, boundaries[cutNameGraphemes]));
    }
    cleaned = fitNameLength(cleaned);
    // A cut may end on a blank, which a name must not.
    while (!cleaned.empty() && (cleaned.back() == ' ' || cleaned.back() == '\t'))
        cleaned.pop_back();
    return cleaned;
}

icu::UnicodeString normalized(std::string_view name) {
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* nfc = icu::Normalizer2::getNFCInstance(status);
    icu::UnicodeString text = fromUtf8(name);
    if (U_SUCCESS(status)) text = nfc->normalize(text, status);
    return text;
}

// Names that Windows file systems and shares refuse or turn into devices (a receive folder on
// a USB stick or a share is common); "con.txt" counts as "con".
bool reservedName(const std::string& name) {
    std::string stem = name.substr(0, name.find('.'));
    while (!stem.empty() && stem.back() == ' ') stem.pop_back();
    for (char& c : stem)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (stem == "CON" || stem == "PRN" || stem == "AUX" || stem == "NUL") return true;
    return stem.size() == 4 && (stem.starts_with("COM") || stem.starts_with("LPT")) &&
           stem[3] >= '1' && stem[3] <= '9';
}

}  // namespace

std::string cleanFileName(std::string_view name) {
    icu::UnicodeString text = normalized(name);
    text.findAndReplace(u"\\", u"/");
    int32_t slash = text.lastIndexOf(u'/');
    if (slash >= 0) text.remove(0, slash + 1);

    std::string cleaned = cleanPiece(text, true);
    if (cleaned.empty() || cleaned == "..") return "file";
    cleaned = cutLongName(std::move(cleaned));
    return cleaned.empty() ? "file" : cleaned;
}

std::string textFileName(std::string_view text) {
    constexpr int nameWords = 6;
    constexpr std::size_t nameBytes = 60;
    // Slashes split a link into words here, rather than cut it to its last piece.
    icu::UnicodeString unicode = normalized(text);
    unicode.findAndReplace(u"\\", u" ").findAndReplace(u"/", u" ");
    icu::UnicodeString words;
    int count = 0;
    bool inWord = false;
    for (int32_t i = 0; i < unicode.length(); i = unicode.moveIndex32(i, 1)) {
        UChar32 c = unicode.char32At(i);
        if (u_isUWhiteSpace(c) || isControlOrDirectionMark(static_cast<char32_t>(c))) {
            inWord = false;
            continue;
        }
        if (!inWord) {
            if (count == nameWords) break;
            if (count++ > 0) words.append(u' ');
            inWord = true;
        }
        words.append(c);
    }
    std::string stem = cutToBytes(cleanPiece(words, true), nameBytes);
    // "Xin chào." would end up as "Xin chào..txt".
    while (!stem.empty() && (stem.back() == '.' || stem.back() == ' ')) stem.pop_back();
    if (stem.empty()) stem = "Văn bản";
    return stem + ".txt";
}

FolderPath cleanFolderPath(std::string_view path) {
    if (path.size() > folderPathBytes) return {{}, FolderPath::Refusal::tooLong};
    icu::UnicodeString text = normalized(path);
    text.findAndReplace(u"\\", u"/");
    // "Ảnh/2024/" as the page sends it; the one slash at the end closes the last folder.
    if (text.endsWith(u"/")) text.truncate(text.length() - 1);
    FolderPath result;
    if (text.isEmpty()) return result;
    std::vector<icu::UnicodeString> pieces;
    for (int32_t start = 0;;) {
        int32_t slash = text.indexOf(u'/', start);
        pieces.push_back(text.tempSubString(start, slash < 0 ? INT32_MAX : slash - start));
        if (pieces.size() > folderDepthLimit) return {{}, FolderPath::Refusal::tooDeep};
        if (slash < 0) break;
        start = slash + 1;
    }
    for (const auto& piece : pieces) {
        std::string cleaned = cleanPiece(piece, false);
        // Refused rather than mended: a quietly renamed ".git" or ".." would put files where
        // nobody looks for them.
        if (cleaned == "." || cleaned == "..") return {{}, FolderPath::Refusal::dots};
        if (cleaned.starts_with(".")) return {{}, FolderPath::Refusal::hidden};
        cleaned = cutLongName(std::move(cleaned));
        if (cleaned.empty()) return {{}, FolderPath::Refusal::empty};
        if (reservedName(cleaned)) return {{}, FolderPath::Refusal::reserved};
        result.folders.push_back(std::move(cleaned));
    }
    return result;
}

std::string FolderPath::text() const {
    std::string joined;
    for (const auto& folder : folders) joined += folder + "/";
    return joined;
}

const char* refusalCode(FolderPath::Refusal refusal) {
    switch (refusal) {
        case FolderPath::Refusal::none:
            return "";
        case FolderPath::Refusal::empty:
            return "empty";
        case FolderPath::Refusal::dots:
            return "dots";
        case FolderPath::Refusal::hidden:
            return "hidden";
        case FolderPath::Refusal::reserved:
            return "reserved";
        case FolderPath::Refusal::tooDeep:
            return "too deep";
        case FolderPath::Refusal::tooLong:
            return "too long";
    }
    return "";
}

std::string fitNameLength(const std::string& name) {
    if (name.size() <= fileNameLimit) return name;
    NameParts parts = splitExtension(name);
    // Keep a sensible extension (".jpg", ".tar.gz"'s "gz"); a huge one is just more name.
    if (!parts.extension.empty() && parts.extension.size() <= 16) {
        std::string base = cutToBytes(parts.base, fileNameLimit - 1 - parts.extension.size());
        if (!base.empty()) return base + "." + parts.extension;
    }
    return cutToBytes(name, fileNameLimit);
}

NameParts splitExtension(const std::string& name) {
    std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0 || dot + 1 == name.size()) return {name, ""};
    return {name.substr(0, dot), name.substr(dot + 1)};
}

std::string numberedName(const NameParts& parts, int n) {
    std::string name = parts.base + " (" + std::to_string(n) + ")";
    if (!parts.extension.empty()) name += "." + parts.extension;
    return name;
}

std::string uniqueName(const std::string& name,
                       const std::function<bool(const std::string&)>& taken, bool wholeName) {
    if (!taken(name)) return name;
    NameParts parts = wholeName ? NameParts{name, ""} : splitExtension(name);

    // Receiving "a (2).jpg" next to an existing one counts on from "a", not "a (2)".
    UErrorCode status = U_ZERO_ERROR;
    icu::RegexMatcher counter(u" \\(\\d+\\)$", 0, status);
    icu::UnicodeString base = fromUtf8(parts.base);
    if (U_SUCCESS(status)) {
        counter.reset(base);
        if (counter.find()) {
            int32_t start = counter.start(status);
            if (U_SUCCESS(status)) parts.base = toUtf8(base.tempSubString(0, start));
        }
    }

    for (int n = 2; n <= 9999; ++n) {
        std::string candidate = numberedName(parts, n);
        if (!taken(candidate)) return candidate;
    }
    std::string uuid = randomUuid();
    return parts.extension.empty() ? uuid : uuid + "." + parts.extension;
}

std::filesystem::path uniqueDestination(const std::filesystem::path& destination) {
    std::filesystem::path folder = destination.parent_path();
    return folder / uniqueName(destination.filename().string(), [&](const std::string& name) {
               std::error_code error;
               return std::filesystem::exists(
                   std::filesystem::symlink_status(folder / name, error));
           });
}

std::optional<std::filesystem::path> moveToFreeName(const std::filesystem::path& from,
                                                    std::filesystem::path destination,
                                                    int attempts) {
    for (int attempt = 0; attempt < attempts; ++attempt) {
        if (attempt > 0) destination = uniqueDestination(destination);
        if (!moveWithoutReplacing(from, destination)) return destination;
    }
    return std::nullopt;
}

bool syncFolder(const std::filesystem::path& folder) {
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    bool ok = ::fsync(fd) == 0;
    return ::close(fd) == 0 && ok;
}

std::error_code moveWithoutReplacing(const std::filesystem::path& from,
                                     const std::filesystem::path& to) {
    return moveWithoutReplacingAt(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str());
}

std::error_code moveWithoutReplacingAt(int fromDir, const char* from, int toDir, const char* to) {
    if (renameat2(fromDir, from, toDir, to, RENAME_NOREPLACE) == 0) return {};
    int error = errno;
    if (error != EINVAL && error != ENOSYS) return {error, std::generic_category()};
    // File systems without RENAME_NOREPLACE: a hard link also refuses to replace.
    if (linkat(fromDir, from, toDir, to, 0) == 0) {
        unlinkat(fromDir, from, 0);
        return {};
    }
    return {errno, std::generic_category()};
}

}  // namespace skiff::server
