#include "terminal/terminal_front.hpp"

// The window comes when a display is there; until it exists the terminal serves everywhere.
int main(int argc, char** argv) {
    return skiff::terminal::runTerminalFront(argc, argv);
}
