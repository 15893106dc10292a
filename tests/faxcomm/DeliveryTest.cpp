// Trigger delivery against the handlers' lifetimes: removing a handler, suspending
// delivery and closing the port while a call runs or waits for its thread, the device
// being read while a window handler's thread is busy, and exclusive calls.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "DispatcherFixtures.h"
#include "PtyPair.h"
#include "faxcomm/core/ComDispatcher.h"

using namespace qpcomm;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

// Stands in for a window's thread that is busy: posted calls wait here until the test
// runs them.
class Mailbox {
public:
    PostProc Poster() {
        return [this](std::function<void()> call) {
            std::lock_guard guard(mutex_);
            calls_.push_back(std::move(call));
        };
    }
    std::size_t Waiting() const {
        std::lock_guard guard(mutex_);
        return calls_.size();
    }
    void RunAll() {
        std::vector<std::function<void()>> calls;
        {
            std::lock_guard guard(mutex_);
            calls.swap(calls_);
        }
        for (auto& call : calls) {
            call();
        }
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::function<void()>> calls_;
};

// A procedure handler that takes its time, so that the test can act while it runs.
struct SlowHandler {
    std::atomic<int> calls{0};
    std::atomic<bool> running{false};
    std::atomic<int> finished{0};

    TriggerProc Proc(std::chrono::milliseconds duration) {
        return [this, duration](int, const TriggerMessage&) {
            ++calls;
            running = true;
            std::this_thread::sleep_for(duration);
            running = false;
            ++finished;
        };
    }
};

} // namespace

// After RemoveTriggerHandler returns, the handler is not running and is never called
// again: the fax engine frees its session record right after removing its handler.
TEST(DeliveryTest, RemovalWaitsForTheCallInProgress) {
    PtyPair pty;
    const int slot = OpenPty(pty);
    ASSERT_GE(slot, 1);
    SlowHandler handler;
    const int id = Dispatcher().AddTriggerProcedure(slot, handler.Proc(300ms));
    ASSERT_GT(id, 0);
    pty.Write("x");
    ASSERT_TRUE(WaitUntil([&] { return handler.running.load(); }));
    ASSERT_EQ(Dispatcher().RemoveTriggerHandler(slot, id), 0);
    EXPECT_FALSE(handler.running.load());
    EXPECT_EQ(handler.finished.load(), 1);

    const int timer = Dispatcher().AddTimerTrigger(slot);
    Dispatcher().SetTimerTrigger(slot, timer, 1, true);
    pty.Write("more");
    std::this_thread::sleep_for(250ms);
    EXPECT_EQ(handler.calls.load(), 1);
    EXPECT_EQ(Dispatcher().RemoveTriggerHandler(slot, id), -1001);
    Dispatcher().ClosePort(slot);
}

// A handler may remove itself; that removal cannot wait for its own call.
TEST(DeliveryTest, HandlerRemovingItself) {
    PtyPair pty;
    const int slot = OpenPty(pty);
    ASSERT_GE(slot, 1);
    std::atomic<int> id{0};
    std::atomic<int> calls{0};
    std::atomic<int> result{1};
    id = Dispatcher().AddTriggerProcedure(slot, [&](int s, const TriggerMessage&) {
        ++calls;
        result = Dispatcher().RemoveTriggerHandler(s, id);
    });
    pty.Write("x");
    ASSERT_TRUE(WaitUntil([&] { return result.load() != 1; }));
    EXPECT_EQ(result.load(), 0);
    pty.Write("y");
    std::this_thread::sleep_for(150ms);
    EXPECT_EQ(calls.load(), 1);
    Dispatcher().ClosePort(slot);
}

// A window call still waiting for its thread when the handler is removed never runs.
TEST(DeliveryTest, RemovalWithdrawsAWaitingWindowCall) {
    PtyPair pty;
    const int slot = OpenPty(pty);
    ASSERT_GE(slot, 1);
    Mailbox mailbox;
    std::atomic<int> delivered{0};
    const int id = Dispatcher().AddTriggerWindow(
        slot, [&](int, const TriggerMessage&) { ++delivered; }, mailbox.Poster());
    pty.Write("x");
    ASSERT_TRUE(WaitUntil([&] { return mailbox.Waiting() == 1; }));
    const auto start = Clock::now();
    ASSERT_EQ(Dispatcher().RemoveTriggerHandler(slot, id), 0);
    EXPECT_LT(Clock::now() - start, 500ms);
    mailbox.RunAll();
    EXPECT_EQ(delivered.load(), 0);
    Dispatcher().ClosePort(slot);
}

// While a window handler's thread is busy, the dispatcher goes on reading the device, so
// a reader on another thread (a modem probe waiting for "OK") gets its bytes at once.
TEST(DeliveryTest, DeviceIsReadWhileAWindowCallWaits) {
    PtyPair pty;
    const int slot = OpenPty(pty);
    ASSERT_GE(slot, 1);
    Mailbox mailbox;
    Dispatcher().AddTriggerWindow(
        slot, [](int, const TriggerMessage&) {}, mailbox.Poster());
    pty.Write("x");
    ASSERT_TRUE(WaitUntil([&] { return mailbox.Waiting() == 1; }));
    const auto start = Clock::now();
    pty.Write("OK");
    EXPECT_TRUE(WaitUntil([&] { return Dispatcher().InBuffUsed(slot) == 3; }, 2000ms));
    EXPECT_LT(Clock::now() - start, 500ms);
    mailbox.RunAll();
    Dispatcher().ClosePort(slot);
}

// Closing from another thread while a window call waits is done when ClosePort returns:
// the device can be opened again at once, and the late call does nothing.
TEST(DeliveryTest, CloseWhileAWindowCallWaitsReleasesTheDeviceAtOnce) {
    PtyPair pty;
    for (int round = 0; round < 5; ++round) {
        const int slot = OpenPty(pty);
        ASSERT_GE(slot, 1) << round;
        Mailbox mailbox;
        std::atomic<int> delivered{0};
        Dispatcher().AddTriggerWindow(
            slot, [&](int, const TriggerMessage&) { ++delivered; }, mailbox.Poster());
        pty.Write("x");
        ASSERT_TRUE(WaitUntil([&] { return mailbox.Waiting() == 1; }));
        const auto start = Clock::now();
        ASSERT_EQ(Dispatcher().ClosePort(slot), 0);
        EXPECT_LT(Clock::now() - start, 500ms);
        EXPECT_FALSE(Dispatcher().IsOpen(slot));
        const int again = OpenPty(pty);
        EXPECT_GE(again, 1) << "round " << round;
        mailbox.RunAll();
        EXPECT_EQ(delivered.load(), 0);
        Dispatcher().ClosePort(again);
    }
}

// Suspending delivery withdraws a window call that has not started and waits for a
// procedure call in progress: a synchronous modem command then has the input to itself.
TEST(DeliveryTest, SuspendWithdrawsWaitingCallsAndWaitsForRunningOnes) {
    PtyPair pty;
    const int slot = OpenPty(pty);
    ASSERT_GE(slot, 1);
    Mailbox mailbox;
    std::atomic<int> delivered{0};
    const int window = Dispatcher().AddTriggerWindow(
        slot, [&](int, const TriggerMessage&) { ++delivered; }, mailbox.Poster());
    pty.Write("x");
    ASSERT_TRUE(WaitUntil([&] { return mailbox.Waiting() == 1; }));
    EXPECT_EQ(Dispatcher().SuspendDelivery(slot, true), 0);
    mailbox.RunAll();
    EXPECT_EQ(delivered.load(), 0);
    EXPECT_EQ(Dispatcher().SuspendDelivery(slot, false), 1);
    Dispatcher().RemoveTriggerHandler(slot, window);

    SlowHandler handler;
    Dispatcher().AddTriggerProcedure(slot, handler.Proc(300ms));
    pty.Write("y");
    ASSERT_TRUE(WaitUntil([&] { return handler.running.load(); }));
    EXPECT_EQ(Dispatcher().SuspendDelivery(slot, true), 0);
    EXPECT_FALSE(handler.running.load());
    pty.Write("z");
    std::this_thread::sleep_for(150ms);
    EXPECT_EQ(handler.calls.load(), 1);
    Dispatcher().SuspendDelivery(slot, false);
    EXPECT_TRUE(WaitUntil([&] { return handler.calls.load() == 2; }));
    Dispatcher().ClosePort(slot);
}

// An exclusive call (a user's abort entering the fax state machine from the main thread)
// never overlaps a procedure handler's call, however busy the port is; from inside a
// handler it runs at once.
TEST(DeliveryTest, ExclusiveCallsNeverOverlapProcedureCalls) {
    PtyPair pty;
    const int slot = OpenPty(pty);
    ASSERT_GE(slot, 1);
    std::atomic<int> inside{0};
    std::atomic<bool> overlapped{false};
    std::atomic<int> handlerCalls{0};
    std::atomic<int> nestedResult{1};
    const int timer = Dispatcher().AddTimerTrigger(slot);
    Dispatcher().AddTriggerProcedure(slot, [&](int s, const TriggerMessage& m) {
        if (inside++ != 0) {
            overlapped = true;
        }
        ++handlerCalls;
        std::this_thread::sleep_for(1ms);
        if (m.message == msgTriggerTimer) {
            Dispatcher().SetTimerTrigger(s, timer, 1, true);
            nestedResult = Dispatcher().CallExclusive(s, [] {});
        }
        Dispatcher().FlushInBuffer(s);
        --inside;
    });
    Dispatcher().SetTimerTrigger(slot, timer, 1, true);
    std::atomic<bool> stop{false};
    std::thread feeder([&] {
        while (!stop) {
            pty.Write("data");
            std::this_thread::sleep_for(1ms);
        }
    });
    int exclusiveCalls = 0;
    const auto end = Clock::now() + 1500ms;
    while (Clock::now() < end) {
        ASSERT_EQ(Dispatcher().CallExclusive(slot,
                                             [&] {
                                                 if (inside++ != 0) {
                                                     overlapped = true;
                                                 }
                                                 ++exclusiveCalls;
                                                 std::this_thread::sleep_for(1ms);
                                                 --inside;
                                             }),
                  0);
    }
    stop = true;
    feeder.join();
    EXPECT_FALSE(overlapped.load());
    EXPECT_GT(exclusiveCalls, 10);
    EXPECT_GT(handlerCalls.load(), 10);
    EXPECT_EQ(nestedResult.load(), 0);
    Dispatcher().ClosePort(slot);
    EXPECT_EQ(Dispatcher().CallExclusive(slot, [] {}), -1001);
}

// What fires between the open and the first handler waits for that handler: data that
// arrived then and a timer that ran out then are both reported once it is added. (A
// component registers its handler after opening; a modem may speak first.)
TEST(DeliveryTest, FiringsWaitForTheFirstHandler) {
    PtyPair pty;
    const int slot = OpenPty(pty);
    ASSERT_GE(slot, 1);
    const int timer = Dispatcher().AddTimerTrigger(slot);
    ASSERT_GT(timer, 0);
    ASSERT_EQ(Dispatcher().SetTimerTrigger(slot, timer, 1, true), 0);
    pty.Write("RING\r\n");
    std::this_thread::sleep_for(400ms); // several dispatcher passes with nobody to tell

    std::atomic<int> avail{0};
    std::atomic<int> timers{0};
    const int id = Dispatcher().AddTriggerProcedure(slot, [&](int, const TriggerMessage& m) {
        if (m.message == msgTriggerAvail) {
            ++avail;
        } else if (m.message == msgTriggerTimer) {
            ++timers;
        }
    });
    ASSERT_GT(id, 0);
    EXPECT_TRUE(WaitUntil([&] { return avail.load() > 0; })) << "the data was never reported";
    EXPECT_TRUE(WaitUntil([&] { return timers.load() > 0; })) << "the timer was never reported";
    Dispatcher().ClosePort(slot);
}
