#pragma once

#include <filesystem>
#include <string>

namespace skiff::media {

// Names a thumbnail of side pixels by the file's path, modification time and size, so a file
// that is edited or replaced gets a fresh name and stale thumbnails simply age out of the
// caches. The time is seconds since 1970 in shortest round-trip decimal, always with a
// fraction ("1700000000.0"); time and size read "0.0" and "0" when the file cannot be read.
std::string thumbKey(const std::filesystem::path& file, int side);

}  // namespace skiff::media
