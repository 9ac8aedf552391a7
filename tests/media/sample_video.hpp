#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

namespace skiff::test {

inline bool haveFfmpegTool() {
    return std::system("command -v ffmpeg >/dev/null 2>&1") == 0;
}

// Runs the ffmpeg tool on `inputs`, then `extraArgs`, writing `file` (its container by extension).
inline bool ffmpegWrites(const std::filesystem::path& file, const std::string& inputs,
                         const std::string& extraArgs) {
    std::string command = "ffmpeg -nostdin -v error -y " + inputs + " " + extraArgs + " '" +
                          file.string() + "' </dev/null >/dev/null 2>&1";
    return std::system(command.c_str()) == 0 && std::filesystem::exists(file);
}

// A 2.5 s, 64x64 test-pattern video.
inline bool makeSampleVideo(const std::filesystem::path& file, const std::string& codecArgs = "") {
    return ffmpegWrites(
        file, "-f lavfi -i testsrc=duration=2.5:size=64x64:rate=25 -pix_fmt yuv420p", codecArgs);
}

// 64x48, black for 0.5 s, then 2 s red left and blue right: a still from the start is black.
inline bool makeBlackThenColourVideo(const std::filesystem::path& file,
                                     const std::string& extraArgs = "") {
    return ffmpegWrites(file,
                        "-f lavfi -i color=c=black:s=64x48:r=25:d=0.5 "
                        "-f lavfi -i color=c=0xDC1E1E:s=32x48:r=25:d=2 "
                        "-f lavfi -i color=c=0x1E1EDC:s=32x48:r=25:d=2 -filter_complex "
                        "'[1][2]hstack[lit];[0][lit]concat=n=2:v=1:a=0,format=yuv420p'",
                        extraArgs);
}

}  // namespace skiff::test
