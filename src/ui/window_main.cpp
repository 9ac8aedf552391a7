// skiff-window: Skiff in its window. The program `skiff` becomes this one (exec) when a display
// is there to show it on, so its terminal front end never loads the toolkit's GUI libraries.
#include "app/command_line.hpp"
#include "ui/window_front.hpp"

int main(int argc, char** argv) {
    auto line = skiff::app::parseCommandLine(argc, argv);
    return skiff::ui::runWindowFront(argc, argv, line.toShare);
}
