#include "app/command.hpp"

#include <gtest/gtest.h>
#include <pthread.h>

#include <csignal>
#include <fstream>
#include <thread>

#include "support/interrupt_soon.hpp"
#include "support/temp_dir.hpp"

namespace skiff::app {
namespace {

using namespace std::chrono_literals;

// The server's threads block signals; a command must still start with none blocked, and a
// signal landing on the waiting thread must not end the wait early.
TEST(Command, StartsWithNoSignalBlockedAndWaitsThroughASignal) {
    sigset_t blocked, before;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &blocked, &before);
    std::optional<CommandResult> status = runCommand({"grep", "SigBlk", "/proc/self/status"});
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
    ASSERT_TRUE(status);
    EXPECT_EQ(status->output, "SigBlk:\t0000000000000000\n");

    std::optional<CommandResult> late;
    {
        test::InterruptSoon interrupt;
        late = runCommand({"sh", "-c", "sleep 0.4; echo done"});
    }
    ASSERT_TRUE(late);
    EXPECT_EQ(late->output, "done\n");
}

// A command past its deadline or its output limit is ended then and does not stay behind.
TEST(Command, OnePastItsDeadlineOrOutputLimitIsKilled) {
    test::TempDir dir;
    std::string pidFile = (dir.path() / "pid").string();
    for (const char* tail : {"exec sleep 30", "exec yes"}) {
        auto begun = std::chrono::steady_clock::now();
        EXPECT_EQ(runCommand({"sh", "-c", "echo $$ > " + pidFile + "; " + tail},
                             {.timeout = 300ms, .maxOutput = 1000}),
                  std::nullopt);
        EXPECT_LT(std::chrono::steady_clock::now() - begun, 5s) << tail;
        pid_t pid = 0;
        std::ifstream(pidFile) >> pid;
        ASSERT_GT(pid, 0);
        EXPECT_NE(::kill(pid, 0), 0) << tail << " is still there";
    }
}

}  // namespace
}  // namespace skiff::app
