#pragma once

namespace skiff {

// Runs Skiff without a window: prints the session code and addresses, then the activity log,
// until Ctrl-C. Returns the process exit code.
int runTerminalFront();

}  // namespace skiff
