#pragma once

#include <filesystem>
#include <vector>

namespace skiff::ui {

// Runs Skiff in its window on the current display, sharing the given files at start.
// Returns the process exit code.
int runWindowFront(int argc, char** argv, const std::vector<std::filesystem::path>& toShare);

}  // namespace skiff::ui
