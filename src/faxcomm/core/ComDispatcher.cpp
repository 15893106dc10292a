#include "faxcomm/core/ComDispatcher.h"

#include <algorithm>
#include <limits>
#include <poll.h>
#include <unistd.h>

#include "faxcomm/core/PosixSerialDevice.h"
#include "faxcomm/core/TestLineDevice.h"

namespace qpcomm {

namespace {

constexpr auto kDispatchInterval = std::chrono::milliseconds(50);
constexpr auto kWindowHandlerLimit = std::chrono::milliseconds(1000);
constexpr auto kModemLinePollMs = 20;
constexpr auto kOutputRetryMs = 10;
constexpr std::size_t kDeviceChunk = 4096;
// Reasons logged with a device failure.
constexpr std::uint32_t kHungUp = 1;
constexpr std::uint32_t kReadFailed = 2;
constexpr std::uint32_t kWriteFailed = 3;
// What the output thread's write gives when a flush came first.
constexpr long kFlushed = std::numeric_limits<long>::min();

using Clock = std::chrono::steady_clock;

void DrainPipe(int fd) {
    char buffer[64];
    while (::read(fd, buffer, sizeof buffer) > 0) {
    }
}

std::size_t FlowFullLimit(std::size_t full) {
    return full == 0 ? DispatchBufferSize : full;
}

// Reading from an empty receive buffer: "empty", or a read shortfall once the device
// has failed (nothing more will come).
int EmptyBufferResult(const PortRecord& port) {
    return port.deviceFailed ? prGetBlockFail : prBufferIsEmpty;
}

} // namespace

ComDispatcher& ComDispatcher::Instance() {
    static ComDispatcher dispatcher;
    return dispatcher;
}

ComDispatcher::~ComDispatcher() {
    for (int slot = 1; slot <= MaxPorts; ++slot) {
        ClosePort(slot);
    }
    // Ports whose close was deferred finish on their own dispatcher threads.
    const auto giveUp = Clock::now() + std::chrono::seconds(3);
    while (OpenCount() > 0 && Clock::now() < giveUp) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ReapThreads();
}

std::shared_ptr<PortRecord> ComDispatcher::Find(int slot) const {
    if (slot < 1 || slot > MaxPorts) {
        return nullptr;
    }
    std::lock_guard guard(tableLock_);
    return ports_[slot - 1];
}

template <typename Operation>
int ComDispatcher::WithPort(int slot, Operation operation) const {
    return WithPortLock(
        slot, [&](PortRecord& port, std::unique_lock<std::mutex>&) { return operation(port); });
}

template <typename Operation>
int ComDispatcher::WithPortLock(int slot, Operation operation) const {
    const std::shared_ptr<PortRecord> port = Find(slot);
    if (!port) {
        return prBadHandle;
    }
    std::unique_lock lock(port->lock);
    if (port->stopping) {
        return prBadHandle;
    }
    return operation(*port, lock);
}

void ComDispatcher::ReapThreads() {
    std::vector<std::thread> finished;
    {
        std::lock_guard guard(tableLock_);
        finished.swap(finishedThreads_);
    }
    for (std::thread& thread : finished) {
        if (thread.get_id() == std::this_thread::get_id()) {
            thread.detach(); // a port's own dispatcher thread cannot wait for itself
        } else if (thread.joinable()) {
            thread.join();
        }
    }
}

// ---- open and close -------------------------------------------------------------------

int ComDispatcher::OpenPort(PortOpenRequest request) {
    ReapThreads();
    if (!request.device && request.deviceName == TestLineDeviceName) {
        request.device = std::make_unique<TestLineDevice>();
    } else if (!request.device) {
        request.device = std::make_unique<PosixSerialDevice>();
    }
    std::lock_guard tableGuard(tableLock_);
    const auto free = std::find(ports_.begin(), ports_.end(), nullptr);
    if (free == ports_.end()) {
        return prNoHandles;
    }
    const int slot = static_cast<int>(free - ports_.begin()) + 1;
    const int opened = request.device->Open(request.deviceName);
    if (opened != prOK) {
        return opened;
    }
    auto port = std::make_shared<PortRecord>(std::move(request.device),
                                             std::max<std::size_t>(request.outSize, 1));
    if (port->wakePipe[0] < 0) {
        port->device->Close();
        return prInternal;
    }
    port->slot = slot;
    port->deviceName = request.deviceName;
    port->inSize = std::max<std::size_t>(request.inSize, 1);
    port->dtr = request.dtr;
    port->rts = request.rts;
    port->device->SetDTR(request.dtr);
    port->device->SetRTS(request.rts);
    if (port->device->SetLine(request.line) != prOK) {
        port->device->Close();
        return prNotSupported;
    }
    port->line = port->device->GetLine();
    port->modemShadow = port->device->ModemLines();
    port->lineErrors = port->device->LineErrorCounts();
    *free = port;
    StartThreads(port);
    return slot;
}

void ComDispatcher::StartThreads(const std::shared_ptr<PortRecord>& port) {
    // Each thread begins by taking the record's lock, so none runs before all are set.
    std::lock_guard guard(port->lock);
    port->eventThread = std::thread(&ComDispatcher::EventLoop, std::ref(*port));
    port->outputThread = std::thread(&ComDispatcher::OutputLoop, std::ref(*port));
    port->dispatcherThread = std::thread(&ComDispatcher::DispatcherLoop, this, port);
    port->dispatcherThreadId = port->dispatcherThread.get_id();
}

int ComDispatcher::ClosePort(int slot) {
    if (slot < 1 || slot > MaxPorts) {
        return prBadHandle;
    }
    std::shared_ptr<PortRecord> port;
    {
        std::lock_guard tableGuard(tableLock_);
        port = ports_[slot - 1];
        if (!port) {
            return prBadHandle;
        }
        std::lock_guard guard(port->lock);
        if (port->stopping) {
            return prBadHandle;
        }
        if (port->closeRequested) {
            return prOK;
        }
        // From a procedure handler (the dispatcher's own thread) the close has to wait
        // until the delivery in progress ends; from any other thread it is done at once.
        if (std::this_thread::get_id() == port->dispatcherThreadId) {
            port->closeRequested = true;
            port->Log(ltUser, lsClose, 1);
            port->dispatchWake.notify_all();
            return prOK;
        }
        ports_[slot - 1].reset();
        port->stopping = true;
        port->WithdrawPendingCalls(0);
    }
    StopAndJoin(port);
    ReapThreads();
    return prOK;
}

namespace {

void WakeAll(PortRecord& port) {
    port.dispatchWake.notify_all();
    port.callsChanged.notify_all();
    port.eventAck.notify_all();
    port.outputWake.notify_all();
    port.dataArrived.notify_all();
    port.WakeEventThread();
}

void ReleaseDevice(PortRecord& port) {
    std::lock_guard write(port.writeLock);
    std::lock_guard guard(port.lock);
    port.WithdrawPendingCalls(0);
    port.device->Close();
    port.triggers.RemoveAll();
    port.handlers.clear();
    port.trace.reset();
    port.log.reset();
    port.received.Clear();
    port.staged.clear();
}

void JoinIfRunning(std::thread& thread) {
    if (thread.joinable() && thread.get_id() != std::this_thread::get_id()) {
        thread.join();
    }
}

} // namespace

void ComDispatcher::StopAndJoin(const std::shared_ptr<PortRecord>& port) {
    WakeAll(*port);
    JoinIfRunning(port->eventThread);
    JoinIfRunning(port->outputThread);
    JoinIfRunning(port->dispatcherThread);
    ReleaseDevice(*port);
}

// Runs on the port's dispatcher thread once the delivery during which a close was
// requested has ended.
void ComDispatcher::FinishDeferredClose(const std::shared_ptr<PortRecord>& port) {
    {
        std::lock_guard guard(port->lock);
        port->stopping = true;
    }
    WakeAll(*port);
    JoinIfRunning(port->eventThread);
    JoinIfRunning(port->outputThread);
    ReleaseDevice(*port);
    // The slot is freed only now that the device is released, so that it can be opened
    // again as soon as the slot is seen free.
    std::lock_guard tableGuard(tableLock_);
    if (ports_[port->slot - 1] == port) {
        ports_[port->slot - 1].reset();
    }
    std::lock_guard guard(port->lock);
    finishedThreads_.push_back(std::move(port->dispatcherThread));
}

bool ComDispatcher::IsOpen(int slot) const {
    const auto port = Find(slot);
    if (!port) {
        return false;
    }
    std::lock_guard guard(port->lock);
    return !port->stopping && !port->closeRequested;
}

int ComDispatcher::OpenCount() const {
    std::lock_guard guard(tableLock_);
    return static_cast<int>(std::count_if(ports_.begin(), ports_.end(),
                                          [](const auto& port) { return port != nullptr; }));
}

std::string ComDispatcher::DeviceName(int slot) const {
    const auto port = Find(slot);
    return port ? port->deviceName : std::string();
}

// ---- threads --------------------------------------------------------------------------

namespace {

// Whether a fired trigger can reach somebody now.
bool CanDeliver(const PortRecord& port) {
    return !port.handlers.empty() && !port.deliverySuspended && !port.stopping &&
           !port.closeRequested;
}

} // namespace

// Waits on the device and the wake-up pipe; each device event is handed to the dispatcher
// thread, and the next wait starts once the dispatcher has acknowledged it. A hang-up
// (the far end gone) is handed over once; the failed device is not waited on again, as it
// would report its hang-up for ever.
void ComDispatcher::EventLoop(PortRecord& port) {
    const bool watchLines = port.device->HasModemLines();
    const int deviceHandle = port.device->PollHandle();
    std::uint8_t lastLines = port.device->ModemLines();
    auto lastErrors = port.device->LineErrorCounts();
    while (true) {
        bool wantInput = false;
        bool failed = false;
        {
            std::lock_guard guard(port.lock);
            if (port.stopping) {
                return;
            }
            failed = port.deviceFailed || port.hangUpSeen;
            wantInput = !port.receiveHeld && port.received.FreeSpace() > 0;
        }
        // Hang-ups and errors are reported even when input is not wanted.
        pollfd fds[2] = {
            {port.wakePipe[0], POLLIN, 0},
            {failed ? -1 : deviceHandle, static_cast<short>(wantInput ? POLLIN : 0), 0}};
        ::poll(fds, 2, watchLines && !failed ? kModemLinePollMs : -1);
        if (fds[0].revents & POLLIN) {
            DrainPipe(port.wakePipe[0]);
        }
        const bool hangUp = (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
        bool event = hangUp || (fds[1].revents & POLLIN);
        if (watchLines && !failed) {
            const std::uint8_t lines = port.device->ModemLines();
            const auto errors = port.device->LineErrorCounts();
            event = event || lines != lastLines || errors != lastErrors;
            lastLines = lines;
            lastErrors = errors;
        }
        if (event) {
            std::unique_lock lock(port.lock);
            if (port.stopping) {
                return;
            }
            port.hangUpSeen = port.hangUpSeen || hangUp;
            port.eventPending = true;
            port.dispatchWake.notify_one();
            port.eventAck.wait(lock, [&] { return !port.eventPending || port.stopping; });
        }
    }
}

void ComDispatcher::DispatcherLoop(std::shared_ptr<PortRecord> port) {
    std::unique_lock lock(port->lock);
    bool heldBack = false;
    while (!port->stopping) {
        // A trigger held back by the last pass runs in the next one, right after the
        // device has been serviced.
        auto deadline = heldBack ? Clock::now() : Clock::now() + kDispatchInterval;
        // A timer that has run out while nobody can be told keeps until somebody can; it
        // must not make this loop spin meanwhile.
        if (const auto timer = port->triggers.NextTimerDeadline(); timer && CanDeliver(*port)) {
            deadline = std::min(deadline, *timer);
        }
        port->dispatchWake.wait_until(lock, deadline, [&] {
            return port->stopping || port->eventPending || port->outputEvent ||
                   port->closeRequested;
        });
        if (port->stopping) {
            break;
        }
        ServiceEvents(*port);
        heldBack = RunTriggers(*port, lock);
        if (port->closeRequested && !port->stopping) {
            lock.unlock();
            FinishDeferredClose(port);
            return;
        }
    }
}

// Writes the staging buffer to the device; a device that takes nothing is retried after a
// short wait, a device failure discards what is staged and makes later puts fail.
void ComDispatcher::OutputLoop(PortRecord& port) {
    std::vector<std::uint8_t> chunk;
    chunk.reserve(kDeviceChunk);
    while (true) {
        bool holdForDSR = false;
        std::uint64_t generation = 0;
        {
            std::unique_lock lock(port.lock);
            port.outputWake.wait(lock, [&] {
                return port.stopping || (!port.staged.empty() && !port.deviceFailed);
            });
            if (port.stopping) {
                return;
            }
            const std::size_t count = std::min(port.staged.size(), kDeviceChunk);
            chunk.assign(port.staged.begin(), port.staged.begin() + count);
            generation = port.stagedGeneration;
            holdForDSR = (port.hwOptions & hwfRequireDSR) && port.device->HasModemLines() &&
                         !(port.modemShadow & mslDSR);
        }
        if (holdForDSR) {
            std::this_thread::sleep_for(std::chrono::milliseconds(kOutputRetryMs));
            continue;
        }
        const long written = WriteUnlessFlushed(port, chunk, generation);
        if (written == kFlushed) {
            continue;
        }
        if (written == 0) {
            pollfd fd{port.device->PollHandle(), POLLOUT, 0};
            ::poll(&fd, 1, kOutputRetryMs);
            continue;
        }
        std::lock_guard guard(port.lock);
        if (written < 0) {
            port.MarkDeviceFailed(kWriteFailed);
        } else {
            // A flush may have emptied the staging buffer while the device was written.
            if (generation == port.stagedGeneration) {
                port.staged.erase(port.staged.begin(), port.staged.begin() + written);
            }
            ++port.blocksWritten;
            if (port.log) {
                port.log->AddBlock(ltDevice, lsWrite, chunk.data(),
                                   static_cast<std::size_t>(written));
            }
        }
        port.outputEvent = true;
        port.dispatchWake.notify_one();
    }
}

// Writes `chunk` unless the staging buffer was flushed (or the device failed) since the
// chunk was taken from it: kFlushed then. The check and the write happen under the
// port's write lock, which a flush takes too, so a flush always wins.
long ComDispatcher::WriteUnlessFlushed(PortRecord& port, const std::vector<std::uint8_t>& chunk,
                                       std::uint64_t generation) {
    std::lock_guard write(port.writeLock);
    {
        std::lock_guard guard(port.lock);
        if (port.stopping || port.deviceFailed || generation != port.stagedGeneration) {
            return kFlushed;
        }
    }
    return port.device->Write(chunk.data(), chunk.size());
}

// ---- dispatcher work (lock held) ------------------------------------------------------

void ComDispatcher::ServiceEvents(PortRecord& port) {
    port.outputEvent = false;
    ServiceDevice(port);
    if (port.eventPending) {
        port.eventPending = false;
        port.eventAck.notify_all();
    }
}

// Moves received bytes into the receive buffer. After a hang-up, what the device still
// holds is read first; then the device counts as failed.
void ComDispatcher::ServiceDevice(PortRecord& port) {
    std::uint8_t buffer[kDeviceChunk];
    bool arrived = false;
    while (!port.deviceFailed && !port.receiveHeld && port.received.FreeSpace() > 0) {
        const long count =
            port.device->Read(buffer, std::min(port.received.FreeSpace(), sizeof buffer));
        if (count < 0) {
            port.MarkDeviceFailed(kReadFailed);
            break;
        }
        if (count == 0) {
            break;
        }
        port.received.Append(buffer, static_cast<std::size_t>(count));
        port.Log(ltDevice, lsRead, static_cast<std::uint32_t>(count));
        arrived = true;
        UpdateReceiveFlow(port);
    }
    if (port.hangUpSeen) {
        port.MarkDeviceFailed(kHungUp);
    }
    if (arrived) {
        port.dataArrived.notify_all();
    }
    UpdateModemStatus(port);
}

// A failed device is not asked any more: for it DSR and carrier are down.
void ComDispatcher::UpdateModemStatus(PortRecord& port) {
    const std::uint8_t lines = port.deviceFailed ? (port.modemShadow & 0xF0 & ~(mslDSR | mslDCD))
                                                 : (port.device->ModemLines() & 0xF0);
    const std::uint8_t changes = ((port.modemShadow & 0xF0) ^ lines) >> 4;
    if (changes) {
        port.modemShadow = lines | (port.modemShadow & 0x0F) | changes;
        port.Log(ltStatus, lsModem, port.modemShadow);
    }
    static const std::uint16_t flags[4] = {lfeOverrun, lfeParity, lfeFraming, lfeBreak};
    const auto errors = port.deviceFailed ? port.lineErrors : port.device->LineErrorCounts();
    for (int i = 0; i < 4; ++i) {
        if (errors[i] > port.lineErrors[i]) {
            port.lineStatus |= flags[i];
            port.Log(ltStatus, lsLineError, flags[i]);
        }
    }
    port.lineErrors = errors;
}

// Flow control on receive: the intake stops once `full` bytes wait (the device then
// throttles the sender by RTS or XOFF; with hwfUseDTR the dispatcher drops DTR itself)
// and resumes when no more than `resume` bytes wait.
void ComDispatcher::UpdateReceiveFlow(PortRecord& port) {
    const bool flow = (port.hwOptions & (hwfUseDTR | hwfUseRTS)) || (port.swOptions & swfReceive);
    const std::size_t waiting = port.received.Count();
    if (!flow) {
        if (port.receiveHeld) {
            port.receiveHeld = false;
            port.WakeEventThread();
        }
        return;
    }
    if (!port.receiveHeld && waiting >= FlowFullLimit(port.flowFull)) {
        port.receiveHeld = true;
        if (port.hwOptions & hwfUseDTR) {
            port.device->SetDTR(false);
        }
        port.Log(ltUser, lsFlow, static_cast<std::uint32_t>(waiting), 1);
    } else if (port.receiveHeld && waiting <= port.flowResume) {
        port.receiveHeld = false;
        if (port.hwOptions & hwfUseDTR) {
            port.device->SetDTR(port.dtr);
        }
        port.Log(ltUser, lsFlow, static_cast<std::uint32_t>(waiting), 0);
        port.WakeEventThread();
    }
}

// One pass: delivers the trigger that fires, again and again until none does, each status
// trigger at most once (a handler that re-arms one while its condition holds would
// otherwise keep the pass going for ever). True when a trigger was held back for the next
// pass. The lock is released while handlers run.
bool ComDispatcher::RunTriggers(PortRecord& port, std::unique_lock<std::mutex>& lock) {
    // Firings wait for a handler: one consumed with nobody to tell is lost for good (data
    // that filled the buffer between the open and the first handler would never be
    // reported, as no more can arrive).
    if (!CanDeliver(port)) {
        return false;
    }
    port.triggers.BeginPass();
    while (CanDeliver(port)) {
        const auto message =
            port.triggers.NextFiring(Clock::now(), port.Conditions(), port.received);
        if (!message) {
            break;
        }
        port.Log(ltTrigger, static_cast<std::uint16_t>(message->message - 0x7E00), message->wParam,
                 message->Data());
        Deliver(port, *message, lock);
    }
    return port.triggers.HeldBack();
}

namespace {

const TriggerHandler* FindHandler(const PortRecord& port, int id) {
    const auto found = std::find_if(port.handlers.begin(), port.handlers.end(),
                                    [id](const TriggerHandler& h) { return h.id == id; });
    return found == port.handlers.end() ? nullptr : &*found;
}

bool ProcedureRunning(const PortRecord& port) {
    return std::any_of(port.calls.begin(), port.calls.end(), [&](const auto& call) {
        return call->state == HandlerCall::State::Running &&
               call->thread == port.dispatcherThreadId;
    });
}

// Runs on the window handler's own thread, unless the call was withdrawn meanwhile.
void RunWindowCall(PortRecord& port, const std::shared_ptr<HandlerCall>& call,
                   const TriggerProc& proc, const TriggerMessage& message) {
    {
        std::lock_guard guard(port.lock);
        if (!call->Pending()) {
            return;
        }
        call->state = HandlerCall::State::Running;
        call->thread = std::this_thread::get_id();
    }
    try {
        proc(port.slot, message);
    } catch (...) {
        // A failing handler does not stop dispatching.
    }
    std::lock_guard guard(port.lock);
    port.EndCall(call, HandlerCall::State::Finished);
}

} // namespace

// Delivers one fired trigger to every handler in turn. Each handler is looked up again
// right before its call, so that a handler removed meanwhile is not called; delivery
// stops when it is suspended or the port is stopping.
void ComDispatcher::Deliver(PortRecord& port, const TriggerMessage& message,
                            std::unique_lock<std::mutex>& lock) {
    std::vector<int> ids;
    for (const TriggerHandler& handler : port.handlers) {
        ids.push_back(handler.id);
    }
    for (const int id : ids) {
        if (port.stopping || port.deliverySuspended) {
            return;
        }
        const TriggerHandler* handler = FindHandler(port, id);
        if (handler && !handler->post) {
            // Exclusive calls in progress or waiting go first.
            port.callsChanged.wait(lock, [&] {
                return port.stopping ||
                       (port.exclusiveThread == std::thread::id() && port.exclusiveWaiters == 0);
            });
            handler = port.stopping || port.deliverySuspended ? nullptr : FindHandler(port, id);
        }
        if (!handler) {
            continue;
        }
        TriggerMessage addressed = message;
        addressed.lParam =
            (static_cast<std::uint32_t>(handler->componentIndex) << 16) | (message.lParam & 0xFFFF);
        const TriggerHandler copy = *handler;
        if (copy.post) {
            CallWindow(port, copy, addressed, lock);
        } else {
            CallProcedure(port, copy, addressed, lock);
        }
    }
}

void ComDispatcher::CallProcedure(PortRecord& port, const TriggerHandler& handler,
                                  const TriggerMessage& message,
                                  std::unique_lock<std::mutex>& lock) {
    auto call = std::make_shared<HandlerCall>();
    call->handlerId = handler.id;
    call->state = HandlerCall::State::Running;
    call->thread = std::this_thread::get_id();
    port.calls.push_back(call);
    lock.unlock();
    try {
        handler.proc(port.slot, message);
    } catch (...) {
        // A failing handler does not stop dispatching.
    }
    lock.lock();
    port.EndCall(call, HandlerCall::State::Finished);
}

// Posts the call to the handler's thread and waits for it at most 1000 ms, servicing the
// device meanwhile (triggers are not evaluated, so messages keep their order). A call
// that is still waiting for its thread after that stays valid and may run late, unless it
// is withdrawn (handler removed, delivery suspended, port closed).
void ComDispatcher::CallWindow(PortRecord& port, const TriggerHandler& handler,
                               const TriggerMessage& message, std::unique_lock<std::mutex>& lock) {
    auto call = std::make_shared<HandlerCall>();
    call->handlerId = handler.id;
    port.calls.push_back(call);
    lock.unlock();
    bool posted = true;
    try {
        handler.post([record = port.shared_from_this(), call, proc = handler.proc, message] {
            RunWindowCall(*record, call, proc, message);
        });
    } catch (...) {
        posted = false; // out of memory: this handler misses the message
    }
    lock.lock();
    if (!posted) {
        port.EndCall(call, HandlerCall::State::Withdrawn);
        return;
    }
    if (call->state == HandlerCall::State::Posting) {
        call->state = HandlerCall::State::Waiting;
    }
    port.callsChanged.notify_all();
    const auto giveUp = Clock::now() + kWindowHandlerLimit;
    while (call->Active() && !port.stopping) {
        const auto now = Clock::now();
        if (now >= giveUp) {
            return;
        }
        port.dispatchWake.wait_until(lock, std::min(giveUp, now + kDispatchInterval), [&] {
            return !call->Active() || port.stopping || port.eventPending || port.outputEvent;
        });
        if (!port.stopping) {
            ServiceEvents(port);
        }
    }
}

// Withdraws the calls of `handlerId` (0: all handlers) that have not started and waits
// for those that run on other threads.
void ComDispatcher::AwaitCalls(PortRecord& port, std::unique_lock<std::mutex>& lock,
                               int handlerId) {
    while (true) {
        port.WithdrawPendingCalls(handlerId);
        if (!port.CallInProgressElsewhere(handlerId)) {
            return;
        }
        port.callsChanged.wait(lock);
    }
}

void ComDispatcher::TakeBytes(PortRecord& port, std::size_t count, bool wasFull) {
    port.triggers.BytesTaken(count);
    UpdateReceiveFlow(port);
    if (wasFull) {
        port.WakeEventThread();
    }
}

// ---- line settings ----------------------------------------------------------------------

int ComDispatcher::SetLine(int slot, int baud, int parity, int dataBits, int stopBits) {
    return WithPort(slot, [&](PortRecord& port) {
        LineSettings line = port.line;
        if (baud != BaudUnchanged) {
            line.baud = baud;
        }
        if (parity != ParityUnchanged) {
            line.parity = parity;
        }
        if (dataBits != DataBitsUnchanged) {
            line.dataBits = dataBits;
        }
        if (stopBits != StopBitsUnchanged) {
            line.stopBits = stopBits;
        }
        if (port.device->SetLine(line) != prOK) {
            return static_cast<int>(prNotSupported);
        }
        port.line = port.device->GetLine();
        port.Log(ltDevice, lsLine, static_cast<std::uint32_t>(port.line.baud),
                 static_cast<std::uint32_t>(port.line.dataBits * 100 + port.line.parity * 10 +
                                            port.line.stopBits));
        return static_cast<int>(prOK);
    });
}

int ComDispatcher::GetLine(int slot, LineSettings& line) const {
    return WithPort(slot, [&](PortRecord& port) {
        line = port.line;
        return static_cast<int>(prOK);
    });
}

int ComDispatcher::SetQueueSizes(int slot, std::size_t inSize, std::size_t outSize) {
    if (inSize == 0 || outSize == 0) {
        return prBadArgument;
    }
    return WithPort(slot, [&](PortRecord& port) {
        port.inSize = inSize;
        port.outSize = outSize;
        return static_cast<int>(prOK);
    });
}

// ---- output -------------------------------------------------------------------------------

int ComDispatcher::PutChar(int slot, std::uint8_t byte) {
    return PutBlock(slot, &byte, 1);
}

int ComDispatcher::PutString(int slot, const std::string& text) {
    return PutBlock(slot, reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

int ComDispatcher::PutBlock(int slot, const std::uint8_t* data, std::size_t length) {
    return WithPort(slot, [&](PortRecord& port) {
        if (port.deviceFailed) {
            return static_cast<int>(prNotSupported);
        }
        if (length > port.OutputFree()) {
            return static_cast<int>(prOutputBufferTooSmall);
        }
        port.staged.insert(port.staged.end(), data, data + length);
        port.TraceBytes('T', data, length);
        port.outputWake.notify_one();
        return static_cast<int>(prOK);
    });
}

long ComDispatcher::OutBuffUsed(int slot) const {
    return WithPort(slot, [](PortRecord& port) { return static_cast<int>(port.OutputUsed()); });
}

long ComDispatcher::OutBuffFree(int slot) const {
    return WithPort(slot, [](PortRecord& port) { return static_cast<int>(port.OutputFree()); });
}

// ---- input --------------------------------------------------------------------------------

int ComDispatcher::GetChar(int slot) {
    return WithPort(slot, [](PortRecord& port) {
        const bool wasFull = port.received.IsFull();
        std::uint8_t byte = 0;
        if (!port.received.Take(byte)) {
            return EmptyBufferResult(port);
        }
        port.TraceBytes('R', &byte, 1);
        TakeBytes(port, 1, wasFull);
        return static_cast<int>(byte);
    });
}

int ComDispatcher::PeekChar(int slot, std::size_t offset) const {
    return WithPort(slot, [offset](PortRecord& port) {
        std::uint8_t byte = 0;
        return port.received.PeekAt(offset, byte) ? static_cast<int>(byte)
                                                  : EmptyBufferResult(port);
    });
}

long ComDispatcher::GetBlock(int slot, std::uint8_t* buffer, std::size_t size) {
    return WithPort(slot, [&](PortRecord& port) {
        const bool wasFull = port.received.IsFull();
        std::size_t taken = 0;
        while (taken < size && port.received.Take(buffer[taken])) {
            ++taken;
        }
        if (taken == 0 && size > 0) {
            return EmptyBufferResult(port);
        }
        port.TraceBytes('R', buffer, taken);
        TakeBytes(port, taken, wasFull);
        return static_cast<int>(taken);
    });
}

bool ComDispatcher::CharReady(int slot) const {
    return WithPort(slot, [](PortRecord& port) { return port.received.IsEmpty() ? 0 : 1; }) == 1;
}

long ComDispatcher::InBuffUsed(int slot) const {
    return WithPort(slot, [](PortRecord& port) { return static_cast<int>(port.received.Count()); });
}

bool ComDispatcher::WaitForData(int slot, std::chrono::milliseconds limit) {
    const auto port = Find(slot);
    if (!port) {
        return false;
    }
    std::unique_lock lock(port->lock);
    port->dataArrived.wait_for(lock, limit, [&] {
        return port->stopping || port->deviceFailed || !port->received.IsEmpty();
    });
    return !port->stopping && !port->received.IsEmpty();
}

int ComDispatcher::FlushInBuffer(int slot) {
    return WithPort(slot, [](PortRecord& port) {
        const int result = port.device->FlushInput();
        port.received.Clear();
        port.triggers.ResetDataScan();
        UpdateReceiveFlow(port);
        port.WakeEventThread();
        port.Log(ltDevice, lsFlush, 1);
        return result;
    });
}

int ComDispatcher::FlushOutBuffer(int slot) {
    const int emptied = WithPort(slot, [](PortRecord& port) {
        port.staged.clear();
        ++port.stagedGeneration;
        port.Log(ltDevice, lsFlush, 2);
        return static_cast<int>(prOK);
    });
    if (emptied != prOK) {
        return emptied;
    }
    // A device write in progress ends first; the output thread then sees the flush
    // before it writes again. What the device queued is purged after that.
    const auto port = Find(slot);
    if (!port) {
        return prBadHandle;
    }
    std::lock_guard write(port->writeLock);
    std::lock_guard guard(port->lock);
    if (port->stopping) {
        return prBadHandle;
    }
    return port->deviceFailed ? static_cast<int>(prOK) : port->device->FlushOutput();
}

// ---- lines and flow -------------------------------------------------------------------------

int ComDispatcher::SetDTR(int slot, bool on) {
    return WithPort(slot, [on](PortRecord& port) {
        port.dtr = on;
        port.Log(ltUser, lsDTR, on ? 1 : 0);
        if (port.receiveHeld && (port.hwOptions & hwfUseDTR)) {
            return static_cast<int>(prOK); // the flow control holds DTR down for now
        }
        return port.device->SetDTR(on);
    });
}

int ComDispatcher::SetRTS(int slot, bool on) {
    return WithPort(slot, [on](PortRecord& port) {
        port.rts = on;
        port.Log(ltUser, lsRTS, on ? 1 : 0);
        return port.device->SetRTS(on);
    });
}

int ComDispatcher::GetModemStatus(int slot) {
    return WithPort(slot, [](PortRecord& port) {
        UpdateModemStatus(port);
        const int status = port.modemShadow;
        port.modemShadow &= 0xF0;
        return status;
    });
}

int ComDispatcher::GetLineStatus(int slot) {
    return WithPort(slot, [](PortRecord& port) {
        UpdateModemStatus(port);
        const int status = port.lineStatus;
        port.lineStatus = 0;
        return status;
    });
}

int ComDispatcher::HWFlowOptions(int slot, std::size_t full, std::size_t resume, int options) {
    return WithPort(slot, [&](PortRecord& port) {
        if (full < resume || full > port.inSize) {
            return static_cast<int>(prBadArgument);
        }
        if (port.device->SetFlow(options, port.swOptions, port.xonChar, port.xoffChar) != prOK) {
            return static_cast<int>(prNotSupported);
        }
        port.hwOptions = options;
        port.flowFull = full;
        port.flowResume = resume;
        port.Log(ltUser, lsFlow, static_cast<std::uint32_t>(options), 2);
        UpdateReceiveFlow(port);
        return static_cast<int>(prOK);
    });
}

int ComDispatcher::SWFlowOptions(int slot, std::size_t full, std::size_t resume, int options,
                                 std::uint8_t xonChar, std::uint8_t xoffChar) {
    return WithPort(slot, [&](PortRecord& port) {
        if (full < resume || full > port.inSize || options < swfNone || options > swfBoth) {
            return static_cast<int>(prBadArgument);
        }
        if (port.device->SetFlow(port.hwOptions, options, xonChar, xoffChar) != prOK) {
            return static_cast<int>(prNotSupported);
        }
        port.swOptions = options;
        port.xonChar = xonChar;
        port.xoffChar = xoffChar;
        port.flowFull = full;
        port.flowResume = resume;
        port.Log(ltUser, lsFlow, static_cast<std::uint32_t>(options), 3);
        UpdateReceiveFlow(port);
        return static_cast<int>(prOK);
    });
}

int ComDispatcher::HWFlowDisable(int slot) {
    return WithPort(slot, [](PortRecord& port) {
        port.hwOptions = 0;
        if (port.receiveHeld) {
            port.device->SetDTR(port.dtr);
        }
        UpdateReceiveFlow(port);
        return port.device->SetFlow(0, port.swOptions, port.xonChar, port.xoffChar);
    });
}

int ComDispatcher::SWFlowDisable(int slot) {
    return WithPort(slot, [](PortRecord& port) {
        port.swOptions = swfNone;
        UpdateReceiveFlow(port);
        return port.device->SetFlow(port.hwOptions, swfNone, port.xonChar, port.xoffChar);
    });
}

// ---- triggers -------------------------------------------------------------------------------

int ComDispatcher::AddTimerTrigger(int slot) {
    return WithPort(slot, [](PortRecord& port) { return port.triggers.AddTimer(); });
}

int ComDispatcher::AddDataTrigger(int slot, const std::string& text, bool ignoreCase) {
    return WithPort(slot,
                    [&](PortRecord& port) { return port.triggers.AddData(text, ignoreCase); });
}

int ComDispatcher::AddStatusTrigger(int slot, int kind) {
    return WithPort(slot, [kind](PortRecord& port) { return port.triggers.AddStatus(kind); });
}

int ComDispatcher::RemoveTrigger(int slot, int handle) {
    return WithPort(slot, [handle](PortRecord& port) { return port.triggers.Remove(handle); });
}

int ComDispatcher::SetTimerTrigger(int slot, int handle, long ticks, bool active) {
    return WithPort(slot, [&](PortRecord& port) {
        const int result = port.triggers.SetTimer(handle, ticks, active, Clock::now());
        port.dispatchWake.notify_one();
        return result;
    });
}

int ComDispatcher::SetStatusTrigger(int slot, int handle, std::uint32_t value, bool active) {
    return WithPort(slot, [&](PortRecord& port) {
        const int result = port.triggers.ActivateStatus(handle, active, value, port.Conditions());
        port.dispatchWake.notify_one();
        return result;
    });
}

int ComDispatcher::SetTriggerLength(int slot, std::size_t bytes) {
    return WithPort(slot, [bytes](PortRecord& port) {
        port.triggers.SetAvailThreshold(bytes);
        port.dispatchWake.notify_one();
        return static_cast<int>(prOK);
    });
}

int ComDispatcher::StatusTriggerKind(int slot, int handle) const {
    return WithPort(slot, [handle](PortRecord& port) { return port.triggers.StatusKind(handle); });
}

int ComDispatcher::SaveTriggers(int slot, const std::vector<int>& handles,
                                TriggerTable& saved) const {
    return WithPort(slot, [&](PortRecord& port) {
        saved = port.triggers.SetUpOf(handles);
        return static_cast<int>(prOK);
    });
}

// The data-available threshold is the port's setting, not part of the saved set-up.
int ComDispatcher::RestoreTriggers(int slot, const TriggerTable& saved) {
    return WithPort(slot, [&](PortRecord& port) {
        const std::size_t threshold = port.triggers.AvailThreshold();
        port.triggers = saved;
        port.triggers.SetAvailThreshold(threshold);
        port.triggers.ResetDataScan();
        port.dispatchWake.notify_one();
        return static_cast<int>(prOK);
    });
}

// ---- handlers and client slots -------------------------------------------------------------

int ComDispatcher::AddTriggerProcedure(int slot, TriggerProc proc, std::uint16_t componentIndex) {
    return AddTriggerWindow(slot, std::move(proc), PostProc{}, componentIndex);
}

int ComDispatcher::AddTriggerWindow(int slot, TriggerProc proc, PostProc post,
                                    std::uint16_t componentIndex) {
    if (!proc) {
        return prBadArgument;
    }
    return WithPort(slot, [&](PortRecord& port) {
        const int id = port.nextHandlerId++;
        port.handlers.push_back(
            TriggerHandler{id, std::move(proc), std::move(post), componentIndex});
        return id;
    });
}

int ComDispatcher::RemoveTriggerHandler(int slot, int handlerId) {
    if (handlerId <= 0) {
        return prBadHandle;
    }
    return WithPortLock(slot, [handlerId](PortRecord& port, std::unique_lock<std::mutex>& lock) {
        const auto removed = std::erase_if(
            port.handlers, [handlerId](const TriggerHandler& h) { return h.id == handlerId; });
        if (!removed) {
            return static_cast<int>(prBadHandle);
        }
        AwaitCalls(port, lock, handlerId);
        return static_cast<int>(prOK);
    });
}

int ComDispatcher::SuspendDelivery(int slot, bool suspend) {
    return WithPortLock(slot, [suspend](PortRecord& port, std::unique_lock<std::mutex>& lock) {
        const bool before = port.deliverySuspended;
        port.deliverySuspended = suspend;
        if (suspend) {
            AwaitCalls(port, lock, 0);
        }
        port.dispatchWake.notify_one();
        return before ? 1 : 0;
    });
}

int ComDispatcher::CallExclusive(int slot, const std::function<void()>& call) {
    return WithPortLock(slot, [&call](PortRecord& port, std::unique_lock<std::mutex>& lock) {
        const auto self = std::this_thread::get_id();
        if (self == port.dispatcherThreadId || self == port.exclusiveThread) {
            lock.unlock(); // already exclusive: inside a handler or an exclusive call
            call();
            return static_cast<int>(prOK);
        }
        ++port.exclusiveWaiters;
        port.callsChanged.wait(lock, [&] {
            return port.stopping ||
                   (port.exclusiveThread == std::thread::id() && !ProcedureRunning(port));
        });
        --port.exclusiveWaiters;
        if (port.stopping) {
            port.callsChanged.notify_all();
            return static_cast<int>(prBadHandle);
        }
        port.exclusiveThread = self;
        struct EndExclusive {
            PortRecord& port;
            std::unique_lock<std::mutex>& lock;
            ~EndExclusive() {
                lock.lock();
                port.exclusiveThread = std::thread::id();
                port.callsChanged.notify_all();
            }
        } end{port, lock};
        lock.unlock();
        call();
        return static_cast<int>(prOK);
    });
}

int ComDispatcher::StoreClientSlot(int slot, int clientSlot, void* value) {
    return WithPort(slot, [&](PortRecord& port) {
        if (clientSlot < 1 || clientSlot > ClientSlotCount) {
            return static_cast<int>(BadClientSlot);
        }
        port.clientSlots[clientSlot - 1] = value;
        return static_cast<int>(prOK);
    });
}

int ComDispatcher::FetchClientSlot(int slot, int clientSlot, void*& value) const {
    return WithPort(slot, [&](PortRecord& port) {
        if (clientSlot < 1 || clientSlot > ClientSlotCount) {
            return static_cast<int>(BadClientSlot);
        }
        value = port.clientSlots[clientSlot - 1];
        return static_cast<int>(prOK);
    });
}

// ---- trace and log --------------------------------------------------------------------------

template <typename Operation>
int ComDispatcher::WithRecording(int slot, Recording which, Operation operation) const {
    return WithPort(slot, [&](PortRecord& port) {
        return which == Recording::Trace ? operation(port.trace, prTracingNotEnabled)
                                         : operation(port.log, prLoggingNotEnabled);
    });
}

int ComDispatcher::RecordingOn(int slot, Recording which, std::size_t size) {
    return WithRecording(slot, which, [size](auto& recording, int) {
        if (recording) {
            recording->SetPaused(false);
        } else {
            recording =
                std::make_unique<typename std::decay_t<decltype(recording)>::element_type>(size);
        }
        return static_cast<int>(prOK);
    });
}

int ComDispatcher::RecordingOff(int slot, Recording which) {
    return WithRecording(slot, which, [](auto& recording, int) {
        recording.reset();
        return static_cast<int>(prOK);
    });
}

// Writes the file and ends the recording.
int ComDispatcher::RecordingDump(int slot, Recording which, const std::string& path, bool append,
                                 bool hex) {
    return WithRecording(slot, which, [&](auto& recording, int notEnabled) {
        if (!recording) {
            return notEnabled;
        }
        const bool written = recording->DumpToFile(path, append, hex);
        recording.reset();
        return written ? static_cast<int>(prOK) : static_cast<int>(prAccessDenied);
    });
}

int ComDispatcher::RecordingClear(int slot, Recording which) {
    return WithRecording(slot, which, [](auto& recording, int notEnabled) {
        if (!recording) {
            return notEnabled;
        }
        recording->Clear();
        return static_cast<int>(prOK);
    });
}

int ComDispatcher::RecordingPause(int slot, Recording which) {
    return WithRecording(slot, which, [](auto& recording, int notEnabled) {
        if (!recording) {
            return notEnabled;
        }
        recording->SetPaused(true);
        return static_cast<int>(prOK);
    });
}

bool ComDispatcher::RecordingEnabled(int slot, Recording which) const {
    return WithRecording(slot, which, [](auto& recording, int) { return recording ? 1 : 0; }) == 1;
}

std::string ComDispatcher::RecordingText(int slot, Recording which, bool hex) const {
    std::string text;
    WithRecording(slot, which, [&](auto& recording, int) {
        if (recording) {
            text = recording->DumpText(hex);
        }
        return static_cast<int>(prOK);
    });
    return text;
}

} // namespace qpcomm
