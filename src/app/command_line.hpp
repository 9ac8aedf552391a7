#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace skiff::app {

// What the user asked for on the command line.
struct CommandLine {
    std::vector<std::filesystem::path> toShare;  // absolute, each one exists
    bool help = false;
    bool version = false;
    bool terminal = false;              // stay in the terminal even when a display is there
    std::optional<std::uint16_t> port;  // listen on this port or not at all
    std::string error;                  // set when the arguments cannot be used
};

CommandLine parseCommandLine(int argc, char** argv);

// The help text printed for --help and after a bad argument.
extern const char* const usageText;

}  // namespace skiff::app
