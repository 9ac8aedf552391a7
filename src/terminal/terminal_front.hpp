#pragma once

#include <filesystem>
#include <vector>

namespace skiff::terminal {

// Runs Skiff without a window: the QR code, address and session code, devices and event
// lines as they come, an approval prompt per new device answered on standard input, and the
// files named on the command line shared. Returns the process exit code.
int runTerminalFront(int argc, char** argv, const std::vector<std::filesystem::path>& toShare);

}  // namespace skiff::terminal
