#include "terminal_front.hpp"

int main() {
    return skiff::runTerminalFront();
}
