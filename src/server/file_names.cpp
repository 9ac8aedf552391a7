#include "server/file_names.hpp"

#include <fcntl.h>
#include <stdio.h>
#include <unicode/brkiter.h>
#include <unicode/normalizer2.h>
#include <unicode/regex.h>
#include <unicode/unistr.h>
#include <unistd.h>

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

std::string cleanFileName(std::string_view name) {
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* nfc = icu::Normalizer2::getNFCInstance(status);
    icu::UnicodeString text = fromUtf8(name);
    if (U_SUCCESS(status)) text = nfc->normalize(text, status);

    text.findAndReplace(u"\\", u"/");
    int32_t slash = text.lastIndexOf(u'/');
    if (slash >= 0) text.remove(0, slash + 1);

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
    while (start < end && (kept.charAt(start) == u'.' || isSpaceOrTab(kept.charAt(start)))) ++start;
    while (end > start && isSpaceOrTab(kept.charAt(end - 1))) --end;
    std::string cleaned = toUtf8(kept.tempSubString(start, end - start));

    if (cleaned.empty() || cleaned == "..") return "file";
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
    return cleaned.empty() ? "file" : cleaned;
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

std::filesystem::path uniqueDestination(const std::filesystem::path& destination) {
    std::error_code error;
    if (!std::filesystem::exists(std::filesystem::symlink_status(destination, error))) {
        return destination;
    }
    std::filesystem::path folder = destination.parent_path();
    NameParts parts = splitExtension(destination.filename().string());

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
        std::filesystem::path candidate = folder / numberedName(parts, n);
        if (!std::filesystem::exists(std::filesystem::symlink_status(candidate, error)))
            return candidate;
    }
    std::string uuid = randomUuid();
    return folder / (parts.extension.empty() ? uuid : uuid + "." + parts.extension);
}

std::error_code moveWithoutReplacing(const std::filesystem::path& from,
                                     const std::filesystem::path& to) {
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return {};
    int error = errno;
    if (error != EINVAL && error != ENOSYS) return {error, std::generic_category()};
    // File systems without RENAME_NOREPLACE: a hard link also refuses to replace.
    if (link(from.c_str(), to.c_str()) == 0) {
        unlink(from.c_str());
        return {};
    }
    return {errno, std::generic_category()};
}

}  // namespace skiff::server
