#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/command_line.hpp"
#include "app/launch_log.hpp"
#include "media/sibling_program.hpp"
#include "terminal/terminal_front.hpp"

#ifndef SKIFF_VERSION
#define SKIFF_VERSION "0.0.0"
#endif

namespace {

bool displayAvailable() {
    auto set = [](const char* name) {
        const char* value = std::getenv(name);
        return value != nullptr && *value != '\0';
    };
    return set("DISPLAY") || set("WAYLAND_DISPLAY");
}

// The window is a program of its own, which this process becomes with the same arguments;
// returns only when it cannot be started.
void becomeWindow(char** argv) {
    auto program = skiff::media::siblingProgram("skiff-window", SKIFF_BUILT_WINDOW);
    ::execv(program.c_str(), argv);
    std::fprintf(stderr, "skiff: không mở được cửa sổ (%s: %s), dùng giao diện dòng lệnh\n",
                 program.c_str(), std::strerror(errno));
}

}  // namespace

// The window when there is a display to show it on, the terminal front end otherwise.
int main(int argc, char** argv) {
    auto line = skiff::app::parseCommandLine(argc, argv);
    if (line.help) {
        std::fputs(skiff::app::usageText, stdout);
        return 0;
    }
    if (line.version) {
        std::printf("Skiff %s\n", SKIFF_VERSION);
        return 0;
    }
    if (!line.error.empty()) {
        std::fprintf(stderr, "skiff: %s\n\n%s", line.error.c_str(), skiff::app::usageText);
        return 2;
    }
    skiff::app::appendLaunchLine(SKIFF_VERSION);
    if (!line.terminal && displayAvailable()) becomeWindow(argv);
    return skiff::terminal::runTerminalFront(argc, argv, line.toShare);
}
