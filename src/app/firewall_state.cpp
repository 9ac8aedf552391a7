#include "app/firewall_state.hpp"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <string>
#include <string_view>

#include "app/command.hpp"

namespace skiff::app {
namespace {

// ufw.conf is a handful of lines; anything bigger is not one.
constexpr std::size_t kMaxConfigBytes = 64 * 1024;

std::string_view trimmed(std::string_view text) {
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

std::string lowered(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

bool installed(const std::filesystem::path& program) {
    std::error_code ec;
    return std::filesystem::is_regular_file(program, ec);
}

// ufw itself reads KEY=value lines, keys and values without regard to case, quotes stripped,
// the last assignment winning; ENABLED=yes means it was enabled and starts with the system.
std::optional<bool> ufwEnabled(const std::filesystem::path& config) {
    std::ifstream in(config, std::ios::binary);
    if (!in) return std::nullopt;
    std::string text(kMaxConfigBytes, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));

    std::optional<bool> enabled;
    std::string_view rest = text;
    while (!rest.empty()) {
        std::size_t end = rest.find('\n');
        std::string_view line = trimmed(rest.substr(0, end));
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        std::size_t equals = line.find('=');
        if (line.starts_with('#') || equals == std::string_view::npos) continue;
        if (lowered(trimmed(line.substr(0, equals))) != "enabled") continue;
        std::string_view value = trimmed(line.substr(equals + 1));
        while (!value.empty() && (value.front() == '"' || value.front() == '\''))
            value.remove_prefix(1);
        while (!value.empty() && (value.back() == '"' || value.back() == '\''))
            value.remove_suffix(1);
        std::string word = lowered(value);
        if (word == "yes")
            enabled = true;
        else if (word == "no")
            enabled = false;
        else
            enabled.reset();
    }
    return enabled;
}

// firewall-cmd prints "running" on standard output, or "not running" on standard error with
// exit code 252; anything else (no D-Bus, refused authorisation) leaves the state unknown.
std::optional<bool> firewalldRunning(const FirewallTools& tools) {
    std::optional<CommandResult> result =
        runCommand({tools.firewallCmd.string(), "--state"},
                   {.timeout = tools.timeout, .maxOutput = 4096, .mergeStderr = true});
    if (!result) return std::nullopt;
    std::string_view rest = result->output;
    while (!rest.empty()) {
        std::size_t end = rest.find('\n');
        std::string line = lowered(trimmed(rest.substr(0, end)));
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (line == "running") return true;
        if (line == "not running") return false;
    }
    return std::nullopt;
}

}  // namespace

FirewallReading readFirewall(const FirewallTools& tools) {
    // A configuration left behind by a removed ufw says nothing about this system.
    std::optional<bool> ufw =
        installed(tools.ufwProgram) ? ufwEnabled(tools.ufwConfig) : std::nullopt;
    if (ufw == true) return {true, Firewall::ufw};
    std::optional<bool> firewalld =
        installed(tools.firewallCmd) ? firewalldRunning(tools) : std::nullopt;
    if (firewalld == true) return {true, Firewall::firewalld};
    if (firewalld) return {false, std::nullopt};
    return {ufw, std::nullopt};
}

std::optional<bool> firewallState(const FirewallTools& tools) {
    return readFirewall(tools).on;
}

}  // namespace skiff::app
