#include "app/launch_log.hpp"

#include <fcntl.h>
#include <pwd.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>

namespace skiff::app {
namespace {

constexpr std::size_t kMaxOsReleaseBytes = 64 * 1024;

// The value of an os-release assignment: quoted with "..." (backslash escapes "\$`) or '...',
// or bare with backslash escapes, as a shell would read it.
std::string shellValue(std::string_view text) {
    std::string value;
    char quote = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (quote == '\'') {
            if (c == '\'')
                quote = 0;
            else
                value += c;
        } else if (c == '\\' && i + 1 < text.size()) {
            char next = text[i + 1];
            bool escapable =
                quote == 0 || next == '"' || next == '\\' || next == '$' || next == '`';
            if (!escapable) value += c;
            value += next;
            ++i;
        } else if (quote == '"') {
            if (c == '"')
                quote = 0;
            else
                value += c;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == ' ' || c == '\t' || c == '\r') {
            break;
        } else {
            value += c;
        }
    }
    return value;
}

std::optional<std::string> prettyName(const std::filesystem::path& osRelease) {
    std::ifstream in(osRelease, std::ios::binary);
    if (!in) return std::nullopt;
    std::string text(kMaxOsReleaseBytes, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));

    std::optional<std::string> name;
    std::string_view rest = text;
    while (!rest.empty()) {
        std::size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
            line.remove_prefix(1);
        if (line.starts_with("PRETTY_NAME=")) name = shellValue(line.substr(12));
    }
    return name;
}

std::string systemName(const std::vector<std::filesystem::path>& osRelease, const utsname& names) {
    for (const std::filesystem::path& file : osRelease) {
        std::optional<std::string> name = prettyName(file);
        if (name && !name->empty()) return *name;
    }
    return names.release;
}

std::string homeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    long suggested = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(suggested > 0 ? static_cast<std::size_t>(suggested) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found ||
        !found->pw_dir)
        return {};
    return found->pw_dir;
}

// One start is one line, whatever the system name or the program path contain.
std::string oneLine(std::string text) {
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = ' ';
    return text;
}

}  // namespace

std::optional<std::filesystem::path> launchLogFile(std::string_view stateHome,
                                                   std::string_view home) {
    std::filesystem::path folder;
    if (std::filesystem::path state(stateHome); state.is_absolute()) {
        folder = state;
    } else if (std::filesystem::path user(home); user.is_absolute()) {
        folder = user / ".local" / "state";
    } else {
        return std::nullopt;
    }
    return folder / "Porter" / "launch.log";
}

std::string isoUtcTime(std::chrono::system_clock::time_point time) {
    std::time_t seconds = std::chrono::system_clock::to_time_t(time);
    std::tm utc{};
    if (!gmtime_r(&seconds, &utc)) return {};
    char stamp[64];
    return std::string(stamp, std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%SZ", &utc));
}

void appendLaunchLine(std::string_view version) {
    const char* stateHome = std::getenv("XDG_STATE_HOME");
    std::optional<std::filesystem::path> file =
        launchLogFile(stateHome ? stateHome : "", homeFolder());
    if (!file) return;
    appendLaunchLine(version, LaunchLogSources{.logFile = *file});
}

void appendLaunchLine(std::string_view version, const LaunchLogSources& sources) {
    if (sources.logFile.empty()) return;
    utsname names{};
    if (uname(&names) != 0) return;
    std::error_code ec;
    std::string program = std::filesystem::read_symlink(sources.executable, ec).string();

    std::string line = isoUtcTime(sources.now) + " mở app " +
                       oneLine(version.empty() ? "dev" : std::string(version)) + " · Linux " +
                       oneLine(systemName(sources.osRelease, names)) + " · " + names.machine +
                       " · " + oneLine(program) + "\n";

    std::filesystem::create_directories(sources.logFile.parent_path(), ec);
    // One write to a file opened for appending keeps lines whole even when two starts overlap.
    int fd = open(sources.logFile.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) return;
    std::string_view rest = line;
    while (!rest.empty()) {
        ssize_t written = write(fd, rest.data(), rest.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) break;
        rest.remove_prefix(static_cast<std::size_t>(written));
    }
    close(fd);
}

}  // namespace skiff::app
