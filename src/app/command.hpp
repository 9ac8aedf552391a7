#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace skiff::app {

struct CommandLimits {
    std::chrono::milliseconds timeout{3000};  // from start to exit
    std::size_t maxOutput = 64 * 1024;
    bool mergeStderr = false;  // collect standard error too; otherwise it is discarded
};

struct CommandResult {
    int exitStatus = -1;  // the exit code, or -1 when a signal ended the command
    std::string output;
};

// Runs argv[0] (looked up on PATH when it has no slash) with the remaining arguments, standard
// input empty, and collects what it prints. Nothing when it cannot be started, outlives the
// timeout or prints more than the limit; it is then killed with everything it started.
std::optional<CommandResult> runCommand(const std::vector<std::string>& argv,
                                        const CommandLimits& limits = {});

}  // namespace skiff::app
