#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

namespace skiff::test {

inline bool haveFfmpegTool() {
    return std::system("command -v ffmpeg >/dev/null 2>&1") == 0;
}

// Writes a 2.5 s, 64x64 test-pattern video to file with the ffmpeg tool; the container
// follows the file's extension. Returns false when the tool fails.
inline bool makeSampleVideo(const std::filesystem::path& file, const std::string& codecArgs = "") {
    std::string command =
        "ffmpeg -nostdin -v error -y -f lavfi -i testsrc=duration=2.5:size=64x64:rate=25 "
        "-pix_fmt yuv420p " +
        codecArgs + " '" + file.string() + "' </dev/null >/dev/null 2>&1";
    return std::system(command.c_str()) == 0 && std::filesystem::exists(file);
}

}  // namespace skiff::test
