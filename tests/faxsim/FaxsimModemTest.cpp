// The faxsim program at the AT level, driven over its pseudo-terminal as a fax program
// drives a modem: capability queries, what happens when the computer dials (busy, no
// dial tone, no answer, rings by number), incoming calls, spandsp quirks the simulator
// mends, the computer vanishing, the time factor, and clean shutdown in every way.
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <thread>
#include <unistd.h>

#include "ComputerPort.h"
#include "FaxsimProcess.h"
#include "TestPages.h"
#include "TestPaths.h"

namespace fs = std::filesystem;
using Ms = std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

namespace {

constexpr char kReset[] = "ATE0Q0V1X4S0=0S2=43";

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

bool WaitUntilGone(const std::string& path, Ms limit) {
    const auto deadline = Clock::now() + limit;
    std::error_code ignored;
    while (fs::exists(fs::symlink_status(path, ignored))) {
        if (Clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(Ms(20));
    }
    return true;
}

class FaxsimModem : public ::testing::Test {
protected:
    // Starts faxsim on a link in the scratch folder and opens it as the computer would,
    // already reset to the engine's settings (no echo, verbal results) and Class 1.
    void StartLine(std::vector<std::string> args) {
        link_ = dir_.file("modem");
        args.insert(args.begin(), {"--link", link_});
        std::string error;
        ASSERT_TRUE(sim_.Start(args, &error)) << error;
        ASSERT_TRUE(port_.Open(link_));
        ASSERT_EQ(port_.Command(kReset), std::optional<std::string>(kReset)); // echo is on at first
        ASSERT_EQ(port_.Line(), "OK");
        ASSERT_EQ(port_.Command("AT+FCLASS=1"), "OK");
    }

    // Dials and waits for the far end's first frame (its CSI).
    void DialAndReceiveFirstFrame(const std::string& number = "5550199") {
        ASSERT_EQ(port_.Command("ATD" + number, Ms(20000)), "CONNECT") << sim_.Transcript();
        const auto csi = port_.Data(Ms(10000), true);
        ASSERT_TRUE(csi);
        ASSERT_GE(csi->size(), 3u);
        EXPECT_EQ((*csi)[2], 0x40); // CSI
        ASSERT_EQ(port_.Line(), "OK");
    }

    qptest::ScratchDir dir_{"faxsim-modem"};
    std::string link_;
    FaxsimProcess sim_;
    ComputerPort port_;
};

} // namespace

// The queries a Class 1 program makes before a call, and a modem that offers fewer
// modulations than spandsp's (the program must pick its rates from the answer).
TEST_F(FaxsimModem, CapabilityQueries) {
    StartLine({});
    EXPECT_EQ(port_.Command("AT+FCLASS=?"), "0,1,1.0");
    EXPECT_EQ(port_.Line(), "OK");
    EXPECT_EQ(port_.Command("AT+FTM=?"), "24,48,72,73,74,96,97,98,121,122,145,146");
    EXPECT_EQ(port_.Line(), "OK");
    EXPECT_EQ(port_.Command("AT+FRM=?"), "24,48,72,73,74,96,97,98,121,122,145,146");
    EXPECT_EQ(port_.Line(), "OK");
    EXPECT_TRUE(sim_.Await("cmd AT+FRM=?"));

    FaxsimProcess slow;
    const std::string link = dir_.file("slow");
    ASSERT_TRUE(slow.Start({"--link", link, "--modem-rates", "24,48,72,96"}));
    ComputerPort port;
    ASSERT_TRUE(port.Open(link));
    ASSERT_EQ(port.Command("ATE0"), "ATE0");
    ASSERT_EQ(port.Line(), "OK");
    EXPECT_EQ(port.Command("AT+FTM=?"), "24,48,72,96");
    EXPECT_EQ(port.Line(), "OK");
    EXPECT_EQ(port.Command("AT+FRM=?"), "24,48,72,96");
    EXPECT_EQ(port.Line(), "OK");
    EXPECT_EQ(port.Command("AT+FTM=145"), "ERROR");
    EXPECT_EQ(port.Command("AT+FRM=121"), "ERROR");
}

// Busy on the first call and success on the redial; numbers that find no dial tone or
// no answer; the answer comes only once the far end's frame is on the line.
TEST_F(FaxsimModem, DialOutcomes) {
    const std::string received = dir_.file("received");
    StartLine({"--busy", "1", "--number-rules", "*8=no-dialtone;*9=no-answer", "--time-factor",
               "20", "--rx-dir", received});
    EXPECT_EQ(port_.Command("ATD5550100", Ms(5000)), "BUSY");
    EXPECT_TRUE(sim_.Await("result error busy"));
    EXPECT_EQ(port_.Command("ATDT5550128", Ms(5000)), "NO DIALTONE");
    EXPECT_TRUE(sim_.Await("result error no-dialtone"));
    EXPECT_EQ(port_.Command("ATS7=5"), "OK");
    EXPECT_EQ(port_.Command("ATD5550129", Ms(5000)), "NO ANSWER");
    EXPECT_TRUE(sim_.Await("ringback 1"));
    EXPECT_TRUE(sim_.Await("result error no-answer"));
    EXPECT_EQ(port_.Command("ATS7=60"), "OK");
    DialAndReceiveFirstFrame("5550100"); // the redial gets through
    EXPECT_TRUE(sim_.Await("connect outgoing"));
    EXPECT_EQ(port_.Command("ATH"), "OK");
    EXPECT_TRUE(sim_.Await("hangup computer"));
    const auto result = sim_.Await("result ");
    ASSERT_TRUE(result);
    EXPECT_EQ(result->rfind("result error ", 0), 0u) << *result;
    EXPECT_TRUE(sim_.Await("call end"));
    EXPECT_TRUE(fs::is_empty(received)); // a call without pages leaves no file
}

// The time factor shortens what the computer only waits for (ringing, here 4 rings set
// by the dialled number) but never a wait the far end's T.30 timers would feel: while the
// computer sits in command mode after the far end's DIS, the far end is still there
// seconds later (at 20 times real time its 35 s T1 would have expired).
TEST_F(FaxsimModem, TimeFactorOnlyWhileTheComputerWaits) {
    StartLine({"--number-rules", "test-line", "--time-factor", "20"});
    const auto start = Clock::now();
    DialAndReceiveFirstFrame("5550124");
    const double dialSeconds = SecondsSince(start);
    EXPECT_LT(dialSeconds, 8.0); // about 23 s of line time
    EXPECT_TRUE(sim_.Saw("ringback 4")) << sim_.Transcript();
    EXPECT_FALSE(sim_.Saw("ringback 5"));

    EXPECT_EQ(port_.Command("AT+FRH=3", Ms(10000)), "CONNECT");
    const auto dis = port_.Data(Ms(10000), true);
    ASSERT_TRUE(dis);
    EXPECT_EQ((*dis)[2], 0x80);
    ASSERT_EQ(port_.Line(), "OK");

    std::this_thread::sleep_for(Ms(4000)); // the computer thinks
    sim_.Drain(Ms(10));
    EXPECT_FALSE(sim_.Saw("result")) << sim_.Transcript();
    EXPECT_EQ(port_.Command("AT+FRH=3", Ms(10000)), "CONNECT"); // the far end repeats
    EXPECT_TRUE(port_.Data(Ms(10000), true));
    EXPECT_EQ(port_.Command("ATH", Ms(10000)), "OK");

    // At factor 1 the modem's wait for an answer (S7) takes its real time.
    FaxsimProcess realTime;
    const std::string link = dir_.file("real");
    ASSERT_TRUE(realTime.Start({"--link", link, "--no-answer"}));
    ComputerPort port;
    ASSERT_TRUE(port.Open(link));
    ASSERT_EQ(port.Command("ATE0"), "ATE0");
    ASSERT_EQ(port.Line(), "OK");
    ASSERT_EQ(port.Command("ATS7=2"), "OK");
    const auto dialled = Clock::now();
    EXPECT_EQ(port.Command("ATD1", Ms(10000)), "NO ANSWER");
    EXPECT_GE(SecondsSince(dialled), 1.9);
}

// An incoming call rings until the computer answers or the caller gives up; a call with
// no pages or unreadable pages is refused with an error event.
TEST_F(FaxsimModem, IncomingCalls) {
    const std::string pages = dir_.file("pages.tif");
    ASSERT_TRUE(WriteTestTiff(pages, {TestPage{}}));
    StartLine({"--ring-limit", "2", "--time-factor", "20"});

    // Answering with nobody calling: off hook on a quiet line.
    EXPECT_EQ(port_.Command("ATA", Ms(10000)), "CONNECT");
    EXPECT_TRUE(sim_.Await("no-caller"));
    ASSERT_TRUE(port_.SetSpeed(0));
    EXPECT_TRUE(sim_.Await("call end"));
    ASSERT_TRUE(port_.SetSpeed(115200));
    port_.Write("AT\r");
    ASSERT_TRUE(port_.WaitForLine("OK", Ms(5000)));

    sim_.Process().WriteLine("call");
    EXPECT_TRUE(sim_.Await("error call needs pages"));
    sim_.Process().WriteLine("call " + dir_.file("missing.tif"));
    EXPECT_TRUE(sim_.Await("error cannot read"));
    sim_.Process().WriteLine("dance");
    EXPECT_TRUE(sim_.Await("error unknown command"));

    sim_.Process().WriteLine("call " + pages);
    EXPECT_TRUE(sim_.Await("call pages=1"));
    EXPECT_EQ(port_.Line(Ms(5000)), "RING");
    EXPECT_EQ(port_.Line(Ms(5000)), "RING");
    EXPECT_TRUE(sim_.Await("unanswered rings=2"));
    EXPECT_TRUE(sim_.Await("result error"));
    EXPECT_TRUE(sim_.Await("call end"));
    EXPECT_FALSE(port_.Line(Ms(500))); // no third ring

    sim_.Process().WriteLine("call " + pages);
    EXPECT_EQ(port_.Line(Ms(5000)), "RING");
    EXPECT_EQ(port_.Command("ATA", Ms(15000)), "CONNECT"); // after the answer tone
    EXPECT_TRUE(sim_.Await("far start calling"));
    sim_.Process().WriteLine("call " + pages);
    EXPECT_TRUE(sim_.Await("error line busy"));
    // The modem now waits for our first frame, so a command would be frame data: a
    // program hangs up by dropping DTR.
    ASSERT_TRUE(port_.SetSpeed(0));
    EXPECT_TRUE(sim_.Await("hangup dtr"));
    EXPECT_TRUE(sim_.Await("result error"));
    EXPECT_TRUE(sim_.Await("call end"));
}

// What spandsp would get wrong is mended: an over-long frame is refused with ERROR and the
// modem stays usable; a key pressed while dialling ends the attempt with NO CARRIER.
TEST_F(FaxsimModem, RefusedFrameAndAbortedDial) {
    StartLine({"--time-factor", "10", "--rings", "3"});
    DialAndReceiveFirstFrame();
    EXPECT_EQ(port_.Command("AT+FTH=3"), "CONNECT");
    std::vector<std::uint8_t> frame = {0xFF, 0x13, 0x80};
    frame.resize(300, 0x55);
    port_.SendFrame(frame);
    EXPECT_EQ(port_.Line(Ms(10000)), "ERROR");
    EXPECT_TRUE(sim_.Await("frame refused length=300"));
    EXPECT_EQ(port_.Command("AT"), "OK");
    EXPECT_EQ(port_.Command("ATH"), "OK");

    port_.Write("ATD5550199\r");
    EXPECT_TRUE(sim_.Await("dial 5550199"));
    port_.Write("\r");
    EXPECT_EQ(port_.Line(Ms(5000)), "NO CARRIER");
    EXPECT_TRUE(sim_.Await("hangup abort"));
    EXPECT_TRUE(sim_.Await("result error aborted"));
    sim_.Drain(Ms(1500)); // past the time the far end would have answered
    EXPECT_EQ(sim_.Count("connect outgoing"), 1) << sim_.Transcript();
    EXPECT_EQ(port_.Command("AT"), "OK");
}

// A program that waits after +FTH=3's CONNECT sees no second CONNECT; when the far end
// leaves while the modem still sends data the program has finished handing over, the
// program gets NO CARRIER instead of waiting for an OK that never comes.
TEST_F(FaxsimModem, SlowProgramAndLineDroppedDuringData) {
    StartLine({"--time-factor", "10"});
    DialAndReceiveFirstFrame();
    EXPECT_EQ(port_.Command("AT+FTH=3"), "CONNECT");
    EXPECT_EQ(port_.Line(Ms(2000)), std::nullopt); // past the end of the preamble
    port_.SendFrame({0xFF, 0x13, 0xFB});
    EXPECT_EQ(port_.Line(Ms(5000)), "OK");

    EXPECT_EQ(port_.Command("AT+FTM=24"), "CONNECT");
    port_.SendData(std::vector<std::uint8_t>(900, 0)); // three seconds at 2400 bit/s
    std::this_thread::sleep_for(Ms(300));
    sim_.Process().WriteLine("hangup");
    EXPECT_EQ(port_.Line(Ms(2000)), "NO CARRIER");
    EXPECT_TRUE(sim_.Await("hangup far"));
    EXPECT_EQ(port_.Line(Ms(4000)), std::nullopt); // and nothing after it
    EXPECT_EQ(port_.Command("AT"), "OK");
}

// A program that drops DTR ends the call; one that stops sending while the modem waits
// for its frame loses the call after the time-out; the simulator goes on either way.
TEST_F(FaxsimModem, ComputerDropsDtrOrVanishes) {
    StartLine({"--time-factor", "10", "--dte-timeout", "2"});
    DialAndReceiveFirstFrame();
    ASSERT_TRUE(port_.SetSpeed(0));
    EXPECT_TRUE(sim_.Await("dtr off"));
    EXPECT_TRUE(sim_.Await("hangup dtr"));
    EXPECT_TRUE(sim_.Await("result error"));
    ASSERT_TRUE(port_.SetSpeed(115200));
    port_.Write("AT\r"); // whatever the modem said about the lost line, it still answers
    EXPECT_TRUE(port_.WaitForLine("OK", Ms(5000)));

    DialAndReceiveFirstFrame();
    EXPECT_EQ(port_.Command("AT+FTH=3"), "CONNECT");
    port_.Close(); // the program is gone
    EXPECT_TRUE(sim_.Await("dte-timeout", Ms(8000))) << sim_.Transcript();
    EXPECT_TRUE(sim_.Await("hangup stall"));
    EXPECT_TRUE(sim_.Await("result error"));
    EXPECT_TRUE(sim_.Await("call end"));
    EXPECT_TRUE(sim_.Process().Running());

    ASSERT_TRUE(port_.Open(link_)); // the next program finds a working modem
    port_.Write("AT\r");
    EXPECT_TRUE(port_.WaitForLine("OK", Ms(5000)));
}

// quit, the end of standard input and SIGTERM all end the process with status 0 and leave
// no symlink and no pseudo-terminal behind, also in the middle of a call.
TEST_F(FaxsimModem, ShutdownLeavesNothingBehind) {
    StartLine({"--time-factor", "10"});
    DialAndReceiveFirstFrame();
    const std::string slave = fs::read_symlink(link_).string();
    port_.Close();
    sim_.Process().WriteLine("quit");
    EXPECT_EQ(sim_.Process().Wait(Ms(5000)), std::optional<int>(0));
    EXPECT_TRUE(sim_.Saw("result error")) << sim_.Transcript(); // the far end was told
    EXPECT_FALSE(fs::exists(fs::symlink_status(link_)));
    EXPECT_FALSE(fs::exists(slave));

    for (const std::string how : {"eof", "sigterm"}) {
        FaxsimProcess sim;
        const std::string link = dir_.file(how);
        ASSERT_TRUE(sim.Start({"--link", link}));
        EXPECT_TRUE(fs::is_symlink(link));
        if (how == "eof") {
            sim.Process().CloseInput();
        } else {
            ::kill(sim.Process().Pid(), SIGTERM);
        }
        EXPECT_EQ(sim.Process().Wait(Ms(5000)), std::optional<int>(0)) << how;
        EXPECT_FALSE(fs::exists(fs::symlink_status(link))) << how;
    }
}

// When the process that started faxsim dies (even by SIGKILL), faxsim ends too.
TEST_F(FaxsimModem, EndsWhenItsParentDies) {
    const std::string link = dir_.file("orphan");
    qptest::ChildProcess shell;
    const std::string script =
        "exec 3<&0; '" + FaxsimProcess::Executable() + "' --link '" + link + "' <&3 & wait";
    ASSERT_TRUE(shell.Start({"/bin/sh", "-c", script}));
    ASSERT_TRUE(shell.WaitForLine("ready ", Ms(10000)));
    ASSERT_TRUE(fs::is_symlink(link));
    ::kill(shell.Pid(), SIGKILL);
    EXPECT_TRUE(WaitUntilGone(link, Ms(5000)));
    EXPECT_FALSE(shell.ReadLine(Ms(2000))); // its output closed: the process is gone
}

// A stale symlink from a killed run is replaced; any other file at the path is left
// alone and the program refuses to start.
TEST_F(FaxsimModem, LinkPathSafety) {
    const std::string stale = dir_.file("stale");
    fs::create_symlink("/dev/pts/does-not-exist", stale);
    FaxsimProcess sim;
    ASSERT_TRUE(sim.Start({"--link", stale}));
    const fs::path slave = fs::read_symlink(stale);
    EXPECT_NE(slave.string(), "/dev/pts/does-not-exist");

    // A second simulator on the same path leaves the running one alone.
    qptest::ChildProcess second;
    ASSERT_TRUE(second.Start({FaxsimProcess::Executable(), "--link", stale}));
    EXPECT_EQ(second.Wait(Ms(5000)), std::optional<int>(1));
    EXPECT_EQ(fs::read_symlink(stale), slave);
    ComputerPort port;
    ASSERT_TRUE(port.Open(stale));
    EXPECT_EQ(port.Command("ATE0"), "ATE0");
    sim.Process().Stop();
    EXPECT_FALSE(fs::exists(fs::symlink_status(stale)));
    EXPECT_FALSE(fs::exists(stale + ".lock"));

    const std::string regular = dir_.file("regular");
    std::ofstream(regular) << "keep me";
    qptest::ChildProcess refused;
    ASSERT_TRUE(refused.Start({FaxsimProcess::Executable(), "--link", regular}));
    EXPECT_EQ(refused.Wait(Ms(5000)), std::optional<int>(1));
    std::ifstream in(regular);
    std::string content;
    std::getline(in, content);
    EXPECT_EQ(content, "keep me");

    qptest::ChildProcess usage;
    ASSERT_TRUE(
        usage.Start({FaxsimProcess::Executable(), "--link", dir_.file("x"), "--rate", "1"}));
    EXPECT_EQ(usage.Wait(Ms(5000)), std::optional<int>(2));
}
