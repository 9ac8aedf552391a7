#include "media/decoder_process.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <system_error>

#include "media/sibling_program.hpp"

extern char** environ;

namespace skiff::media {
namespace {

constexpr const char* kProgramName = "skiff-decode";

struct Pipe {
    int read = -1;
    int write = -1;
    ~Pipe() {
        if (read >= 0) ::close(read);
        if (write >= 0) ::close(write);
    }
};

// Starts the child with the pipe as its standard output, nothing as input and error, and
// no other descriptor of ours: it must not see the server's sockets or files.
pid_t spawn(const std::filesystem::path& program, const std::vector<std::string>& arguments,
            int output) {
    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0) return -1;
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, output, 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);

    std::vector<char*> argv;
    std::string name = program.string();
    argv.push_back(name.data());
    std::vector<std::string> copies = arguments;
    for (std::string& argument : copies) argv.push_back(argument.data());
    argv.push_back(nullptr);

    pid_t child = -1;
    int failed = posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return failed == 0 ? child : -1;
}

int remainingMs(std::chrono::steady_clock::time_point until) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        until - std::chrono::steady_clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// Reads the child's output until it closes the pipe. False on the deadline or when it
// writes more than the limit.
bool readAll(int from, std::chrono::steady_clock::time_point until, std::size_t limit,
             std::string& out) {
    std::array<char, 65536> buffer;
    while (true) {
        pollfd ready{from, POLLIN, 0};
        int left = remainingMs(until);
        if (left == 0) return false;
        int polled = ::poll(&ready, 1, left);
        if (polled < 0 && errno == EINTR) continue;
        if (polled <= 0) return false;
        ssize_t got = ::read(from, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (got == 0) return true;
        if (out.size() + static_cast<std::size_t>(got) > limit) return false;
        out.append(buffer.data(), static_cast<std::size_t>(got));
    }
}

}  // namespace

DecoderProcess& DecoderProcess::shared() {
    static DecoderProcess process(decoderProgram());
    return process;
}

DecoderProcess::DecoderProcess(std::filesystem::path program) : m_program(std::move(program)) {}

std::optional<std::string> DecoderProcess::run(const std::vector<std::string>& arguments,
                                               std::chrono::milliseconds deadline,
                                               std::size_t maxOutput) {
    auto until = std::chrono::steady_clock::now() + deadline;
    Pipe pipe;
    std::array<int, 2> ends{};
    if (::pipe2(ends.data(), O_CLOEXEC) != 0) return std::nullopt;
    pipe.read = ends[0];
    pipe.write = ends[1];

    pid_t child = -1;
    {
        // Under the lock so that killRunning() never misses a child that is being started.
        std::lock_guard lock(m_mutex);
        child = spawn(m_program, arguments, pipe.write);
        if (child < 0) return std::nullopt;
        m_running.insert(child);
    }
    ::close(pipe.write);
    pipe.write = -1;

    std::string output;
    bool complete = readAll(pipe.read, until, maxOutput, output);
    {
        std::lock_guard lock(m_mutex);
        m_running.erase(child);
        if (!complete) ::kill(child, SIGKILL);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (!complete || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
    return output;
}

void DecoderProcess::killRunning() {
    std::lock_guard lock(m_mutex);
    for (pid_t child : m_running) ::kill(child, SIGKILL);
}

std::filesystem::path decoderProgram() {
    return siblingProgram(kProgramName, SKIFF_BUILT_DECODER);
}

}  // namespace skiff::media
