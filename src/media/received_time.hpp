#pragma once

#include <filesystem>

namespace skiff::media {

// The time a received file should carry. Phones give a photo picked from their library the
// moment of picking as its date; a sent date within a minute of the upload's start is taken
// for that, and a photo or video then gets its capture date instead (read in the decoder
// process).
double receivedFileTime(const std::filesystem::path& file, double sentSeconds,
                        double uploadStartSeconds);

}  // namespace skiff::media
