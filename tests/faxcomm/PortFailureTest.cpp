// Device failures and output races: the far end going away, writes that fail, a flush
// that meets a write in progress, output purged at close, and a status trigger that
// re-arms itself from its own handler.
#include <gtest/gtest.h>

#include <atomic>
#include <ctime>
#include <mutex>
#include <sys/ioctl.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "DispatcherFixtures.h"
#include "PtyPair.h"
#include "ScriptedDevice.h"
#include "faxcomm/core/ComDispatcher.h"

using namespace qpcomm;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

int OpenScripted(std::unique_ptr<ScriptedDevice> device) {
    PortOpenRequest request;
    request.deviceName = "scripted";
    request.device = std::move(device);
    return Dispatcher().OpenPort(std::move(request));
}

double ProcessCpuSeconds() {
    timespec now{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// Counts the status messages of one trigger handle.
class StatusCounter {
public:
    void Attach(int slot, int handle) {
        Dispatcher().AddTriggerProcedure(slot, [this, handle](int, const TriggerMessage& m) {
            if (m.message == msgTriggerStatus && m.wParam == handle) {
                std::lock_guard guard(mutex_);
                data_.push_back(m.Data());
            }
        });
    }
    std::vector<std::uint16_t> Data() const {
        std::lock_guard guard(mutex_);
        return data_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::uint16_t> data_;
};

} // namespace

// A modem unplugged or a simulator that exits: the port must not spin on the hung-up
// device, must say so through DSR and carrier dropping, and must fail later puts and gets
// at once so that the fax engine ends the call instead of waiting for its time-out.
TEST(PortFailureTest, FarEndGoneIsADeviceFailure) {
    PtyPair pty;
    const int slot = OpenPty(pty);
    ASSERT_GE(slot, 1);
    const int lines = Dispatcher().AddStatusTrigger(slot, skModem);
    ASSERT_EQ(Dispatcher().SetStatusTrigger(slot, lines, mslDSR | mslDCD, true), 0);
    StatusCounter modem;
    modem.Attach(slot, lines);
    pty.Write("abc");
    ASSERT_TRUE(WaitUntil([&] { return Dispatcher().InBuffUsed(slot) == 3; }));

    pty.CloseMaster();
    ASSERT_TRUE(WaitUntil([&] { return modem.Data().size() == 1; }));
    EXPECT_EQ(modem.Data()[0] & mslDSR, 0);
    const int status = Dispatcher().GetModemStatus(slot);
    EXPECT_EQ(status & (mslDSR | mslDCD), 0);
    EXPECT_NE(status & mslDeltaDSR, 0);

    const double cpuStart = ProcessCpuSeconds();
    std::this_thread::sleep_for(2s);
    const double cpu = ProcessCpuSeconds() - cpuStart;
    EXPECT_LT(cpu, 0.3) << "CPU seconds spent by an idle port whose far end is gone";

    // What came before the hang-up is still there; then reads and writes fail.
    EXPECT_TRUE(Dispatcher().IsOpen(slot));
    EXPECT_EQ(Dispatcher().GetChar(slot), 'a');
    std::uint8_t rest[8];
    EXPECT_EQ(Dispatcher().GetBlock(slot, rest, sizeof rest), 2);
    EXPECT_EQ(Dispatcher().GetChar(slot), -3005);
    EXPECT_EQ(Dispatcher().PeekChar(slot), -3005);
    EXPECT_EQ(Dispatcher().GetBlock(slot, rest, sizeof rest), -3005);
    EXPECT_EQ(Dispatcher().PutString(slot, "ATH\r"), -3002);
    EXPECT_EQ(Dispatcher().PutChar(slot, 'x'), -3002);
    const auto waitStart = Clock::now();
    EXPECT_FALSE(Dispatcher().WaitForData(slot, 2000ms));
    EXPECT_LT(Clock::now() - waitStart, 500ms);
    EXPECT_EQ(modem.Data().size(), 1u); // the lines dropped once
    EXPECT_EQ(Dispatcher().ClosePort(slot), 0);
}

// A write the device refuses outright is a device failure as well; a flush does not make
// the port usable again.
TEST(PortFailureTest, FailedWriteRefusesLaterPuts) {
    auto owned = std::make_unique<ScriptedDevice>();
    ScriptedDevice& device = *owned;
    device.failWrites = true;
    const int slot = OpenScripted(std::move(owned));
    ASSERT_GE(slot, 1);
    ASSERT_EQ(Dispatcher().PutString(slot, "ATDT123\r"), 0);
    ASSERT_TRUE(WaitUntil([&] { return Dispatcher().PutString(slot, "") == -3002; }));
    EXPECT_EQ(Dispatcher().OutBuffUsed(slot), 0); // what was staged is dropped
    EXPECT_EQ(Dispatcher().FlushOutBuffer(slot), 0);
    EXPECT_EQ(Dispatcher().PutString(slot, "ATH\r"), -3002);
    EXPECT_EQ(Dispatcher().GetChar(slot), -3005);
    ASSERT_TRUE(WaitUntil([&] { return (Dispatcher().GetModemStatus(slot) & mslDSR) == 0; }));
    EXPECT_EQ(device.written.load(), 0u);
    Dispatcher().ClosePort(slot);
}

// FlushOutBuffer must win over a chunk the output thread has already taken: once the
// flush has reached the device, no byte staged before it may still go out.
TEST(PortFailureTest, FlushWinsOverAWriteInProgress) {
    auto owned = std::make_unique<ScriptedDevice>();
    ScriptedDevice& device = *owned;
    device.writeDelayMs = 20;
    device.writeLimit = 8;
    const int slot = OpenScripted(std::move(owned));
    ASSERT_GE(slot, 1);
    constexpr int kRounds = 20;
    for (int round = 0; round < kRounds; ++round) {
        const int started = device.writesStarted.load();
        const std::vector<std::uint8_t> block(64, static_cast<std::uint8_t>('a' + round));
        ASSERT_EQ(Dispatcher().PutBlock(slot, block.data(), block.size()), 0);
        // Flush while the device is in the middle of writing this round's first chunk.
        ASSERT_TRUE(WaitUntil([&] { return device.writesStarted.load() > started; }));
        ASSERT_EQ(Dispatcher().FlushOutBuffer(slot), 0);
    }
    ASSERT_TRUE(WaitUntil([&] { return Dispatcher().OutBuffUsed(slot) == 0; }));
    const std::string history = device.OutputHistory();
    std::size_t flush = std::string::npos;
    for (int round = 0; round < kRounds; ++round) {
        flush = history.find('|', flush + 1);
        ASSERT_NE(flush, std::string::npos) << "flush " << round << " never reached the device";
        EXPECT_EQ(history.find(static_cast<char>('a' + round), flush), std::string::npos)
            << "bytes of round " << round << " went out after their flush: " << history;
    }
    Dispatcher().ClosePort(slot);
}

// Closing purges output the device still holds (on a real UART that output would hold
// the close for the driver's closing wait while the modem keeps CTS low). A pty in packet
// mode tells its far end when the port side purges its output.
TEST(PortFailureTest, ClosePurgesTheDeviceOutput) {
    PtyPair pty;
    int packetMode = 1;
    ASSERT_EQ(::ioctl(pty.Master(), TIOCPKT, &packetMode), 0);
    const int slot = OpenPty(pty);
    ASSERT_GE(slot, 1);
    ASSERT_EQ(Dispatcher().PutString(slot, "hello"), 0);
    // A pty has no transmit queue of its own: "output has left" means "left our buffers".
    ASSERT_TRUE(WaitUntil([&] { return Dispatcher().OutBuffUsed(slot) == 0; }));
    const auto start = Clock::now();
    ASSERT_EQ(Dispatcher().ClosePort(slot), 0);
    EXPECT_LT(Clock::now() - start, 1s);
    bool purged = false;
    const auto end = Clock::now() + 500ms;
    while (!purged && Clock::now() < end) {
        char packet[64];
        const ssize_t count = ::read(pty.Master(), packet, sizeof packet);
        if (count > 0) {
            purged = (packet[0] & TIOCPKT_FLUSHWRITE) != 0;
        } else {
            std::this_thread::sleep_for(5ms);
        }
    }
    EXPECT_TRUE(purged);
}

// A handler that re-arms the output-free trigger while space remains gets it once per
// dispatcher pass; received bytes still come in and are reported between passes.
TEST(PortFailureTest, SelfRearmingStatusTriggerDoesNotStarveInput) {
    PtyPair pty;
    const int slot = OpenPty(pty);
    ASSERT_GE(slot, 1);
    const int free = Dispatcher().AddStatusTrigger(slot, skOutBuffFree);
    std::atomic<int> freeCalls{0};
    std::atomic<int> availCalls{0};
    Dispatcher().AddTriggerProcedure(slot, [&](int s, const TriggerMessage& m) {
        if (m.message == msgTriggerStatus && m.wParam == free) {
            ++freeCalls;
            Dispatcher().SetStatusTrigger(s, free, 1, true);
        } else if (m.message == msgTriggerAvail) {
            ++availCalls;
        }
    });
    ASSERT_EQ(Dispatcher().SetStatusTrigger(slot, free, 1, true), 0);
    ASSERT_TRUE(WaitUntil([&] { return freeCalls.load() > 10; }));
    pty.Write("hello");
    EXPECT_TRUE(WaitUntil([&] { return Dispatcher().InBuffUsed(slot) == 5; }));
    EXPECT_TRUE(WaitUntil([&] { return availCalls.load() >= 1; }));
    Dispatcher().ClosePort(slot);
}
