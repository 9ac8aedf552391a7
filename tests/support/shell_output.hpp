#pragma once

#include <cstdio>
#include <string>

namespace skiff::test {

// Runs a shell command; its standard output, and its wait status in `status` when given.
inline std::string shellOutput(const std::string& command, int* status = nullptr) {
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    char buffer[4096];
    while (std::size_t n = fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, n);
    int code = pclose(pipe);
    if (status) *status = code;
    return output;
}

}  // namespace skiff::test
