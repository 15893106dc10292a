// The dispatcher on real pseudo-terminals: opening and closing, line settings, the port
// table, output and input buffers, trigger delivery from the port's threads, trace and
// log files.
#include <gtest/gtest.h>

#include <atomic>
#include <fcntl.h>
#include <fstream>
#include <mutex>
#include <sstream>
#include <sys/file.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "PtyPair.h"
#include "TestPaths.h"
#include "faxcomm/core/ComDispatcher.h"

using namespace qpcomm;
using namespace std::chrono_literals;

namespace {

ComDispatcher& Dispatcher() {
    return ComDispatcher::Instance();
}

int Open(const std::string& device, LineSettings line = {}) {
    PortOpenRequest request;
    request.deviceName = device;
    request.line = line;
    return Dispatcher().OpenPort(std::move(request));
}

// Records every trigger a procedure handler receives.
class Recorder {
public:
    void Attach(int slot) {
        Dispatcher().AddTriggerProcedure(slot, [this](int, const TriggerMessage& message) {
            std::lock_guard guard(mutex_);
            messages_.push_back(message);
        });
    }
    std::vector<TriggerMessage> Messages() const {
        std::lock_guard guard(mutex_);
        return messages_;
    }
    std::size_t Count(std::uint16_t id) const {
        std::size_t count = 0;
        for (const auto& message : Messages()) {
            count += message.message == id;
        }
        return count;
    }

private:
    mutable std::mutex mutex_;
    std::vector<TriggerMessage> messages_;
};

std::string ReadFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string TakeAll(int slot) {
    std::string text;
    for (int byte; (byte = Dispatcher().GetChar(slot)) >= 0;) {
        text += static_cast<char>(byte);
    }
    return text;
}

} // namespace

// The settings the device really took are read back: a pseudo-terminal keeps the speed
// and stop bits but always works with 8 data bits and no parity.
TEST(DispatcherTest, OpensAndReadsBackLineSettings) {
    PtyPair pty;
    const int slot = Open(pty.SlaveName(), LineSettings{9600, pvEven, 7, 1});
    ASSERT_GE(slot, 1);
    EXPECT_TRUE(Dispatcher().IsOpen(slot));
    LineSettings line;
    ASSERT_EQ(Dispatcher().GetLine(slot, line), 0);
    EXPECT_EQ(line, (LineSettings{9600, pvNone, 8, 1}));

    // "Leave unchanged" values keep each setting.
    ASSERT_EQ(Dispatcher().SetLine(slot, 115200, ParityUnchanged, DataBitsUnchanged, 2), 0);
    Dispatcher().GetLine(slot, line);
    EXPECT_EQ(line, (LineSettings{115200, pvNone, 8, 2}));
    ASSERT_EQ(Dispatcher().SetLine(slot, BaudUnchanged, pvMark, DataBitsUnchanged, 1), 0);
    Dispatcher().GetLine(slot, line);
    EXPECT_EQ(line, (LineSettings{115200, pvNone, 8, 1}));
    EXPECT_EQ(
        Dispatcher().SetLine(slot, 12345, ParityUnchanged, DataBitsUnchanged, StopBitsUnchanged),
        -3002);
    EXPECT_EQ(Dispatcher().SetLine(slot, BaudUnchanged, ParityUnchanged, 4, StopBitsUnchanged),
              -3002);

    EXPECT_EQ(Dispatcher().ClosePort(slot), 0);
    EXPECT_FALSE(Dispatcher().IsOpen(slot));
    EXPECT_EQ(Dispatcher().ClosePort(slot), -1001);
    EXPECT_EQ(Dispatcher().GetChar(slot), -1001);
    EXPECT_EQ(Dispatcher().PutString(slot, "x"), -1001);
    EXPECT_EQ(Dispatcher().GetChar(0), -1001);
    EXPECT_EQ(Dispatcher().GetChar(51), -1001);
}

TEST(DispatcherTest, FiftyFirstPortFailsWithNoHandles) {
    std::vector<std::unique_ptr<PtyPair>> ptys;
    std::vector<int> slots;
    for (int i = 0; i < 51; ++i) {
        ptys.push_back(std::make_unique<PtyPair>());
    }
    for (int i = 0; i < 50; ++i) {
        const int slot = Open(ptys[i]->SlaveName());
        ASSERT_GE(slot, 1) << i;
        slots.push_back(slot);
    }
    EXPECT_EQ(Open(ptys[50]->SlaveName()), -2009);
    Dispatcher().ClosePort(slots[7]);
    const int reused = Open(ptys[50]->SlaveName());
    EXPECT_EQ(reused, slots[7]); // the freed slot is taken again
    slots[7] = reused;
    for (int slot : slots) {
        EXPECT_EQ(Dispatcher().ClosePort(slot), 0);
    }
    EXPECT_EQ(Dispatcher().OpenCount(), 0);
}

TEST(DispatcherTest, MissingDeviceAndDeviceInUse) {
    EXPECT_EQ(Open("/dev/quillpost-no-such-port"), -2001);
    EXPECT_EQ(Open("/nonexistent-folder/ttyS0"), -2001);
    qptest::ScratchDir dir("notatty");
    std::ofstream(dir.file("plain")) << "x";
    EXPECT_EQ(Open(dir.file("plain")), -2001); // a plain file is no serial port

    // Another process holds the device.
    PtyPair pty;
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        const int fd = ::open(pty.SlaveName().c_str(), O_RDWR | O_NOCTTY);
        ::flock(fd, LOCK_EX);
        [[maybe_unused]] ssize_t w = ::write(ready[1], "x", 1);
        ::sleep(30);
        ::_exit(0);
    }
    char byte;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    EXPECT_EQ(Open(pty.SlaveName()), -2008);
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    ::close(ready[0]);
    ::close(ready[1]);

    // And within this process: the second open of the same device is refused too.
    const int slot = Open(pty.SlaveName());
    ASSERT_GE(slot, 1);
    EXPECT_EQ(Open(pty.SlaveName()), -2008);
    Dispatcher().ClosePort(slot);
    const int again = Open(pty.SlaveName());
    EXPECT_GE(again, 1);
    Dispatcher().ClosePort(again);
}

TEST(DispatcherTest, PutLargerThanFreeSpaceWritesNothing) {
    PtyPair pty;
    PortOpenRequest request;
    request.deviceName = pty.SlaveName();
    request.outSize = 1024;
    const int slot = Dispatcher().OpenPort(std::move(request));
    ASSERT_GE(slot, 1);
    Dispatcher().RecordingOn(slot, Recording::Trace, 100);
    EXPECT_EQ(Dispatcher().PutBlock(slot, std::vector<std::uint8_t>(1025, 'x').data(), 1025),
              -3006);
    EXPECT_EQ(pty.ReadFor(100ms), "");
    EXPECT_EQ(Dispatcher().RecordingText(slot, Recording::Trace, true), "");

    // Fill the pty until the staging buffer backs up, then one byte more than the free
    // space is refused and exactly what was accepted arrives.
    std::size_t accepted = 0;
    const std::vector<std::uint8_t> block(256, 'y');
    int result = 0;
    for (int i = 0; i < 400 && result == 0; ++i) {
        result = Dispatcher().PutBlock(slot, block.data(), block.size());
        accepted += result == 0 ? block.size() : 0;
        std::this_thread::sleep_for(1ms);
    }
    ASSERT_EQ(result, -3006);
    const long free = Dispatcher().OutBuffFree(slot);
    ASSERT_LT(free, 256);
    const std::vector<std::uint8_t> tooBig(static_cast<std::size_t>(free) + 1, 'z');
    EXPECT_EQ(Dispatcher().PutBlock(slot, tooBig.data(), tooBig.size()), -3006);
    const std::string arrived = pty.Read(accepted + 1, 2000ms);
    EXPECT_EQ(arrived.size(), accepted);
    EXPECT_EQ(arrived.find('z'), std::string::npos);
    Dispatcher().ClosePort(slot);
}

TEST(DispatcherTest, EmptyBufferAndWrapThroughThePort) {
    PtyPair pty;
    const int slot = Open(pty.SlaveName());
    ASSERT_GE(slot, 1);
    EXPECT_EQ(Dispatcher().GetChar(slot), -3007);
    EXPECT_EQ(Dispatcher().PeekChar(slot), -3007);
    EXPECT_FALSE(Dispatcher().CharReady(slot));

    // 3000 bytes in and out, then 8192 more: the buffer wraps and holds all of them.
    std::string first(3000, 'a');
    pty.Write(first);
    ASSERT_TRUE(WaitUntil([&] { return Dispatcher().InBuffUsed(slot) == 3000; }));
    EXPECT_EQ(TakeAll(slot), first);
    std::string full;
    for (int i = 0; i < 8192; ++i) {
        full += static_cast<char>('A' + i % 26);
    }
    pty.Write(full + "overflow");
    ASSERT_TRUE(WaitUntil([&] { return Dispatcher().InBuffUsed(slot) == 8192; }));
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(Dispatcher().InBuffUsed(slot), 8192); // full, not empty; the rest waits
    EXPECT_EQ(Dispatcher().PeekChar(slot, 8191), 'A' + 8191 % 26);
    std::string got;
    WaitUntil([&] {
        got += TakeAll(slot);
        return got.size() >= full.size() + 8;
    });
    EXPECT_EQ(got, full + "overflow");
    Dispatcher().ClosePort(slot);
}

TEST(DispatcherTest, HardwareFlowArgumentsAreChecked) {
    PtyPair pty;
    PortOpenRequest request;
    request.deviceName = pty.SlaveName();
    request.inSize = 8192;
    const int slot = Dispatcher().OpenPort(std::move(request));
    ASSERT_GE(slot, 1);
    EXPECT_EQ(Dispatcher().HWFlowOptions(slot, 100, 819, hwfUseRTS | hwfRequireCTS), -1002);
    EXPECT_EQ(Dispatcher().HWFlowOptions(slot, 8193, 819, hwfUseRTS | hwfRequireCTS), -1002);
    EXPECT_EQ(Dispatcher().HWFlowOptions(slot, 7372, 819, hwfUseRTS | hwfRequireCTS), 0);
    EXPECT_EQ(Dispatcher().SWFlowOptions(slot, 6144, 2048, swfBoth, 17, 19), 0);
    EXPECT_EQ(Dispatcher().SWFlowOptions(slot, 10, 20, swfBoth, 17, 19), -1002);

    ASSERT_EQ(Dispatcher().SWFlowDisable(slot), 0); // XON/XOFF bytes would be taken as flow
    // Flow holds the intake at the full mark and resumes at the resume mark: nothing is
    // lost on the way.
    ASSERT_EQ(Dispatcher().HWFlowOptions(slot, 1000, 100, hwfUseRTS | hwfRequireCTS), 0);
    std::string data;
    for (int i = 0; i < 5000; ++i) {
        data += static_cast<char>(i % 251);
    }
    pty.Write(data);
    ASSERT_TRUE(WaitUntil([&] { return Dispatcher().InBuffUsed(slot) >= 1000; }));
    std::this_thread::sleep_for(50ms);
    EXPECT_LT(Dispatcher().InBuffUsed(slot), 1000 + 4096);
    std::string got;
    WaitUntil([&] {
        got += TakeAll(slot);
        return got.size() >= data.size();
    });
    EXPECT_EQ(got, data);
    Dispatcher().ClosePort(slot);
}

TEST(DispatcherTest, TimerTriggerFiresOnceInTicks) {
    PtyPair pty;
    const int slot = Open(pty.SlaveName());
    ASSERT_GE(slot, 1);
    Recorder recorder;
    recorder.Attach(slot);
    const int timer = Dispatcher().AddTimerTrigger(slot);
    ASSERT_EQ(timer, 2);
    const auto start = std::chrono::steady_clock::now();
    std::atomic<long> firedAfter{0};
    Dispatcher().AddTriggerProcedure(slot, [&](int, const TriggerMessage& message) {
        if (message.message == msgTriggerTimer) {
            firedAfter = std::chrono::duration_cast<std::chrono::milliseconds>(
                             std::chrono::steady_clock::now() - start)
                             .count();
        }
    });
    ASSERT_EQ(Dispatcher().SetTimerTrigger(slot, timer, SecondsToTicks(1), true), 0);
    ASSERT_TRUE(WaitUntil([&] { return recorder.Count(msgTriggerTimer) == 1; }));
    EXPECT_GE(firedAfter.load(), 18 * 55);
    EXPECT_LT(firedAfter.load(), 18 * 55 + 2000); // generous: the machine may be busy
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(recorder.Count(msgTriggerTimer), 1u);
    EXPECT_EQ(recorder.Messages()[0].wParam, timer);
    EXPECT_EQ(Dispatcher().SetTimerTrigger(slot, 41, 1, true), -5003);
    Dispatcher().ClosePort(slot);
}

// The fax engine waits with kind 4, count 0 for its last bytes to leave.
TEST(DispatcherTest, OutputUsedZeroFiresOnlyWhenOutputIsEmpty) {
    PtyPair pty;
    PortOpenRequest request;
    request.deviceName = pty.SlaveName();
    request.outSize = 8192;
    const int slot = Dispatcher().OpenPort(std::move(request));
    ASSERT_GE(slot, 1);
    Recorder recorder;
    recorder.Attach(slot);
    const std::vector<std::uint8_t> block(4096, 'q');
    std::size_t put = 0;
    // The kernel moves pty output on in the background, so a refused put only means full
    // once several in a row are refused.
    for (int refusedInARow = 0; refusedInARow < 5;) {
        if (Dispatcher().PutBlock(slot, block.data(), block.size()) == 0) {
            put += block.size();
            refusedInARow = 0;
        } else {
            ++refusedInARow;
        }
        std::this_thread::sleep_for(20ms);
    }
    ASSERT_GT(Dispatcher().OutBuffUsed(slot), 0);
    const int handle = Dispatcher().AddStatusTrigger(slot, skOutBuffUsed);
    ASSERT_EQ(Dispatcher().SetStatusTrigger(slot, handle, 0, true), 0);
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(recorder.Count(msgTriggerStatus), 0u);
    // On a pty the device queue counts 0 (TIOCOUTQ), so "all output has left" means
    // "left our buffers": the trigger fires once the staging buffer is written.
    EXPECT_EQ(pty.Read(put, 3000ms).size(), put);
    ASSERT_TRUE(WaitUntil([&] { return recorder.Count(msgTriggerStatus) == 1; }));
    EXPECT_EQ(Dispatcher().OutBuffUsed(slot), 0);
    EXPECT_EQ(recorder.Messages().back().wParam, handle);
    Dispatcher().ClosePort(slot);
}

TEST(DispatcherTest, DataAvailableAndDataMatchInOrder) {
    PtyPair pty;
    const int slot = Open(pty.SlaveName());
    ASSERT_GE(slot, 1);
    const int ok = Dispatcher().AddDataTrigger(slot, "OK");
    Recorder recorder;
    recorder.Attach(slot);
    pty.Write("xxOK");
    ASSERT_TRUE(WaitUntil([&] { return recorder.Messages().size() >= 3; }));
    const auto messages = recorder.Messages();
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[0].message, msgTriggerAvail);
    EXPECT_EQ(messages[0].wParam, 2);
    EXPECT_EQ(messages[1].message, msgTriggerData);
    EXPECT_EQ(messages[1].wParam, ok);
    EXPECT_EQ(messages[2].message, msgTriggerAvail);
    EXPECT_EQ(messages[2].wParam, 4);

    // Flushing input forgets the bytes and any half-seen match.
    pty.Write("O");
    ASSERT_TRUE(WaitUntil([&] { return Dispatcher().InBuffUsed(slot) == 5; }));
    EXPECT_EQ(Dispatcher().FlushInBuffer(slot), 0);
    EXPECT_EQ(Dispatcher().InBuffUsed(slot), 0);
    pty.Write("K");
    ASSERT_TRUE(WaitUntil([&] { return recorder.Messages().size() >= 5; }));
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(recorder.Count(msgTriggerData), 1u);
    Dispatcher().ClosePort(slot);
}

// A handler that closes its own port: the close waits until the delivery ends, and the
// port is then really gone (device released, slot free).
TEST(DispatcherTest, CloseFromInsideATriggerHandler) {
    PtyPair pty;
    const int slot = Open(pty.SlaveName());
    ASSERT_GE(slot, 1);
    std::atomic<int> closeResult{1};
    std::atomic<bool> stillOpenInside{false};
    std::atomic<int> calls{0};
    Dispatcher().AddTriggerProcedure(slot, [&](int s, const TriggerMessage&) {
        ++calls;
        closeResult = Dispatcher().ClosePort(s);
        stillOpenInside = Dispatcher().InBuffUsed(s) >= 0; // the record lives until we return
    });
    Dispatcher().AddTriggerProcedure(slot, [&](int, const TriggerMessage&) { ++calls; });
    pty.Write("hello");
    ASSERT_TRUE(WaitUntil([&] { return Dispatcher().DeviceName(slot).empty(); }));
    EXPECT_EQ(closeResult.load(), 0);
    EXPECT_TRUE(stillOpenInside.load());
    EXPECT_EQ(calls.load(), 2); // the delivery in progress reached every handler
    EXPECT_EQ(Dispatcher().GetChar(slot), -1001);
    const int again = Open(pty.SlaveName());
    EXPECT_GE(again, 1);
    Dispatcher().ClosePort(again);
}

// A window-style handler runs on its own thread; a handler thread that never answers
// holds the dispatcher for at most 1000 ms per message.
TEST(DispatcherTest, WindowHandlerRunsOnItsThreadWithBoundedWait) {
    PtyPair pty;
    const int slot = Open(pty.SlaveName());
    ASSERT_GE(slot, 1);
    std::mutex mutex;
    std::vector<std::function<void()>> mailbox;
    std::atomic<int> delivered{0};
    Dispatcher().AddTriggerWindow(
        slot,
        [&](int, const TriggerMessage& message) {
            EXPECT_EQ(message.ComponentIndex(), 7);
            ++delivered;
        },
        [&](std::function<void()> call) {
            std::lock_guard guard(mutex);
            mailbox.push_back(std::move(call));
        },
        7);
    Recorder recorder;
    recorder.Attach(slot);
    const int t1 = Dispatcher().AddTimerTrigger(slot);
    const int t2 = Dispatcher().AddTimerTrigger(slot);
    Dispatcher().SetTimerTrigger(slot, t1, 1, true);
    Dispatcher().SetTimerTrigger(slot, t2, 1, true);
    const auto start = std::chrono::steady_clock::now();
    // Nobody empties the mailbox: the second timer reaches the procedure after ~1 s.
    ASSERT_TRUE(WaitUntil([&] { return recorder.Count(msgTriggerTimer) == 2; }, 8000ms));
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, 1900ms);
    EXPECT_LT(waited, 7000ms);
    std::vector<std::function<void()>> calls;
    {
        std::lock_guard guard(mutex);
        calls.swap(mailbox);
    }
    for (auto& call : calls) {
        call(); // late answers are harmless
    }
    EXPECT_EQ(delivered.load(), 2);
    Dispatcher().ClosePort(slot);
}

TEST(DispatcherTest, TraceAndLogDumps) {
    PtyPair pty;
    qptest::ScratchDir dir("dumps");
    const int slot = Open(pty.SlaveName());
    ASSERT_GE(slot, 1);
    EXPECT_EQ(Dispatcher().RecordingDump(slot, Recording::Trace, dir.file("x.trc"), false, true),
              -3008);
    EXPECT_EQ(Dispatcher().RecordingDump(slot, Recording::Log, dir.file("x.log"), false, true),
              -3009);
    ASSERT_EQ(Dispatcher().RecordingOn(slot, Recording::Trace, 1000), 0);
    ASSERT_EQ(Dispatcher().RecordingOn(slot, Recording::Log, 1000), 0);
    ASSERT_EQ(Dispatcher().PutString(slot, "AT\r"), 0);
    EXPECT_EQ(pty.Read(3, 2000ms), "AT\r");
    pty.Write("\r\nOK\r\n");
    ASSERT_TRUE(WaitUntil([&] { return Dispatcher().InBuffUsed(slot) == 6; }));
    EXPECT_EQ(TakeAll(slot), "\r\nOK\r\n");
    ASSERT_TRUE(WaitUntil([&] { return Dispatcher().OutBuffUsed(slot) == 0; }));
    std::this_thread::sleep_for(20ms);

    ASSERT_EQ(Dispatcher().RecordingDump(slot, Recording::Trace, dir.file("QPX.TRC"), false, true),
              0);
    EXPECT_EQ(ReadFile(dir.file("QPX.TRC")), "\nTransmit: AT[0D]\n\nReceive: [0D][0A]OK[0D][0A]\n");
    EXPECT_FALSE(
        Dispatcher().RecordingEnabled(slot, Recording::Trace)); // a dump ends the recording
    ASSERT_EQ(Dispatcher().RecordingDump(slot, Recording::Log, dir.file("QPX.LOG"), false, true),
              0);
    const std::string log = ReadFile(dir.file("QPX.LOG"));
    EXPECT_EQ(log.rfind("Time      Type      SubType       Data  OtherData\n"
                        "----      ----      -------       ----  ---------\n",
                        0),
              0u);
    EXPECT_NE(log.find("Device    Write            3  AT[0D]"), std::string::npos);
    EXPECT_NE(log.find("Device    Read             6"), std::string::npos);

    // Clear and pause.
    Dispatcher().RecordingOn(slot, Recording::Trace, 1000);
    Dispatcher().PutString(slot, "A");
    Dispatcher().RecordingClear(slot, Recording::Trace);
    Dispatcher().PutString(slot, "B");
    Dispatcher().RecordingPause(slot, Recording::Trace);
    Dispatcher().PutString(slot, "C");
    EXPECT_EQ(Dispatcher().RecordingText(slot, Recording::Trace, true), "\nTransmit: B\n");
    Dispatcher().RecordingOn(slot, Recording::Trace, 1000); // resumes
    Dispatcher().PutString(slot, "D");
    EXPECT_EQ(Dispatcher().RecordingText(slot, Recording::Trace, true), "\nTransmit: BD\n");

    // The log answers the same commands with its own "not enabled" result.
    EXPECT_FALSE(Dispatcher().RecordingEnabled(slot, Recording::Log));
    EXPECT_EQ(Dispatcher().RecordingClear(slot, Recording::Log), -3009);
    EXPECT_EQ(Dispatcher().RecordingPause(slot, Recording::Log), -3009);
    EXPECT_EQ(Dispatcher().RecordingClear(slot, Recording::Trace), 0);
    ASSERT_EQ(Dispatcher().RecordingOn(slot, Recording::Log, 1000), 0);
    Dispatcher().SetDTR(slot, true);
    ASSERT_EQ(Dispatcher().RecordingPause(slot, Recording::Log), 0);
    Dispatcher().SetDTR(slot, false);
    const std::string paused = Dispatcher().RecordingText(slot, Recording::Log, true);
    EXPECT_NE(paused.find("User      DTR              1"), std::string::npos);
    EXPECT_EQ(paused.find("User      DTR              0"), std::string::npos);
    ASSERT_EQ(Dispatcher().RecordingClear(slot, Recording::Log), 0);
    EXPECT_EQ(Dispatcher().RecordingText(slot, Recording::Log, true).find("DTR"),
              std::string::npos);
    ASSERT_EQ(Dispatcher().RecordingOff(slot, Recording::Log), 0);
    EXPECT_FALSE(Dispatcher().RecordingEnabled(slot, Recording::Log));
    Dispatcher().ClosePort(slot);
}

TEST(DispatcherTest, ClientSlotsAndModemStatusOfALinelessDevice) {
    PtyPair pty;
    const int slot = Open(pty.SlaveName());
    ASSERT_GE(slot, 1);
    int value = 42;
    EXPECT_EQ(Dispatcher().StoreClientSlot(slot, 2, &value), 0);
    void* fetched = nullptr;
    EXPECT_EQ(Dispatcher().FetchClientSlot(slot, 2, fetched), 0);
    EXPECT_EQ(fetched, &value);
    EXPECT_EQ(Dispatcher().StoreClientSlot(slot, 11, &value), 64534);
    EXPECT_EQ(Dispatcher().FetchClientSlot(slot, 0, fetched), 64534);
    // A pty has no modem lines: clear to send and data set ready, no carrier.
    EXPECT_EQ(Dispatcher().GetModemStatus(slot), mslCTS | mslDSR);
    EXPECT_EQ(Dispatcher().SetDTR(slot, false), 0);
    EXPECT_EQ(Dispatcher().SetDTR(slot, true), 0);
    EXPECT_EQ(Dispatcher().GetLineStatus(slot), 0);
    Dispatcher().ClosePort(slot);
}
