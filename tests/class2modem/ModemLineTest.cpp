// The emulated modem's line to the computer: page data paced at the negotiated rate,
// hardware flow control on the pseudo-terminal, DTR, a computer that disappears mid-call,
// and a clean end of the program however it is ended.
#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <fstream>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "ComputerSide.h"
#include "Emulator.h"
#include "ModemLoop.h"
#include "TestPages.h"

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Lines = std::vector<std::string>;

namespace {

const std::vector<std::uint8_t> DleEtx = {0x10, 0x03};

std::vector<std::uint8_t> operator+(std::vector<std::uint8_t> a,
                                    const std::vector<std::uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

bool Exists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

std::string LinkTarget(const std::string& link) {
    char target[PATH_MAX] = {};
    const ssize_t length = ::readlink(link.c_str(), target, sizeof target - 1);
    return length > 0 ? std::string(target, static_cast<std::size_t>(length)) : std::string();
}

// Gone, or a zombie nobody has reaped yet.
bool ProcessGone(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) {
        return true;
    }
    const std::size_t paren = line.rfind(')');
    return paren != std::string::npos && paren + 2 < line.size() && line[paren + 2] == 'Z';
}

template <typename Condition>
bool Eventually(Condition condition, std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    while (Clock::now() < deadline) {
        if (condition()) {
            return true;
        }
        std::this_thread::sleep_for(20ms);
    }
    return condition();
}

bool Prepare(ComputerSide& pc, const std::string& faxClass) {
    return pc.Exchange("ATE0").back() == "OK" &&
           pc.Exchange("AT+FCLASS=" + faxClass).back() == "OK";
}

} // namespace

TEST(Class2ModemLine, PageDataFromTheComputerTakesTheTimeOfTheLineRate) {
    // At 9600 bit/s a page of about 3 KB takes about 2.5 s from CONNECT to OK, however fast
    // the computer writes it.
    Emulator modem;
    ASSERT_TRUE(modem.Start({"--rate", "9600"}));
    ComputerSide pc;
    ASSERT_TRUE(pc.Open(modem.Device()));
    ASSERT_TRUE(Prepare(pc, "2"));
    ASSERT_EQ(pc.Exchange("ATDT1").back(), "OK");
    ASSERT_EQ(pc.Exchange("AT+FDT").back(), "CONNECT");
    const auto coded = testpages::Code(testpages::Pattern(1728, 100, 30));
    const auto start = Clock::now();
    ASSERT_TRUE(pc.Write(testpages::Stuffed(coded) + DleEtx));
    EXPECT_EQ(pc.Lines(), (Lines{"OK"}));
    const double elapsed = Seconds(Clock::now() - start);
    const double expected = static_cast<double>(coded.size()) / 1200.0;
    EXPECT_GT(elapsed, expected * 0.97) << "faster than the line";
    EXPECT_LT(elapsed, expected * 1.15 + 0.3) << "much slower than the line";
    EXPECT_EQ(pc.Exchange("AT+FET=2").back(), "OK");

    const auto page = modem.Event("page 1 ");
    ASSERT_TRUE(page);
    const double bytes = std::stod(EventValue(*page, "bytes"));
    const double ms = std::stod(EventValue(*page, "ms"));
    EXPECT_EQ(bytes, static_cast<double>(coded.size()));
    EXPECT_NEAR(bytes / ms * 1000.0, 1200.0, 1200.0 * 0.05) << *page;
}

TEST(Class2ModemLine, PageDataToTheComputerComesAtTheNegotiatedRate) {
    // The far end sends at the rate the computer's capabilities allow: 4800 bit/s here.
    Emulator modem;
    ASSERT_TRUE(
        testpages::WriteTiff(modem.File("a.tif"), {testpages::Pattern(1728, 50, 31)}, false));
    ASSERT_TRUE(modem.Start({"--tx-tiff", modem.File("a.tif")}));
    ComputerSide pc;
    ASSERT_TRUE(pc.Open(modem.Device()));
    ASSERT_TRUE(Prepare(pc, "2.0"));
    ASSERT_EQ(pc.Exchange("AT+FCR=1;+FCC=0,1,0,2,0,0,0,0").back(), "OK");
    modem.Send("ring");
    ASSERT_EQ(pc.Line().value_or(""), "RING");
    ASSERT_EQ(pc.Exchange("ATA").back(), "OK");
    ASSERT_EQ(pc.Exchange("AT+FDR").back(), "CONNECT");
    const auto start = Clock::now();
    pc.Write(std::string(1, 0x12));
    const auto data = pc.PageData();
    ASSERT_TRUE(data);
    const double elapsed = Seconds(Clock::now() - start);
    const double expected = static_cast<double>(data->size()) / 600.0;
    EXPECT_GT(elapsed, expected * 0.97);
    EXPECT_LT(elapsed, expected * 1.15 + 0.3);
}

TEST(Class2ModemLine, AFullModemBufferHoldsTheComputerBack) {
    // Flow control on the pseudo-terminal: while the line is slower than the computer,
    // the computer cannot write far ahead, and no byte is lost on the way.
    Emulator modem;
    ASSERT_TRUE(modem.Start({"--rx-tiff", modem.File("rx.tif"), "--time-factor", "8"}));
    ComputerSide pc;
    ASSERT_TRUE(pc.Open(modem.Device()));
    ASSERT_TRUE(Prepare(pc, "2"));
    ASSERT_EQ(pc.Exchange("AT+FDIS=0").back(), "OK");
    ASSERT_EQ(pc.Exchange("ATDT1").back(), "OK");
    ASSERT_EQ(pc.Exchange("AT+FDT").back(), "CONNECT");
    const FaxRaster page = testpages::Pattern(1728, 2200, 32);
    const auto wire = testpages::Stuffed(testpages::Code(page)) + DleEtx;
    ASSERT_GT(wire.size(), 55000u);

    // For 300 ms write as fast as the line lets us, without waiting.
    std::size_t sent = 0;
    bool held = false;
    const auto start = Clock::now();
    while (Clock::now() - start < 300ms && sent < wire.size()) {
        const std::size_t chunk = std::min<std::size_t>(4096, wire.size() - sent);
        const long taken =
            pc.TryWrite(std::vector<std::uint8_t>(wire.begin() + static_cast<long>(sent),
                                                  wire.begin() + static_cast<long>(sent + chunk)));
        sent += static_cast<std::size_t>(taken);
        if (taken == 0) {
            held = true;
            std::this_thread::sleep_for(5ms);
        }
    }
    // 14400 bit/s eight times faster: 14.4 KB/s; the pseudo-terminal itself holds ~20 KB.
    EXPECT_TRUE(held);
    EXPECT_LT(sent, 24000u + 14400u * 3 / 10 + 4096u);
    ASSERT_TRUE(
        pc.Write(std::vector<std::uint8_t>(wire.begin() + static_cast<long>(sent), wire.end())));
    EXPECT_EQ(pc.Lines(20s), (Lines{"OK"}));
    EXPECT_EQ(pc.Exchange("AT+FET=2"), (Lines{"+FPTS:1", "+FHNG:0", "OK"}));
    const auto received = testpages::ReadTiff(modem.File("rx.tif"));
    ASSERT_EQ(received.size(), 1u);
    EXPECT_TRUE(received[0] == page);
}

TEST(Class2ModemLine, DroppingDtrHangsUpAndTheModemStaysUsable) {
    // DTR off in the middle of a received page ends the call at once (as &D2 modems do).
    Emulator modem;
    ASSERT_TRUE(
        testpages::WriteTiff(modem.File("a.tif"), {testpages::Pattern(1728, 200, 33)}, false));
    ASSERT_TRUE(modem.Start({"--tx-tiff", modem.File("a.tif")}));
    ComputerSide pc;
    ASSERT_TRUE(pc.Open(modem.Device()));
    ASSERT_TRUE(Prepare(pc, "2"));
    ASSERT_EQ(pc.Exchange("AT+FCR=1").back(), "OK");
    modem.Send("ring");
    ASSERT_EQ(pc.Line().value_or(""), "RING");
    ASSERT_EQ(pc.Exchange("ATA").back(), "OK");
    ASSERT_EQ(pc.Exchange("AT+FDR").back(), "CONNECT");
    pc.Write(std::string(1, 0x12));
    ASSERT_TRUE(modem.Event("page-start 1"));
    std::this_thread::sleep_for(200ms);
    pc.DropDtr(true);
    EXPECT_TRUE(modem.Event("dtr off"));
    EXPECT_TRUE(modem.Event("call end hangup=none pages=0"));
    EXPECT_EQ(modem.Event("result ").value_or(""), "result error dtr dropped");
    pc.DropDtr(false);
    EXPECT_TRUE(modem.Event("dtr on"));
    pc.Flush(100ms); // page data sent before the hang-up
    EXPECT_EQ(pc.Exchange("AT+FCLASS?"), (Lines{"2", "OK"}));
    EXPECT_EQ(pc.Exchange("AT+FDR"), (Lines{"ERROR"})) << "the call is gone";
}

TEST(Class2ModemLine, AComputerThatVanishesMidPageLeavesAUsableModem) {
    // The program dies halfway through a page: the far end gives up (+FHNG:43), the
    // modem returns to commands, and the next program sends a fax as if nothing happened.
    Emulator modem;
    ASSERT_TRUE(modem.Start({"--rx-tiff", modem.File("rx.tif"), "--time-factor", "4"}));
    const FaxRaster page = testpages::Pattern(1728, 600, 34);
    const auto wire = testpages::Stuffed(testpages::Code(page)) + DleEtx;
    {
        ComputerSide pc;
        ASSERT_TRUE(pc.Open(modem.Device()));
        ASSERT_TRUE(Prepare(pc, "2"));
        ASSERT_EQ(pc.Exchange("ATDT1").back(), "OK");
        ASSERT_EQ(pc.Exchange("AT+FDT").back(), "CONNECT");
        pc.TryWrite(std::vector<std::uint8_t>(wire.begin(), wire.begin() + 3000));
    }
    EXPECT_TRUE(modem.Event("page-end class2 stalled", 10s));
    EXPECT_TRUE(modem.Event("call end hangup=43"));
    EXPECT_EQ(modem.Event("result ").value_or(""),
              "result error the computer stopped sending page data");

    ComputerSide pc;
    ASSERT_TRUE(pc.Open(modem.Device()));
    pc.Flush(100ms);
    ASSERT_TRUE(Prepare(pc, "2"));
    ASSERT_EQ(pc.Exchange("ATDT1").back(), "OK");
    ASSERT_EQ(pc.Exchange("AT+FDT").back(), "CONNECT");
    ASSERT_TRUE(pc.Write(wire, 30s));
    EXPECT_EQ(pc.Lines(20s), (Lines{"OK"}));
    EXPECT_EQ(pc.Exchange("AT+FET=2").back(), "OK");
    EXPECT_EQ(modem.Event("result ").value_or(""), "result ok pages=1");
    const auto received = testpages::ReadTiff(modem.File("rx.tif"));
    ASSERT_EQ(received.size(), 1u);
    EXPECT_TRUE(received[0] == page);
}

TEST(Class2ModemLine, EveryWayOfEndingTheProgramCleansUp) {
    // SIGTERM in the middle of a page, end of standard input, and "quit" each end the
    // program with status 0, the link and the pseudo-terminal gone.
    for (const std::string how : {"term", "eof", "quit"}) {
        Emulator modem;
        ASSERT_TRUE(modem.Start({}));
        const std::string slave = LinkTarget(modem.Device());
        ASSERT_FALSE(slave.empty());
        {
            ComputerSide pc;
            ASSERT_TRUE(pc.Open(modem.Device()));
            ASSERT_TRUE(Prepare(pc, "2"));
            ASSERT_EQ(pc.Exchange("ATDT1").back(), "OK");
            ASSERT_EQ(pc.Exchange("AT+FDT").back(), "CONNECT");
            pc.TryWrite(std::vector<std::uint8_t>(1000, 0));
            if (how == "term") {
                ::kill(modem.Process().Pid(), SIGTERM);
            } else if (how == "eof") {
                modem.Process().CloseInput();
            } else {
                modem.Send("quit");
            }
            EXPECT_EQ(modem.Process().Wait(5s).value_or(-1), 0) << how;
        }
        EXPECT_FALSE(Exists(modem.Device())) << how;
        EXPECT_FALSE(Exists(slave)) << how;
    }
}

TEST(Class2ModemLine, TheProgramEndsWithTheProcessThatStartedIt) {
    // A test runner killed with SIGKILL leaves no modem behind: the modem's parent dies,
    // the modem ends and removes its link (standard input stays open all the while).
    qptest::ScratchDir dir("orphan");
    const std::string link = dir.file("ttyFAX");
    qptest::ChildProcess shell;
    ASSERT_TRUE(shell.Start({"/bin/sh", "-c",
                             "exec 3<&0; " + Emulator::Program() + " --link " + link +
                                 " --delays fast <&3 & echo pid $!; exec sleep 60"}));
    const auto pidLine = shell.WaitForLine("pid ", 5s);
    ASSERT_TRUE(pidLine);
    const pid_t modem = std::stoi(pidLine->substr(4));
    ASSERT_TRUE(shell.WaitForLine("ready ", 5s));
    ASSERT_TRUE(Exists(link));
    ::kill(shell.Pid(), SIGKILL);
    EXPECT_TRUE(Eventually([&]() { return ProcessGone(modem); }, 5s)) << [&]() {
        std::ifstream stat("/proc/" + std::to_string(modem) + "/stat");
        std::string line;
        std::getline(stat, line);
        return line;
    }();
    EXPECT_FALSE(Exists(link));
    if (!ProcessGone(modem)) {
        ::kill(modem, SIGKILL);
    }
}

TEST(Class2ModemLine, StartFailuresAreReportedAndTouchNothing) {
    // A link name that is a real file is left alone; unreadable documents and missing
    // folders stop the program at once with status 1; a bad option with status 2.
    qptest::ScratchDir dir("failures");
    const std::string file = dir.file("notalink");
    std::ofstream(file) << "keep me";
    qptest::ChildProcess child;
    ASSERT_TRUE(child.Start({Emulator::Program(), "--link", file}));
    EXPECT_EQ(child.Wait(5s).value_or(-1), 1);
    std::ifstream in(file);
    std::string content;
    std::getline(in, content);
    EXPECT_EQ(content, "keep me");

    const std::ofstream notTiff(dir.file("page.tif"));
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--tx-tiff", dir.file("missing.tif")},
          std::vector<std::string>{"--tx-tiff", dir.file("page.tif")},
          std::vector<std::string>{"--rx-dir", dir.file("nofolder")}}) {
        qptest::ChildProcess bad;
        std::vector<std::string> argv = {Emulator::Program(), "--link", dir.file("l")};
        argv.insert(argv.end(), args.begin(), args.end());
        ASSERT_TRUE(bad.Start(argv));
        EXPECT_EQ(bad.Wait(5s).value_or(-1), 1) << args[1];
        EXPECT_FALSE(Exists(dir.file("l"))) << args[1];
    }
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--rate", "9601"}, std::vector<std::string>{"--bogus", "1"},
          std::vector<std::string>{"--remote-id", "MORE THAN TWENTY CHARS"},
          std::vector<std::string>{"--delays"}}) {
        qptest::ChildProcess bad;
        std::vector<std::string> argv = {Emulator::Program()};
        argv.insert(argv.end(), args.begin(), args.end());
        ASSERT_TRUE(bad.Start(argv));
        EXPECT_EQ(bad.Wait(5s).value_or(-1), 2) << args[0];
    }
}

TEST(Class2ModemLine, TheLibraryRunsInProcessToo) {
    // ModemLoop without the program: the same modem, events to a callback, "ring" and
    // "quit" posted from the test's thread.
    qptest::ScratchDir dir("inprocess");
    std::mutex mutex;
    std::vector<std::string> events;
    ModemOptions options;
    options.link = dir.file("ttyFAX");
    options.delays = ModemDelays::Fast();
    ASSERT_TRUE(testpages::WriteTiff(dir.file("a.tif"), {testpages::Pattern(1728, 10, 35)}, false));
    options.txTiffs = {dir.file("a.tif")};
    ModemLoop loop(options, [&](const std::string& event) {
        std::lock_guard guard(mutex);
        events.push_back(event);
    });
    std::string error;
    ASSERT_TRUE(loop.Start(error)) << error;
    EXPECT_EQ(loop.DevicePath(), options.link);
    ComputerSide pc;
    ASSERT_TRUE(pc.Open(options.link));
    EXPECT_EQ(pc.Exchange("AT"), (Lines{"AT", "OK"}));
    loop.Post("ring");
    EXPECT_EQ(pc.Line().value_or(""), "RING");
    loop.Post("dance");
    loop.Post("quit");
    EXPECT_TRUE(Eventually([&]() { return loop.Finished(); }, 2s));
    loop.Stop();
    EXPECT_FALSE(Exists(options.link));
    std::lock_guard guard(mutex);
    EXPECT_NE(std::find(events.begin(), events.end(), "ring 1"), events.end());
    EXPECT_NE(std::find(events.begin(), events.end(), "error unknown command: dance"),
              events.end());
}
