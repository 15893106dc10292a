#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "faxcomm/core/PortConstants.h"
#include "faxcomm/core/PortLog.h"
#include "faxcomm/core/PortTrace.h"
#include "faxcomm/core/ReceiveBuffer.h"
#include "faxcomm/core/SerialDevice.h"
#include "faxcomm/core/TriggerTable.h"

namespace qpcomm {

// A trigger handler: called with the port slot and the fired trigger.
using TriggerProc = std::function<void(int slot, const TriggerMessage& message)>;
// Runs a call on the thread that owns a window-style handler (the user-interface thread).
using PostProc = std::function<void(std::function<void()> call)>;

// One registered trigger handler. A procedure handler is called on the port's dispatcher
// thread; a window handler is posted to its own thread with `post`, and the dispatcher
// waits for it at most 1000 ms.
struct TriggerHandler {
    int id = 0;
    TriggerProc proc;
    PostProc post; // empty for a procedure handler
    std::uint16_t componentIndex = 0;
};

// One call of a handler for one fired trigger. A window handler's call is posted (Posting),
// then waits for its thread (Waiting) until that thread takes it (Running); a call that
// has not started can be withdrawn (Withdrawn) and then never runs. Guarded by the port
// record's lock.
struct HandlerCall {
    enum class State { Posting, Waiting, Running, Finished, Withdrawn };

    int handlerId = 0;
    State state = State::Posting;
    std::thread::id thread; // where the call runs, once Running

    bool Pending() const { return state == State::Posting || state == State::Waiting; }
    bool Active() const { return Pending() || state == State::Running; }
};

// The dispatcher's record of one open port. Every field below `lock` is guarded by it;
// the threads and the wake-up pipe are set up at open and only joined at close.
struct PortRecord : std::enable_shared_from_this<PortRecord> {
    explicit PortRecord(std::unique_ptr<SerialDevice> device, std::size_t outSize);
    ~PortRecord();
    PortRecord(const PortRecord&) = delete;
    PortRecord& operator=(const PortRecord&) = delete;

    std::size_t OutputUsed() const { return staged.size() + device->OutputQueued(); }
    std::size_t OutputFree() const;
    PortConditions Conditions() const;
    void TraceBytes(char kind, const std::uint8_t* data, std::size_t length);
    void Log(std::uint16_t type, std::uint16_t subType, std::uint32_t data,
             std::uint32_t otherData = 0);
    // Wakes the event thread out of its wait on the device.
    void WakeEventThread() const;
    // From now on puts and gets fail: the far end hung up, or a read or write failed.
    void MarkDeviceFailed(std::uint32_t reason);
    // A handler call ended or was withdrawn: it leaves `calls` and waiters are told.
    void EndCall(const std::shared_ptr<HandlerCall>& call, HandlerCall::State state);
    // Withdraws the calls of handler `handlerId` (0: of every handler) that have not
    // started yet.
    void WithdrawPendingCalls(int handlerId);
    // True while a call of handler `handlerId` (0: any) is being posted, or runs on a
    // thread other than the calling one.
    bool CallInProgressElsewhere(int handlerId) const;

    std::mutex lock;
    // Held by the output thread from its last look at the staging buffer until the device
    // write returns, and by an output flush around the device flush, so that a flush
    // never lets out a chunk taken before it. Taken before `lock`, never while holding it.
    std::mutex writeLock;
    std::condition_variable dispatchWake; // to the dispatcher thread: event, output, stop
    std::condition_variable eventAck;     // to the event thread: its event was handled
    std::condition_variable outputWake;   // to the output thread: data staged, stop
    std::condition_variable dataArrived;  // to readers waiting for received bytes

    int slot = 0;
    std::string deviceName;
    std::size_t inSize = 4096;
    std::size_t outSize = 4096;
    std::unique_ptr<SerialDevice> device;
    LineSettings line;

    // Flow control.
    int hwOptions = 0;
    int swOptions = swfNone;
    std::size_t flowFull = 0;
    std::size_t flowResume = 0;
    std::uint8_t xonChar = 17;
    std::uint8_t xoffChar = 19;
    bool receiveHeld = false; // flow stopped the intake until the buffer drains
    bool dtr = true;
    bool rts = true;

    ReceiveBuffer received;
    std::deque<std::uint8_t> staged;    // output staging buffer, at most outSize bytes
    std::uint64_t stagedGeneration = 0; // counts flushes of the staging buffer
    bool hangUpSeen = false;            // the device reported a hang-up; what is left is read first
    bool deviceFailed = false;          // hung up, or a read or write failed: puts and gets fail
    std::uint64_t blocksWritten = 0;

    std::uint8_t modemShadow = 0; // lines in the high nibble, change bits in the low one
    std::uint16_t lineStatus = 0; // line errors seen since last read
    std::array<std::uint32_t, 4> lineErrors{};

    TriggerTable triggers;
    std::vector<TriggerHandler> handlers;
    int nextHandlerId = 1;
    std::array<void*, ClientSlotCount> clientSlots{};

    std::unique_ptr<PortTrace> trace;
    std::unique_ptr<PortLog> log;

    bool deliverySuspended = false;
    // Handler calls that have not ended: posted, waiting for their thread, or running.
    std::vector<std::shared_ptr<HandlerCall>> calls;
    std::condition_variable callsChanged; // a call ended or an exclusive call finished
    std::thread::id exclusiveThread;      // the thread inside CallExclusive, if any
    int exclusiveWaiters = 0;             // threads waiting to enter CallExclusive
    bool closeRequested = false;
    bool stopping = false;
    bool eventPending = false;
    bool outputEvent = false;

    int wakePipe[2] = {-1, -1};
    std::thread eventThread;
    std::thread dispatcherThread;
    std::thread outputThread;
    std::thread::id dispatcherThreadId;
};

} // namespace qpcomm
