// The built-in test line: its helper process starts with the port and ends with it, leaves
// nothing behind (also when the program that started it is killed), and a port named
// "test-line" talks to a real simulated modem.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "TestPaths.h"
#include "common/IniFile.h"
#include "common/Settings.h"
#include "faxcomm/core/ComDispatcher.h"
#include "faxcomm/core/PortDeviceName.h"
#include "faxcomm/core/SerialDeviceScan.h"
#include "faxcomm/core/TestLine.h"

namespace fs = std::filesystem;
using namespace qpcomm;
using namespace std::chrono_literals;

namespace {

std::string Helper() {
    return (qptest::BinaryDir() / "bin" / "faxsim").string();
}

TestLine::Options OptionsIn(const qptest::ScratchDir& dir) {
    TestLine::Options options;
    options.helper = Helper();
    options.link = dir.file("line");
    options.rxFolder = dir.file("received");
    options.sampleFax = (qptest::BinaryDir() / "bin" / "testfax.tif").string();
    return options;
}

bool ProcessGone(pid_t pid) {
    return ::kill(pid, 0) != 0 && errno == ESRCH;
}

bool EventuallyGone(pid_t pid, const fs::path& link) {
    for (int i = 0; i < 200; ++i) {
        std::error_code ignored;
        if (ProcessGone(pid) && !fs::is_symlink(fs::symlink_status(link, ignored))) {
            return true;
        }
        std::this_thread::sleep_for(50ms);
    }
    return false;
}

// Sends a command line through a dispatcher port and collects what comes back until
// `expected` appears or time runs out.
std::string Exchange(int slot, const std::string& command, const std::string& expected) {
    ComDispatcher::Instance().PutString(slot, command);
    std::string answer;
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (answer.find(expected) == std::string::npos &&
           std::chrono::steady_clock::now() < deadline) {
        const int byte = ComDispatcher::Instance().GetChar(slot);
        if (byte >= 0) {
            answer += static_cast<char>(byte);
        } else {
            std::this_thread::sleep_for(10ms);
        }
    }
    return answer;
}

} // namespace

TEST(TestLine, StartMakesTheLinkAndStopRemovesItAndEndsTheHelper) {
    qptest::ScratchDir dir("testline-start");
    TestLine line;
    std::string error;
    ASSERT_EQ(line.Start(OptionsIn(dir), &error), 0) << error;
    EXPECT_TRUE(line.IsRunning());
    EXPECT_TRUE(TestLine::AnyRunning());
    EXPECT_TRUE(fs::is_symlink(line.Link()));
    EXPECT_TRUE(fs::is_directory(dir.file("received")));
    const pid_t helper = line.HelperId();
    line.Stop();
    EXPECT_FALSE(line.IsRunning());
    EXPECT_FALSE(TestLine::AnyRunning());
    EXPECT_TRUE(ProcessGone(helper)); // reaped, not a zombie
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir.file("line"))));
    EXPECT_FALSE(line.Call()) << "a stopped line cannot call";
    EXPECT_FALSE(TestLine::CallFromRunningLine());
}

TEST(TestLine, MissingOrFailingHelperIsReportedAndLeavesNothing) {
    qptest::ScratchDir dir("testline-missing");
    TestLine::Options options = OptionsIn(dir);
    options.helper = dir.file("no-such-helper");
    TestLine line;
    std::string error;
    EXPECT_EQ(line.Start(options, &error), -2001);
    EXPECT_NE(error.find("faxsim"), std::string::npos) << error;
    EXPECT_FALSE(line.IsRunning());

    // A helper that ends at once never says it is ready.
    options.helper = "/bin/false";
    error.clear();
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(line.Start(options, &error), -2001);
    EXPECT_LT(std::chrono::steady_clock::now() - started, 5s);
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(TestLine::AnyRunning());

    // The link path is taken by a file that is not a link: the helper refuses it.
    options.helper = Helper();
    { std::ofstream(options.link) << "mine"; }
    EXPECT_EQ(line.Start(options, &error), -2001);
    std::ifstream kept(options.link);
    std::string content;
    kept >> content;
    EXPECT_EQ(content, "mine") << "a file that is not the line's link is left alone";
}

TEST(TestLine, TwoLinesRunSideBySide) {
    qptest::ScratchDir first("testline-one");
    qptest::ScratchDir second("testline-two");
    TestLine one;
    TestLine two;
    ASSERT_EQ(one.Start(OptionsIn(first)), 0);
    ASSERT_EQ(two.Start(OptionsIn(second)), 0);
    EXPECT_NE(fs::read_symlink(one.Link()), fs::read_symlink(two.Link()));
    one.Stop();
    EXPECT_TRUE(two.IsRunning());
    EXPECT_TRUE(fs::is_symlink(two.Link()));
    // The running one is the one asked to call; it reports the call on its events.
    EXPECT_TRUE(TestLine::CallFromRunningLine());
    EXPECT_TRUE(two.WaitForEvent("call ", 10s).has_value());
    two.Stop();
}

TEST(TestLine, HelperEndsWhenTheProgramThatStartedItIsKilled) {
    qptest::ScratchDir dir("testline-killed");
    int report[2];
    ASSERT_EQ(::pipe(report), 0);
    const pid_t program = ::fork();
    ASSERT_GE(program, 0);
    if (program == 0) {
        ::close(report[0]);
        TestLine line;
        if (line.Start(OptionsIn(dir)) == 0) {
            const pid_t helper = line.HelperId();
            (void)!::write(report[1], &helper, sizeof helper);
        }
        ::pause();
        ::_exit(0);
    }
    ::close(report[1]);
    pid_t helper = -1;
    ASSERT_EQ(::read(report[0], &helper, sizeof helper), static_cast<ssize_t>(sizeof helper));
    ::close(report[0]);
    EXPECT_TRUE(fs::is_symlink(dir.file("line")));
    ::kill(program, SIGKILL);
    ::waitpid(program, nullptr, 0);
    EXPECT_TRUE(EventuallyGone(helper, dir.file("line")));
}

TEST(TestLine, PortNamedTestLineOpensTheSimulatedModem) {
    // [Ports] "Com7" = "test-line" names the test line; the port device is its modem.
    IniFile ini(SettingsFileName());
    ini.WriteString("Ports", "Com7", TestLineDevice);
    ini.Save();
    EXPECT_EQ(DeviceNameForPort(7), TestLineDevice);
    EXPECT_EQ(PortChoiceFor(7).label, TestLineLabel);

    PortOpenRequest request;
    request.deviceName = DeviceNameForPort(7);
    const int slot = ComDispatcher::Instance().OpenPort(std::move(request));
    ASSERT_GT(slot, 0);
    EXPECT_TRUE(TestLine::AnyRunning());
    EXPECT_NE(Exchange(slot, "AT+FCLASS=?\r", "OK").find("1"), std::string::npos);
    EXPECT_EQ(ComDispatcher::Instance().ClosePort(slot), 0);
    for (int i = 0; i < 200 && TestLine::AnyRunning(); ++i) {
        std::this_thread::sleep_for(50ms);
    }
    EXPECT_FALSE(TestLine::AnyRunning());
    // The line's link lived in the temporary folder and is gone with it.
    const fs::path temp = fs::temp_directory_path();
    const std::string mine = "quillpost-testline-" + std::to_string(::getpid()) + "-";
    for (const auto& entry : fs::directory_iterator(temp)) {
        EXPECT_NE(entry.path().filename().string().rfind(mine, 0), 0u) << entry.path();
    }
}

TEST(TestLine, UsbSerialDevicesAreFoundByNameOnly) {
    qptest::ScratchDir dev("testline-dev");
    EXPECT_FALSE(SerialDeviceScan::UsbSerialDevicePresent(dev.path().string()));
    { std::ofstream(dev.file("ttyS0")); }
    EXPECT_FALSE(SerialDeviceScan::UsbSerialDevicePresent(dev.path().string()));
    { std::ofstream(dev.file("ttyUSB0")); }
    EXPECT_TRUE(SerialDeviceScan::UsbSerialDevicePresent(dev.path().string()));
    fs::remove(dev.file("ttyUSB0"));
    { std::ofstream(dev.file("ttyACM3")); }
    EXPECT_TRUE(SerialDeviceScan::UsbSerialDevicePresent(dev.path().string()));
}
