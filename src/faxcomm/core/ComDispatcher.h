#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "faxcomm/core/PortConstants.h"
#include "faxcomm/core/PortRecord.h"
#include "faxcomm/core/SerialDevice.h"
#include "faxcomm/core/TriggerTable.h"

namespace qpcomm {

// The two recordings of a port's traffic: the trace (every byte) and the log (events).
enum class Recording { Trace, Log };

// What opening a port needs.
struct PortOpenRequest {
    std::string deviceName;
    std::size_t inSize = 4096;
    std::size_t outSize = 4096;
    LineSettings line;
    bool dtr = true;
    bool rts = true;
    // The device layer; a POSIX termios device when empty.
    std::unique_ptr<SerialDevice> device;
};

// The serial port dispatcher: a process-wide table of 50 open ports, each with its
// receive buffer, output staging buffer, triggers, handlers, trace and log, and three
// threads of its own:
// - the event thread waits (poll) on the device and a wake-up pipe, and watches the modem
//   lines of devices that have them;
// - the dispatcher thread moves received bytes into the receive buffer and evaluates the
//   triggers after every device event and at least every 50 ms, delivering each fired
//   trigger to every registered handler;
// - the output thread writes the output staging buffer to the device.
//
// Every operation takes the port slot (1..50) and returns 0 (or a count, a handle) or a
// negative result code; a slot that is not open gives -1001. Every operation may be
// called from any thread, including from inside a trigger handler; each takes the port
// record's lock. Handlers are called without the lock held.
//
// Handler calls and lifetimes: a handler is never called after RemoveTriggerHandler (or
// ClosePort) has returned, and those wait for a call that runs on another thread. A
// window handler's call that still waits for its thread is withdrawn by removal, by
// SuspendDelivery and by ClosePort. Such waits end when the call ends; a handler that
// itself waits for the waiting thread (a bounded main-thread mailbox) holds it up to its
// own bound. While a window handler's call waits, the dispatcher keeps reading the device.
//
// A device that hangs up (the far end gone) or fails a read or a write has failed for
// good: DSR and carrier drop in the modem status (firing modem-status triggers), puts
// give -3002, and gets give -3005 once the bytes received before are taken. The port
// stays open until its owner closes it.
class ComDispatcher {
public:
    static ComDispatcher& Instance();

    ComDispatcher(const ComDispatcher&) = delete;
    ComDispatcher& operator=(const ComDispatcher&) = delete;

    // Opens the device and starts its threads: the slot (1..50), -2009 when all slots are
    // in use, or the device's open failure (-2001 missing, -2008 held elsewhere, ...).
    int OpenPort(PortOpenRequest request);
    // Stops the threads, closes the device and frees the port; when it returns, the device
    // can be opened again. A close from a procedure handler (the port's own dispatcher
    // thread) is only marked; the port is freed when the delivery in progress ends.
    int ClosePort(int slot);
    bool IsOpen(int slot) const;
    int OpenCount() const;
    std::string DeviceName(int slot) const;

    // Line settings; BaudUnchanged, ParityUnchanged, DataBitsUnchanged and StopBitsUnchanged
    // keep the current value. -3002 when the device refuses.
    int SetLine(int slot, int baud, int parity, int dataBits, int stopBits);
    int GetLine(int slot, LineSettings& line) const;
    // Device queue sizes (kept for the flow limits; the system sizes its own queues) and
    // the output staging buffer size.
    int SetQueueSizes(int slot, std::size_t inSize, std::size_t outSize);

    // Output. PutBlock refuses with -3006 when the free output space is smaller than the
    // block (nothing is written), and with -3002 once the device has failed.
    int PutChar(int slot, std::uint8_t byte);
    int PutBlock(int slot, const std::uint8_t* data, std::size_t length);
    int PutString(int slot, const std::string& text);
    // Bytes waiting for output (staging buffer plus device queue), and the free space.
    long OutBuffUsed(int slot) const;
    long OutBuffFree(int slot) const;

    // Input. GetChar and PeekChar return the byte (0..255) or -3007 when the buffer is
    // empty (-3005 once the device has failed); PeekChar looks `offset` bytes ahead.
    // GetBlock takes up to `size` bytes and returns how many (-3007 or -3005 when none).
    int GetChar(int slot);
    int PeekChar(int slot, std::size_t offset = 0) const;
    long GetBlock(int slot, std::uint8_t* buffer, std::size_t size);
    bool CharReady(int slot) const;
    long InBuffUsed(int slot) const;
    // Waits until a byte is in the receive buffer, the device fails or `limit` has passed;
    // true when a byte is there. Must not be called on the port's own dispatcher thread.
    bool WaitForData(int slot, std::chrono::milliseconds limit);

    int FlushInBuffer(int slot);
    // Empties the staging buffer and purges the device's output queue. A chunk the output
    // thread took before the flush is not written after it (a write already in progress
    // ends first and is purged with the queue).
    int FlushOutBuffer(int slot);
    int SetDTR(int slot, bool on);
    int SetRTS(int slot, bool on);
    // The modem status shadow (lines in the high nibble, changes in the low one); the
    // change bits are cleared. Negative for a bad slot.
    int GetModemStatus(int slot);
    // Line errors (LineErrorFlags) seen since the last call; they are cleared.
    int GetLineStatus(int slot);

    // Flow control: full >= resume and full <= the input size, else -1002.
    int HWFlowOptions(int slot, std::size_t full, std::size_t resume, int options);
    int SWFlowOptions(int slot, std::size_t full, std::size_t resume, int options,
                      std::uint8_t xonChar, std::uint8_t xoffChar);
    int HWFlowDisable(int slot);
    int SWFlowDisable(int slot);

    // Triggers (see TriggerTable). The data-available threshold is SetTriggerLength.
    int AddTimerTrigger(int slot);
    int AddDataTrigger(int slot, const std::string& text, bool ignoreCase = false);
    int AddStatusTrigger(int slot, int kind);
    int RemoveTrigger(int slot, int handle);
    int SetTimerTrigger(int slot, int handle, long ticks, bool active);
    int SetStatusTrigger(int slot, int handle, std::uint32_t value, bool active);
    int SetTriggerLength(int slot, std::size_t bytes);
    // The kind of a status trigger, or -5003.
    int StatusTriggerKind(int slot, int handle) const;
    // The set-up of the triggers `handles` (one user's own), disarmed, to be restored after
    // a close and reopen; RestoreTriggers replaces the port's triggers with it.
    int SaveTriggers(int slot, const std::vector<int>& handles, TriggerTable& saved) const;
    int RestoreTriggers(int slot, const TriggerTable& saved);

    // Handlers: the handler id (> 0) or a negative result. A procedure handler runs on the
    // port's dispatcher thread; a window handler runs through `post` on its own thread and
    // is waited for at most 1000 ms. `post` is called on the dispatcher thread and must
    // only queue the call.
    int AddTriggerProcedure(int slot, TriggerProc proc, std::uint16_t componentIndex = 0);
    int AddTriggerWindow(int slot, TriggerProc proc, PostProc post,
                         std::uint16_t componentIndex = 0);
    // After it returns the handler is not running (unless this is called from inside its
    // own call) and is never called again.
    int RemoveTriggerHandler(int slot, int handlerId);
    // Suspends or resumes trigger delivery; returns whether it was suspended before (or a
    // negative result). Suspending withdraws calls that wait for their thread and waits
    // for calls running on other threads: when it returns, no handler runs.
    int SuspendDelivery(int slot, bool suspend);
    // Runs `call` on the calling thread while no procedure handler of the port runs, and
    // holds procedure calls back until it returns (a user's abort entering the fax state
    // machine from the main thread). From inside a procedure handler or an exclusive call
    // it runs at once. 0, or -1001 for a port that is not open.
    int CallExclusive(int slot, const std::function<void()>& call);

    // Client slots 1..10: 0, or 64534 for another slot number (-1001 for a bad port).
    int StoreClientSlot(int slot, int clientSlot, void* value);
    int FetchClientSlot(int slot, int clientSlot, void*& value) const;

    // Trace and log, each a Recording: on (allocates `size` entries, or resumes after a
    // pause), off (frees), dump (writes the file, new or appended, then stops; -3008 for
    // the trace and -3009 for the log when not enabled, -5 when the file cannot be
    // written), clear, pause.
    int RecordingOn(int slot, Recording which, std::size_t size);
    int RecordingOff(int slot, Recording which);
    int RecordingDump(int slot, Recording which, const std::string& path, bool append, bool hex);
    int RecordingClear(int slot, Recording which);
    int RecordingPause(int slot, Recording which);
    bool RecordingEnabled(int slot, Recording which) const;
    std::string RecordingText(int slot, Recording which, bool hex) const;

private:
    ComDispatcher() = default;
    ~ComDispatcher();

    std::shared_ptr<PortRecord> Find(int slot) const;
    // Runs `operation(port)` under the port's lock; -1001 when the slot is not open.
    template <typename Operation>
    int WithPort(int slot, Operation operation) const;
    // The same with `operation(port, lock)`, for operations that wait on the lock.
    template <typename Operation>
    int WithPortLock(int slot, Operation operation) const;
    // Runs `operation(recording, notEnabledResult)` on the port's trace or log.
    template <typename Operation>
    int WithRecording(int slot, Recording which, Operation operation) const;

    void StartThreads(const std::shared_ptr<PortRecord>& port);
    void StopAndJoin(const std::shared_ptr<PortRecord>& port);
    void FinishDeferredClose(const std::shared_ptr<PortRecord>& port);
    void ReapThreads();

    static void EventLoop(PortRecord& port);
    void DispatcherLoop(std::shared_ptr<PortRecord> port);
    static void OutputLoop(PortRecord& port);
    static long WriteUnlessFlushed(PortRecord& port, const std::vector<std::uint8_t>& chunk,
                                   std::uint64_t generation);
    static void ServiceEvents(PortRecord& port);
    static void ServiceDevice(PortRecord& port);
    static void UpdateModemStatus(PortRecord& port);
    static void UpdateReceiveFlow(PortRecord& port);
    static bool RunTriggers(PortRecord& port, std::unique_lock<std::mutex>& lock);
    static void Deliver(PortRecord& port, const TriggerMessage& message,
                        std::unique_lock<std::mutex>& lock);
    static void CallProcedure(PortRecord& port, const TriggerHandler& handler,
                              const TriggerMessage& message, std::unique_lock<std::mutex>& lock);
    static void CallWindow(PortRecord& port, const TriggerHandler& handler,
                           const TriggerMessage& message, std::unique_lock<std::mutex>& lock);
    static void AwaitCalls(PortRecord& port, std::unique_lock<std::mutex>& lock, int handlerId);
    static void TakeBytes(PortRecord& port, std::size_t count, bool wasFull);

    mutable std::mutex tableLock_;
    std::array<std::shared_ptr<PortRecord>, MaxPorts> ports_{};
    std::vector<std::thread> finishedThreads_; // dispatcher threads of deferred closes
};

} // namespace qpcomm
