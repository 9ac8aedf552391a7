#pragma once

namespace skiff::app {

// The reverse-DNS name the desktop knows Skiff by: the name it owns on the session bus, its
// desktop entry's file name, its icon's name and the Wayland app id. The top-level
// CMakeLists.txt sets it, so that the installed files and the program cannot disagree.
extern const char applicationId[];

}  // namespace skiff::app
