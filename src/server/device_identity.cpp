#include "server/device_identity.hpp"

#include <cstddef>
#include <limits>
#include <memory>

#include <unicode/brkiter.h>
#include <unicode/locid.h>
#include <unicode/regex.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

namespace skiff::server {
namespace {

bool has(std::string_view text, std::string_view word) {
    return text.find(word) != std::string_view::npos;
}

constexpr int kMaxModelCharacters = 24;

const icu::RegexPattern* modelPattern() {
    // Compiled once; a compiled pattern may be shared by matchers on several threads.
    static const std::unique_ptr<icu::RegexPattern> pattern = [] {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::RegexPattern> compiled(icu::RegexPattern::compile(
            icu::UnicodeString::fromUTF8(R"(Android [0-9.]+; ([^;)]{2,30})\))"), 0, status));
        if (U_FAILURE(status)) compiled.reset();
        return compiled;
    }();
    return pattern.get();
}

// The text between "Android <version>; " and the next ")", if it is 2 to 30 characters.
std::optional<icu::UnicodeString> rawModel(const icu::UnicodeString& userAgent) {
    const icu::RegexPattern* pattern = modelPattern();
    if (!pattern) return std::nullopt;
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::RegexMatcher> matcher(pattern->matcher(userAgent, status));
    if (U_FAILURE(status) || !matcher->find(status) || U_FAILURE(status)) return std::nullopt;
    icu::UnicodeString model = matcher->group(1, status);
    if (U_FAILURE(status)) return std::nullopt;
    return model;
}

bool isAllowedInModel(UChar32 c) {
    return (U_GET_GC_MASK(c) & (U_GC_L_MASK | U_GC_N_MASK)) != 0 || c == ' ' || c == '-' ||
           c == '_' || c == '.';
}

icu::UnicodeString keepAllowed(const icu::UnicodeString& text) {
    icu::UnicodeString kept;
    for (int32_t i = 0; i < text.length(); i = text.moveIndex32(i, 1)) {
        UChar32 c = text.char32At(i);
        if (isAllowedInModel(c)) kept.append(c);
    }
    return kept;
}

icu::UnicodeString trimBlanks(const icu::UnicodeString& text) {
    int32_t begin = 0;
    int32_t end = text.length();
    while (begin < end && u_isblank(text.char32At(begin))) begin = text.moveIndex32(begin, 1);
    while (end > begin && u_isblank(text.char32At(end - 1))) end = text.moveIndex32(end, -1);
    return icu::UnicodeString(text, begin, end - begin);
}

struct GraphemePrefix {
    int32_t count = 0;  // user-perceived characters in the prefix
    int32_t end = 0;    // code-unit offset just past them
};

// The first `limit` user-perceived characters of text, or all of them when there are fewer.
std::optional<GraphemePrefix> graphemePrefix(const icu::UnicodeString& text, int32_t limit) {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> characters(
        icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    if (U_FAILURE(status)) return std::nullopt;
    characters->setText(text);
    GraphemePrefix prefix;
    for (int32_t next = characters->next();
         next != icu::BreakIterator::DONE && prefix.count < limit; next = characters->next()) {
        ++prefix.count;
        prefix.end = next;
    }
    return prefix;
}

std::string toUtf8(const icu::UnicodeString& text) {
    std::string utf8;
    text.toUTF8String(utf8);
    return utf8;
}

}  // namespace

std::string deviceLabel(std::string_view userAgent) {
    if (has(userAgent, "iPhone")) return "iPhone";
    if (has(userAgent, "iPad")) return "iPad";
    if (has(userAgent, "Android")) return "Điện thoại Android";
    if (has(userAgent, "Windows")) return "Máy Windows";
    // iPad Safari asks for desktop pages and then calls itself a Mac, but still says Mobile.
    if (has(userAgent, "Macintosh") && has(userAgent, "Mobile")) return "iPad";
    if (has(userAgent, "Macintosh")) return "Máy Mac";
    if (has(userAgent, "Linux")) return "Máy Linux";
    return "Thiết bị";
}

std::string deviceKind(std::string_view userAgent) {
    if (has(userAgent, "iPad")) return "ipad";
    if (has(userAgent, "Macintosh") && has(userAgent, "Mobile")) return "ipad";
    if (has(userAgent, "iPhone")) return "iphone";
    if (has(userAgent, "iPod")) return "iphone";
    if (has(userAgent, "Android") && has(userAgent, "Mobile")) return "android";
    if (has(userAgent, "Android")) return "tablet";
    if (has(userAgent, "Windows")) return "windows";
    if (has(userAgent, "Macintosh")) return "mac";
    return "other";
}

std::optional<std::string> androidModel(std::string_view userAgent) {
    if (!has(userAgent, "Android")) return std::nullopt;
    if (userAgent.size() > static_cast<std::size_t>(std::numeric_limits<int32_t>::max()))
        return std::nullopt;
    // Header bytes need not be UTF-8; bad sequences become U+FFFD and are filtered out below.
    std::optional<icu::UnicodeString> raw = rawModel(icu::UnicodeString::fromUTF8(
        icu::StringPiece(userAgent.data(), static_cast<int32_t>(userAgent.size()))));
    if (!raw) return std::nullopt;

    icu::UnicodeString model = *raw;
    if (int32_t build = model.indexOf(u" Build/"); build >= 0) model.truncate(build);
    model = trimBlanks(keepAllowed(model));

    std::optional<GraphemePrefix> prefix = graphemePrefix(model, kMaxModelCharacters);
    if (!prefix || prefix->count < 2) return std::nullopt;
    // "Mobile" is what some browsers put in the model slot; "wv" marks an in-app web view.
    icu::UnicodeString folded = model;
    folded.foldCase();
    if (folded == u"mobile" || folded.startsWith(u"wv")) return std::nullopt;
    return toUtf8(model.tempSubString(0, prefix->end));
}

std::string deviceName(std::string_view userAgent) {
    std::string base =
        deviceKind(userAgent) == "tablet" ? "Máy tính bảng Android" : deviceLabel(userAgent);
    if (std::optional<std::string> model = androidModel(userAgent)) return base + " · " + *model;
    return base;
}

}  // namespace skiff::server
