// listInterfaces against a real kernel: a network namespace of the test's own with veth pairs,
// entered by a child process because setns changes the whole process.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <thread>

#include "app/command.hpp"
#include "app/interface_list.hpp"
#include "support/temp_dir.hpp"

namespace skiff::app {
namespace {

namespace fs = std::filesystem;

std::optional<CommandResult> ip(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), "ip");
    return runCommand(arguments, {.timeout = std::chrono::seconds(20), .mergeStderr = true});
}

// Deleting the namespace also removes the links inside it.
struct TestNamespace {
    std::string name = "skiff-ifaces-" + std::to_string(getpid());
    bool created = ip({"netns", "add", name}).value_or(CommandResult{}).exitStatus == 0;
    ~TestNamespace() {
        if (created) ip({"netns", "del", name});
    }
};

// Child side: writes the report ('!' first on failure) to the parent and ends.
[[noreturn]] void finish(int out, const std::string& text) {
    ssize_t ignored = write(out, text.data(), text.size());
    _exit(ignored == static_cast<ssize_t>(text.size()) ? 0 : 1);
}

// Child side: enters the namespace, mounts a sysfs of it (the inherited one shows the parent's
// devices), waits until the links are up and reports the list as name|ip|label|kind lines.
[[noreturn]] void listInNamespace(const std::string& name, const fs::path& sysfs, int out) {
    auto failed = [&](const char* step) {
        return std::string("!") + step + ": " + strerror(errno);
    };
    int fd = open(("/var/run/netns/" + name).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || setns(fd, CLONE_NEWNET) != 0) finish(out, failed("setns"));
    // A slave / keeps the new mount from propagating back to the parent's mount namespace.
    if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_SLAVE, nullptr))
        finish(out, failed("mount namespace"));
    if (mount("sysfs", sysfs.c_str(), "sysfs", MS_RDONLY | MS_NOSUID | MS_NODEV, nullptr) != 0)
        finish(out, failed("mount sysfs"));
    fs::path classNet = sysfs / "class" / "net";
    // The kernel sets the operational state, and with it IFF_RUNNING, shortly after "up".
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    auto operstate = [&](const char* link) {
        std::string state;
        std::ifstream(classNet / link / "operstate") >> state;
        return state;
    };
    for (const char* link : {"veth0", "eth0"}) {
        while (operstate(link) != "up") {
            if (std::chrono::steady_clock::now() > deadline)
                finish(out, "!not up: " + std::string(link));
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    std::string lines;
    for (const NetIface& iface : listInterfaces(classNet))
        lines += iface.bsd + "|" + iface.ip + "|" + iface.label + "|" +
                 std::to_string(static_cast<int>(iface.kind)) + "\n";
    finish(out, lines);
}

TEST(InterfaceNamespace, ListsTheVethPairsOfItsOwnNamespace) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to create a network namespace";
    if (!ip({"-V"})) GTEST_SKIP() << "needs iproute2 (ip)";
    TestNamespace ns;
    if (!ns.created) GTEST_SKIP() << "cannot create network namespaces here";

    const std::vector<std::vector<std::string>> setup = {
        {"link", "set", "lo", "up"},
        // A connected pair, both ends up. Their link-local and shared (100.64/10) addresses
        // are not listed.
        {"link", "add", "veth0", "type", "veth", "peer", "name", "eth0"},
        {"addr", "add", "10.77.0.1/24", "dev", "veth0"},
        {"addr", "add", "169.254.77.1/16", "dev", "veth0"},
        {"addr", "add", "10.77.0.2/24", "dev", "eth0"},
        {"addr", "add", "100.64.77.2/24", "dev", "eth0"},
        {"link", "set", "veth0", "up"},
        {"link", "set", "eth0", "up"},
        // veth2 is up but its peer is down: no carrier, so not running, and neither is listed.
        {"link", "add", "veth2", "type", "veth", "peer", "name", "veth3"},
        {"addr", "add", "10.77.1.1/24", "dev", "veth2"},
        {"addr", "add", "10.77.1.2/24", "dev", "veth3"},
        {"link", "set", "veth2", "up"},
    };
    for (std::vector<std::string> command : setup) {
        command.insert(command.begin(), {"-n", ns.name});
        std::optional<CommandResult> done = ip(command);
        ASSERT_TRUE(done && done->exitStatus == 0)
            << testing::PrintToString(command) << ": " << (done ? done->output : "");
    }

    test::TempDir sysfs;
    int ends[2];
    ASSERT_EQ(pipe2(ends, O_CLOEXEC), 0);
    pid_t child = fork();
    if (child == 0) listInNamespace(ns.name, sysfs.path(), ends[1]);
    close(ends[1]);
    std::string reported;
    char buffer[4096];
    for (ssize_t got; (got = read(ends[0], buffer, sizeof buffer)) != 0;) {
        if (got > 0) reported.append(buffer, static_cast<std::size_t>(got));
        if (got < 0 && errno != EINTR) break;
    }
    close(ends[0]);
    ASSERT_GT(child, 0);
    waitpid(child, nullptr, 0);
    if (reported.starts_with("!mount")) GTEST_SKIP() << "cannot mount a sysfs: " << reported;
    // veth links have no hardware behind them, so neither end is wired, whatever its name.
    EXPECT_EQ(reported, "eth0|10.77.0.2|eth0|3\nveth0|10.77.0.1|veth0|3\n");
}

}  // namespace
}  // namespace skiff::app
