// Modem status lines and line errors, which pseudo-terminals do not have: a scripted
// device with lines stands in for a real UART so the event thread's line watching, the
// status shadow's change bits, status triggers and DSR-held output can be checked.
#include <gtest/gtest.h>

#include <mutex>
#include <thread>

#include "PtyPair.h"
#include "ScriptedDevice.h"
#include "faxcomm/core/ComDispatcher.h"

using namespace qpcomm;
using namespace std::chrono_literals;

TEST(ModemLinesTest, LineChangesFireStatusTriggersAndSetChangeBits) {
    auto owned = std::make_unique<ScriptedDevice>();
    ScriptedDevice& device = *owned;
    PortOpenRequest request;
    request.deviceName = "scripted";
    request.device = std::move(owned);
    ComDispatcher& d = ComDispatcher::Instance();
    const int slot = d.OpenPort(std::move(request));
    ASSERT_GE(slot, 1);
    std::mutex mutex;
    std::vector<TriggerMessage> fired;
    d.AddTriggerProcedure(slot, [&](int, const TriggerMessage& message) {
        std::lock_guard guard(mutex);
        fired.push_back(message);
    });
    auto firedCount = [&] {
        std::lock_guard guard(mutex);
        return fired.size();
    };
    const int carrier = d.AddStatusTrigger(slot, skModem);
    const int lineError = d.AddStatusTrigger(slot, skLine);
    ASSERT_EQ(d.SetStatusTrigger(slot, carrier, mslDCD, true), 0);
    ASSERT_EQ(d.SetStatusTrigger(slot, lineError, lemBreak, true), 0);
    EXPECT_EQ(d.GetModemStatus(slot), mslCTS | mslDSR);

    device.lines = mslCTS; // DSR drops: not watched by the trigger
    ASSERT_TRUE(WaitUntil([&] { return (d.GetModemStatus(slot) & 0x0F) == mslDeltaDSR; }));
    EXPECT_EQ(d.GetModemStatus(slot), mslCTS); // change bits were cleared by reading
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(firedCount(), 0u);

    device.lines = mslCTS | mslDCD; // carrier
    ASSERT_TRUE(WaitUntil([&] { return firedCount() == 1; }));
    EXPECT_EQ(fired[0].message, msgTriggerStatus);
    EXPECT_EQ(fired[0].wParam, carrier);
    EXPECT_EQ(fired[0].Data(), mslCTS | mslDCD);
    EXPECT_EQ(d.GetModemStatus(slot), mslCTS | mslDCD | mslDeltaDCD);

    device.breaks = 1;
    ASSERT_TRUE(WaitUntil([&] { return firedCount() == 2; }));
    EXPECT_EQ(fired[1].wParam, lineError);
    EXPECT_EQ(fired[1].Data(), lfeBreak);
    EXPECT_EQ(d.GetLineStatus(slot), lfeBreak);
    EXPECT_EQ(d.GetLineStatus(slot), 0);
    d.ClosePort(slot);
}

TEST(ModemLinesTest, RequireDSRHoldsOutputUntilDSRIsUp) {
    auto owned = std::make_unique<ScriptedDevice>();
    ScriptedDevice& device = *owned;
    device.lines = mslCTS;
    PortOpenRequest request;
    request.deviceName = "scripted";
    request.device = std::move(owned);
    ComDispatcher& d = ComDispatcher::Instance();
    const int slot = d.OpenPort(std::move(request));
    ASSERT_GE(slot, 1);
    ASSERT_EQ(d.HWFlowOptions(slot, 3000, 500, hwfRequireDSR), 0);
    ASSERT_EQ(d.PutString(slot, "ATDT123\r"), 0);
    std::this_thread::sleep_for(150ms);
    EXPECT_EQ(device.written.load(), 0u);
    EXPECT_EQ(d.OutBuffUsed(slot), 8);
    device.lines = mslCTS | mslDSR;
    ASSERT_TRUE(WaitUntil([&] { return device.written.load() == 8; }));
    EXPECT_EQ(d.OutBuffUsed(slot), 0);
    d.ClosePort(slot);
}
