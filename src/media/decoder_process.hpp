#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace skiff::media {

// Runs the decoder program (skiff-decode) in a child process, one file a run: a hostile file
// can then crash it, exhaust its memory or spin, and the program only loses that thumbnail.
// Safe to use from several threads at once.
class DecoderProcess {
  public:
    // The decoder installed with this program; see decoderProgram().
    static DecoderProcess& shared();

    explicit DecoderProcess(std::filesystem::path program);
    DecoderProcess(const DecoderProcess&) = delete;
    DecoderProcess& operator=(const DecoderProcess&) = delete;

    // What the child wrote to its standard output when it exits 0 within the deadline and
    // writes at most maxOutput bytes; none when it fails, is killed or cannot be started.
    std::optional<std::string> run(const std::vector<std::string>& arguments,
                                   std::chrono::milliseconds deadline, std::size_t maxOutput);

    // Kills every child running now, so that stopping the program never waits on a decoder.
    // Their runs answer none; runs started afterwards work as usual.
    void killRunning();

    const std::filesystem::path& program() const { return m_program; }

  private:
    std::filesystem::path m_program;
    std::mutex m_mutex;
    // Children started and not yet reaped: a pid here is never reused, so killing it is safe.
    std::set<pid_t> m_running;
};

// Where the decoder program is (see siblingProgram), else the build tree's own copy.
std::filesystem::path decoderProgram();

}  // namespace skiff::media
