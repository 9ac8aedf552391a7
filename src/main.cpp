#include <cstdio>
#include <cstdlib>

#include "app/command_line.hpp"
#include "app/launch_log.hpp"
#include "terminal/terminal_front.hpp"
#include "ui/window_front.hpp"

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
    if (!line.terminal && displayAvailable())
        return skiff::ui::runWindowFront(argc, argv, line.toShare);
    return skiff::terminal::runTerminalFront(argc, argv, line.toShare);
}
