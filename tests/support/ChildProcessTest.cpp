// The helper that starts simulated modems for the fax tests: lines in and out, exit
// codes, and that a process which ignores its input is still ended by Stop.
#include "ChildProcess.h"

#include <gtest/gtest.h>

#include <csignal>

using namespace std::chrono_literals;
using qptest::ChildProcess;

TEST(ChildProcess, TalksLinesAndReportsTheExitCode) {
    ChildProcess child;
    ASSERT_TRUE(
        child.Start({"/bin/sh", "-c", "echo noise; echo ready 42; read x; echo got $x; exit 7"}));
    const auto ready = child.WaitForLine("ready", 5s);
    ASSERT_TRUE(ready.has_value());
    EXPECT_EQ(*ready, "ready 42");
    ASSERT_TRUE(child.WriteLine("hello"));
    EXPECT_EQ(child.ReadLine(5s).value_or("<none>"), "got hello");
    EXPECT_EQ(child.Wait(5s).value_or(-1), 7);
    EXPECT_EQ(child.Lines().size(), 3u);
    EXPECT_FALSE(child.ReadLine(100ms).has_value());
}

TEST(ChildProcess, StopEndsAProcessThatIgnoresTerm) {
    ChildProcess child;
    ASSERT_TRUE(child.Start({"/bin/sh", "-c", "trap '' TERM; echo up; while :; do sleep 1; done"}));
    ASSERT_TRUE(child.WaitForLine("up", 5s).has_value());
    const pid_t pid = child.Pid();
    EXPECT_TRUE(child.Running());
    EXPECT_EQ(child.Stop(200ms), 128 + SIGKILL);
    EXPECT_NE(::kill(pid, 0), 0); // gone and reaped
}

TEST(ChildProcess, MissingProgramAndSilentProcessFailCleanly) {
    ChildProcess missing;
    std::string error;
    EXPECT_FALSE(missing.Start({"/nonexistent/simulator"}, &error));
    EXPECT_NE(error.find("/nonexistent/simulator"), std::string::npos);

    ChildProcess silent;
    ASSERT_TRUE(silent.Start({"/bin/sleep", "30"}));
    EXPECT_FALSE(silent.WaitForLine("ready", 200ms).has_value());
    EXPECT_EQ(silent.Stop(), 128 + SIGTERM);
}
