#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
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
class ComDispatcher {
public:
    static ComDispatcher& Instance();

    ComDispatcher(const ComDispatcher&) = delete;
    ComDispatcher& operator=(const ComDispatcher&) = delete;

    // Opens the device and starts its threads: the slot (1..50), -2009 when all slots are
    // in use, or the device's open failure (-2001 missing, -2008 held elsewhere, ...).
    int OpenPort(PortOpenRequest request);
    // Stops the threads, closes the device and frees the port. A close requested while the
    // port's dispatcher is delivering a trigger (from a handler, or from another thread) is
    // only marked; the port is freed when that delivery ends.
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
    // block (nothing is written), and with -3004 after a device write failed outright.
    int PutChar(int slot, std::uint8_t byte);
    int PutBlock(int slot, const std::uint8_t* data, std::size_t length);
    int PutString(int slot, const std::string& text);
    // Bytes waiting for output (staging buffer plus device queue), and the free space.
    long OutBuffUsed(int slot) const;
    long OutBuffFree(int slot) const;

    // Input. GetChar and PeekChar return the byte (0..255) or -3007 when the buffer is
    // empty; PeekChar looks `offset` bytes ahead. GetBlock takes up to `size` bytes and
    // returns how many (-3007 when none).
    int GetChar(int slot);
    int PeekChar(int slot, std::size_t offset = 0) const;
    long GetBlock(int slot, std::uint8_t* buffer, std::size_t size);
    bool CharReady(int slot) const;
    long InBuffUsed(int slot) const;
    // Waits until a byte is in the receive buffer or `limit` has passed; true when a byte
    // is there. Must not be called on the port's own dispatcher thread.
    bool WaitForData(int slot, std::chrono::milliseconds limit);

    int FlushInBuffer(int slot);
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
    // The trigger set-up of a port, kept over a close and reopen.
    int SaveTriggers(int slot, TriggerTable& saved) const;
    int RestoreTriggers(int slot, const TriggerTable& saved);

    // Handlers: the handler id (> 0) or a negative result. A procedure handler runs on the
    // port's dispatcher thread; a window handler runs through `post` on its own thread and
    // is waited for at most 1000 ms.
    int AddTriggerProcedure(int slot, TriggerProc proc, std::uint16_t componentIndex = 0);
    int AddTriggerWindow(int slot, TriggerProc proc, PostProc post,
                         std::uint16_t componentIndex = 0);
    int RemoveTriggerHandler(int slot, int handlerId);
    // Suspends or resumes trigger delivery; returns whether it was suspended before (or a
    // negative result).
    int SuspendDelivery(int slot, bool suspend);

    // Client slots 1..10: 0, or 64534 for another slot number (-1001 for a bad port).
    int StoreClientSlot(int slot, int clientSlot, void* value);
    int FetchClientSlot(int slot, int clientSlot, void*& value) const;

    // Trace and log: on (allocates `size` entries, or resumes after a pause), off (frees),
    // dump (writes TraceName/LogName, new or appended, then stops; -3008/-3009 when not
    // enabled, -5 when the file cannot be written), clear, pause.
    int TraceOn(int slot, std::size_t size);
    int TraceOff(int slot);
    int TraceDump(int slot, const std::string& path, bool append, bool hex);
    int TraceClear(int slot);
    int TracePause(int slot);
    bool TraceEnabled(int slot) const;
    std::string TraceText(int slot, bool hex) const;
    int LogOn(int slot, std::size_t size);
    int LogOff(int slot);
    int LogDump(int slot, const std::string& path, bool append, bool hex);
    int LogClear(int slot);
    int LogPause(int slot);
    bool LogEnabled(int slot) const;
    std::string LogText(int slot, bool hex) const;

private:
    ComDispatcher() = default;
    ~ComDispatcher();

    std::shared_ptr<PortRecord> Find(int slot) const;
    template <typename Operation>
    int WithPort(int slot, Operation operation) const;

    void StartThreads(const std::shared_ptr<PortRecord>& port);
    void StopAndJoin(const std::shared_ptr<PortRecord>& port);
    void FinishDeferredClose(const std::shared_ptr<PortRecord>& port);
    void ReapThreads();

    static void EventLoop(PortRecord& port);
    void DispatcherLoop(std::shared_ptr<PortRecord> port);
    static void OutputLoop(PortRecord& port);
    static void ServiceDevice(PortRecord& port);
    static void UpdateModemStatus(PortRecord& port);
    static void UpdateReceiveFlow(PortRecord& port);
    static void RunTriggers(PortRecord& port, std::unique_lock<std::mutex>& lock);
    static void Deliver(PortRecord& port, const std::vector<TriggerHandler>& handlers,
                        const TriggerMessage& message);
    static void TakeBytes(PortRecord& port, std::size_t count, bool wasFull);

    mutable std::mutex tableLock_;
    std::array<std::shared_ptr<PortRecord>, MaxPorts> ports_{};
    std::vector<std::thread> finishedThreads_; // dispatcher threads of deferred closes
};

} // namespace qpcomm
