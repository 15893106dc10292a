// Trigger handles, timers, status conditions and the order of data messages, evaluated
// without threads on a fixed clock.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "faxcomm/core/ReceiveBuffer.h"
#include "faxcomm/core/TriggerTable.h"

using namespace qpcomm;
using Clock = TriggerTable::Clock;

namespace {

void Receive(ReceiveBuffer& buffer, const std::string& text) {
    buffer.Append(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

// Every message that fires now, in order.
std::vector<TriggerMessage> Drain(TriggerTable& table, const ReceiveBuffer& buffer,
                                  Clock::time_point now = Clock::now(),
                                  const PortConditions& port = {}) {
    std::vector<TriggerMessage> fired;
    while (auto message = table.NextFiring(now, port, buffer)) {
        fired.push_back(*message);
    }
    return fired;
}

} // namespace

TEST(TriggerTableTest, HandlesAreAllocatedLowestFreeFirstAndExhaust) {
    TriggerTable table;
    std::vector<int> timers;
    for (int i = 0; i < 10; ++i) {
        timers.push_back(table.AddTimer());
    }
    EXPECT_EQ(timers.front(), 2);
    EXPECT_EQ(timers.back(), 11);
    EXPECT_EQ(table.AddTimer(), -5001); // the timer table is full
    EXPECT_EQ(table.Remove(5), 0);
    EXPECT_EQ(table.Remove(5), -5003);
    EXPECT_EQ(table.AddStatus(1), 5); // lowest free handle, whatever the kind
    EXPECT_EQ(table.AddStatus(6), -1002);
    EXPECT_EQ(table.AddData("", false), -1002);
    EXPECT_EQ(table.AddData(std::string(65, 'x'), false), -5002);
    EXPECT_EQ(table.Remove(1), -5003);
    EXPECT_EQ(table.Remove(42), -5003);
    EXPECT_EQ(table.SetTimer(5, 10, true, Clock::now()), -5003); // a status handle
}

TEST(TriggerTableTest, HandleMapHoldsFortyTriggers) {
    TriggerTable table;
    for (int i = 0; i < 10; ++i) {
        ASSERT_GT(table.AddTimer(), 0);
        ASSERT_GT(table.AddStatus(3), 0);
    }
    for (int i = 0; i < 20; ++i) {
        ASSERT_EQ(table.AddData("x" + std::to_string(i), false), 22 + i);
    }
    EXPECT_EQ(table.UsedHandles(), 40);
    EXPECT_EQ(table.AddData("more", false), -5001);
}

// A timer counts 55 ms ticks and fires exactly once.
TEST(TriggerTableTest, TimerFiresOnceAfterItsTicks) {
    TriggerTable table;
    ReceiveBuffer buffer;
    const int handle = table.AddTimer();
    const auto start = Clock::now();
    ASSERT_EQ(table.SetTimer(handle, 18, true, start), 0); // 18 ticks = 990 ms
    EXPECT_TRUE(Drain(table, buffer, start + std::chrono::milliseconds(989)).empty());
    auto fired = Drain(table, buffer, start + std::chrono::milliseconds(990));
    ASSERT_EQ(fired.size(), 1u);
    EXPECT_EQ(fired[0].message, msgTriggerTimer);
    EXPECT_EQ(fired[0].wParam, handle);
    EXPECT_TRUE(Drain(table, buffer, start + std::chrono::seconds(10)).empty());

    // Re-armed without a count it runs its last count again; disarmed it stays quiet.
    ASSERT_EQ(table.SetTimer(handle, 0, true, start), 0);
    EXPECT_EQ(Drain(table, buffer, start + std::chrono::milliseconds(990)).size(), 1u);
    ASSERT_EQ(table.SetTimer(handle, 5, true, start), 0);
    ASSERT_EQ(table.SetTimer(handle, 0, false, start), 0);
    EXPECT_TRUE(Drain(table, buffer, start + std::chrono::seconds(10)).empty());
    EXPECT_EQ(SecondsToTicks(60), 1092);
    EXPECT_EQ(SecondsToTicks(10), 182);
}

// Kind 4 with count 0 means "all output has left": it must not fire while bytes wait.
TEST(TriggerTableTest, OutputUsedWithCountZeroFiresOnlyWhenEmpty) {
    TriggerTable table;
    ReceiveBuffer buffer;
    table.SetAvailThreshold(0);
    const int handle = table.AddStatus(skOutBuffUsed);
    PortConditions port;
    port.outputUsed = 3;
    ASSERT_EQ(table.ActivateStatus(handle, true, 0, port), 0);
    EXPECT_TRUE(Drain(table, buffer, Clock::now(), port).empty());
    port.outputUsed = 0;
    auto fired = Drain(table, buffer, Clock::now(), port);
    ASSERT_EQ(fired.size(), 1u);
    EXPECT_EQ(fired[0].message, msgTriggerStatus);
    EXPECT_EQ(fired[0].wParam, handle);
    EXPECT_TRUE(Drain(table, buffer, Clock::now(), port).empty()); // fired once
}

TEST(TriggerTableTest, StatusConditions) {
    TriggerTable table;
    ReceiveBuffer buffer;
    table.SetAvailThreshold(0);
    PortConditions port;
    port.modemLines = mslCTS | mslDSR;
    port.outputFree = 100;
    const int modem = table.AddStatus(skModem);
    const int line = table.AddStatus(skLine);
    const int free = table.AddStatus(skOutBuffFree);
    const int sent = table.AddStatus(skOutSent);
    const int none = table.AddStatus(skNone);
    table.ActivateStatus(modem, true, mslDCD, port);
    table.ActivateStatus(line, true, lemParity | lemBreak, port);
    table.ActivateStatus(free, true, 200, port);
    table.ActivateStatus(sent, true, 0, port);
    table.ActivateStatus(none, true, 0, port);
    EXPECT_TRUE(Drain(table, buffer, Clock::now(), port).empty());

    port.modemLines = mslDSR; // CTS dropped: not watched
    port.lineErrors[0] = 1;   // overrun: not watched
    EXPECT_TRUE(Drain(table, buffer, Clock::now(), port).empty());

    port.modemLines = mslDSR | mslDCD;
    port.lineErrors[3] = 1; // break
    port.outputFree = 200;
    port.blocksWritten = 1;
    auto fired = Drain(table, buffer, Clock::now(), port);
    ASSERT_EQ(fired.size(), 4u);
    EXPECT_EQ(fired[0].wParam, modem);
    EXPECT_EQ(fired[0].Data(), mslDSR | mslDCD);
    EXPECT_EQ(fired[1].wParam, line);
    EXPECT_EQ(fired[1].Data(), lfeBreak);
    EXPECT_EQ(fired[2].wParam, free);
    EXPECT_EQ(fired[3].wParam, sent);
}

// When a data-match string completes, the bytes before it are reported first, then the
// match; the bytes of the string itself are reported afterwards as new data.
TEST(TriggerTableTest, DataAvailableBeforeMatchThenMatchThenRest) {
    TriggerTable table;
    ReceiveBuffer buffer;
    table.SetAvailThreshold(1);
    const int ok = table.AddData("OK", false);
    const int ring = table.AddData("ring", true);
    Receive(buffer, "\r\nOK\r\n");
    auto fired = Drain(table, buffer);
    ASSERT_EQ(fired.size(), 3u);
    EXPECT_EQ(fired[0].message, msgTriggerAvail);
    EXPECT_EQ(fired[0].wParam, 2);
    EXPECT_EQ(fired[1].message, msgTriggerData);
    EXPECT_EQ(fired[1].wParam, ok);
    EXPECT_EQ(fired[2].message, msgTriggerAvail);
    EXPECT_EQ(fired[2].wParam, 6);

    // Nothing new: nothing reported again. A match split over two arrivals still matches,
    // ignoring case when asked to.
    EXPECT_TRUE(Drain(table, buffer).empty());
    Receive(buffer, "RI");
    fired = Drain(table, buffer);
    ASSERT_EQ(fired.size(), 1u);
    EXPECT_EQ(fired[0].wParam, 8);
    Receive(buffer, "nG");
    fired = Drain(table, buffer);
    ASSERT_EQ(fired.size(), 2u); // bytes before "RInG" were already reported
    EXPECT_EQ(fired[0].message, msgTriggerData);
    EXPECT_EQ(fired[0].wParam, ring);
    EXPECT_EQ(fired[1].message, msgTriggerAvail);
    EXPECT_EQ(fired[1].wParam, 10);
}

TEST(TriggerTableTest, ThresholdCountsWaitingBytesAndZeroDisables) {
    TriggerTable table;
    ReceiveBuffer buffer;
    table.SetAvailThreshold(4);
    Receive(buffer, "abc");
    EXPECT_TRUE(Drain(table, buffer).empty());
    Receive(buffer, "d");
    auto fired = Drain(table, buffer);
    ASSERT_EQ(fired.size(), 1u);
    EXPECT_EQ(fired[0].wParam, 4);

    // A reader takes two bytes: no new bytes, no report; new ones are reported in total.
    std::uint8_t byte;
    buffer.Take(byte);
    buffer.Take(byte);
    table.BytesTaken(2);
    EXPECT_TRUE(Drain(table, buffer).empty());
    Receive(buffer, "ef");
    fired = Drain(table, buffer);
    ASSERT_EQ(fired.size(), 1u);
    EXPECT_EQ(fired[0].wParam, 4);

    table.SetAvailThreshold(0);
    Receive(buffer, "more");
    EXPECT_TRUE(Drain(table, buffer).empty());
}
