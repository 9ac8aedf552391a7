#include "app/command.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

extern char** environ;

namespace skiff::app {
namespace {

using Clock = std::chrono::steady_clock;

class Descriptor {
  public:
    explicit Descriptor(int fd = -1) : m_fd(fd) {}
    ~Descriptor() { reset(); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    int get() const { return m_fd; }
    void reset() {
        if (m_fd >= 0) close(m_fd);
        m_fd = -1;
    }

  private:
    int m_fd;
};

int millisecondsUntil(Clock::time_point deadline) {
    auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// Waits until `fd` is readable or the deadline passes; false on the deadline or an error.
bool waitReadable(int fd, Clock::time_point deadline) {
    for (;;) {
        int wait = millisecondsUntil(deadline);
        if (wait == 0) return false;
        pollfd polled{fd, POLLIN, 0};
        int ready = poll(&polled, 1, wait);
        if (ready > 0) return true;
        if (ready == 0 || errno != EINTR) return false;
    }
}

int reap(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
}

// The command runs in a process group of its own, so this also ends what it started.
void killAndReap(pid_t pid) {
    kill(-pid, SIGKILL);
    reap(pid);
}

// Waits for the exit within the deadline. A command may close its output and keep running.
std::optional<int> exitWithin(pid_t pid, Clock::time_point deadline) {
    // Called through syscall(): glibc 2.36 declares pidfd_open without C linkage for C++.
    Descriptor exited(static_cast<int>(syscall(SYS_pidfd_open, pid, 0)));
    if (exited.get() >= 0 && !waitReadable(exited.get(), deadline)) return std::nullopt;
    return reap(pid);
}

struct Spawn {
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    Spawn() {
        posix_spawn_file_actions_init(&actions);
        posix_spawnattr_init(&attributes);
    }
    ~Spawn() {
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
    }
    Spawn(const Spawn&) = delete;
    Spawn& operator=(const Spawn&) = delete;
};

}  // namespace

std::optional<CommandResult> runCommand(const std::vector<std::string>& argv,
                                        const CommandLimits& limits) {
    if (argv.empty()) return std::nullopt;
    Clock::time_point deadline = Clock::now() + limits.timeout;

    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) return std::nullopt;
    Descriptor readEnd(ends[0]);
    Descriptor writeEnd(ends[1]);

    Spawn spawn;
    posix_spawn_file_actions_addopen(&spawn.actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&spawn.actions, writeEnd.get(), STDOUT_FILENO);
    if (limits.mergeStderr)
        posix_spawn_file_actions_adddup2(&spawn.actions, writeEnd.get(), STDERR_FILENO);
    else
        posix_spawn_file_actions_addopen(&spawn.actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    // Servers ignore SIGPIPE and that would be inherited; the command gets the usual defaults.
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigset_t noneBlocked;
    sigemptyset(&noneBlocked);
    posix_spawnattr_setsigdefault(&spawn.attributes, &defaults);
    posix_spawnattr_setsigmask(&spawn.attributes, &noneBlocked);
    posix_spawnattr_setpgroup(&spawn.attributes, 0);
    posix_spawnattr_setflags(
        &spawn.attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

    std::vector<char*> arguments;
    for (const std::string& argument : argv)
        arguments.push_back(const_cast<char*>(argument.c_str()));
    arguments.push_back(nullptr);

    pid_t pid = 0;
    if (posix_spawnp(&pid, arguments[0], &spawn.actions, &spawn.attributes, arguments.data(),
                     environ) != 0)
        return std::nullopt;
    writeEnd.reset();

    CommandResult result;
    char buffer[4096];
    for (;;) {
        if (!waitReadable(readEnd.get(), deadline)) {
            killAndReap(pid);
            return std::nullopt;
        }
        ssize_t got = read(readEnd.get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got == 0) break;
        if (got < 0 || result.output.size() + static_cast<std::size_t>(got) > limits.maxOutput) {
            killAndReap(pid);
            return std::nullopt;
        }
        result.output.append(buffer, static_cast<std::size_t>(got));
    }

    std::optional<int> status = exitWithin(pid, deadline);
    if (!status) {
        killAndReap(pid);
        return std::nullopt;
    }
    result.exitStatus = WIFEXITED(*status) ? WEXITSTATUS(*status) : -1;
    return result;
}

}  // namespace skiff::app
