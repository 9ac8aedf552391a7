#include "server/computer_name.hpp"

#include <unistd.h>

#include <climits>
#include <fstream>
#include <iterator>
#include <optional>
#include <string_view>

#include <unicode/unistr.h>

namespace skiff::server {
namespace {

// Far larger than any real machine-info file; stops us reading a runaway file whole.
constexpr std::size_t kMaxMachineInfoBytes = 64 * 1024;

bool isNewline(char c) {
    return c == '\n' || c == '\r';
}
bool isBlank(char c) {
    return c == ' ' || c == '\t' || isNewline(c);
}

// Reads the value of `key` from text in the environment-file form that machine-info uses:
// KEY=value lines, '#' or ';' comments, values unquoted, '...' or "..." with backslash
// escapes as a shell reads them. The last assignment wins.
std::optional<std::string> findAssignment(std::string_view text, std::string_view key) {
    enum class State {
        beforeKey,
        inKey,
        beforeValue,
        inValue,
        valueEscape,
        singleQuoted,
        doubleQuoted,
        doubleQuotedEscape,
        comment,
        commentEscape,
    };
    std::optional<std::string> found;
    State state = State::beforeKey;
    std::string name;
    std::string value;
    std::size_t valueKeep = 0;  // value length without its unquoted trailing blanks

    auto finishLine = [&] {
        value.resize(valueKeep);
        if (name == key) found = value;
        name.clear();
        value.clear();
        valueKeep = 0;
        state = State::beforeKey;
    };
    auto append = [&](char c, bool quoted) {
        value.push_back(c);
        if (quoted || !isBlank(c)) valueKeep = value.size();
    };

    for (char c : text) {
        switch (state) {
            case State::beforeKey:
                if (c == '#' || c == ';') {
                    state = State::comment;
                } else if (!isBlank(c)) {
                    name.assign(1, c);
                    state = State::inKey;
                }
                break;
            case State::inKey:
                if (isNewline(c)) {
                    name.clear();
                    state = State::beforeKey;
                } else if (c == '=') {
                    while (!name.empty() && isBlank(name.back())) name.pop_back();
                    state = State::beforeValue;
                } else {
                    name.push_back(c);
                }
                break;
            case State::beforeValue:
                if (isNewline(c)) {
                    finishLine();
                } else if (c == '\'') {
                    state = State::singleQuoted;
                } else if (c == '"') {
                    state = State::doubleQuoted;
                } else if (c == '\\') {
                    state = State::valueEscape;
                } else if (!isBlank(c)) {
                    append(c, false);
                    state = State::inValue;
                }
                break;
            case State::inValue:
                if (isNewline(c)) {
                    finishLine();
                } else if (c == '\\') {
                    state = State::valueEscape;
                } else {
                    append(c, false);
                }
                break;
            case State::valueEscape:
                // A backslash before a line break continues the value on the next line.
                if (!isNewline(c)) append(c, true);
                state = State::inValue;
                break;
            case State::singleQuoted:
                if (c == '\'') {
                    state = State::beforeValue;
                } else {
                    append(c, true);
                }
                break;
            case State::doubleQuoted:
                if (c == '"') {
                    state = State::beforeValue;
                } else if (c == '\\') {
                    state = State::doubleQuotedEscape;
                } else {
                    append(c, true);
                }
                break;
            case State::doubleQuotedEscape:
                // As in a shell, only these characters lose their backslash inside "...".
                if (c == '"' || c == '\\' || c == '`' || c == '$') {
                    append(c, true);
                } else if (c != '\n') {
                    append('\\', true);
                    append(c, true);
                }
                state = State::doubleQuoted;
                break;
            case State::comment:
                if (c == '\\') {
                    state = State::commentEscape;
                } else if (isNewline(c)) {
                    state = State::beforeKey;
                }
                break;
            case State::commentEscape:
                state = State::comment;
                break;
        }
    }
    // A last line without a line break still counts, unless it was cut inside a key.
    if (state != State::beforeKey && state != State::inKey && state != State::comment &&
        state != State::commentEscape) {
        finishLine();
    }
    return found;
}

std::optional<std::string> prettyHostName(const std::filesystem::path& machineInfo) {
    std::ifstream in(machineInfo, std::ios::binary);
    if (!in) return std::nullopt;
    std::string text;
    text.resize(kMaxMachineInfoBytes);
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    return findAssignment(text, "PRETTY_HOSTNAME");
}

std::optional<std::string> hostName() {
    char buffer[HOST_NAME_MAX + 1] = {};
    if (gethostname(buffer, sizeof buffer - 1) != 0) return std::nullopt;
    return std::string(buffer);
}

// The name ends up in JSON and on screen, so bytes that are not UTF-8 become U+FFFD.
std::string validUtf8(const std::string& text) {
    std::string utf8;
    icu::UnicodeString::fromUTF8(text).toUTF8String(utf8);
    return utf8;
}

}  // namespace

std::string computerName(const std::filesystem::path& machineInfo) {
    if (std::optional<std::string> pretty = prettyHostName(machineInfo); pretty && !pretty->empty())
        return validUtf8(*pretty);
    if (std::optional<std::string> host = hostName(); host && !host->empty())
        return validUtf8(*host);
    return "Máy tính";
}

std::string computerName() {
    return computerName("/etc/machine-info");
}

}  // namespace skiff::server
