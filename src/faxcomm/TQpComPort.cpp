#include "faxcomm/TQpComPort.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>

#include <QCoreApplication>
#include <QtDebug>

#include "common/DataFolder.h"
#include "faxcomm/ComPortExceptions.h"
#include "faxcomm/MainThreadMailbox.h"
#include "faxcomm/core/ComDispatcher.h"
#include "faxcomm/core/PortDeviceName.h"
#include "faxcomm/core/StringMatcher.h"

using qpcomm::ComDispatcher;
using qpcomm::TriggerMessage;

namespace {

constexpr int kComponentTableSize = 100;

// The process-wide table that maps a component index back to its component. Only the
// user-interface thread touches it.
std::array<TQpComPort*, kComponentTableSize>& ComponentTable() {
    static std::array<TQpComPort*, kComponentTableSize> table{};
    return table;
}

std::function<void(const std::exception&)>& HandlerErrorReporter() {
    static std::function<void(const std::exception&)> reporter;
    return reporter;
}

void ReportHandlerError(const std::exception& error) {
    if (HandlerErrorReporter()) {
        HandlerErrorReporter()(error);
    } else {
        qWarning("Serial port event handler failed: %s", error.what());
    }
}

ComDispatcher& Dispatcher() {
    return ComDispatcher::Instance();
}

// Trace and log file names without a folder live in the data folder.
std::string DumpPath(const std::string& name) {
    return !name.empty() && name[0] == '/' ? name : DataFolder() + name;
}

} // namespace

TQpComPort::TQpComPort(QObject* owner) : QObject(owner), window_(new MainThreadMailbox(this)) {
    window_->setObjectName("qpComWindow");
    auto& table = ComponentTable();
    const auto free = std::find(table.begin(), table.end(), nullptr);
    if (free != table.end()) {
        *free = this;
        componentIndex_ = static_cast<int>(free - table.begin()) + 1;
    }
}

TQpComPort::~TQpComPort() {
    try {
        ClosePort();
    } catch (const std::exception& error) {
        qWarning("Closing serial port failed: %s", error.what());
    }
    if (componentIndex_ > 0) {
        ComponentTable()[componentIndex_ - 1] = nullptr;
    }
}

void TQpComPort::SetHandlerErrorReporter(std::function<void(const std::exception&)> reporter) {
    HandlerErrorReporter() = std::move(reporter);
}

std::string TQpComPort::DeviceName() const {
    return qpcomm::DeviceNameForPort(comNumber_);
}

// ---- open and close ---------------------------------------------------------------------

void TQpComPort::SetOpen(bool value) {
    if (value && !Open()) {
        OpenPort();
    } else if (!value && Open()) {
        ClosePort();
    }
}

// Opens the device named for ComNumber, reads back the settings it took, then applies in
// order: trace and log states, hardware flow, software flow with the XON/XOFF characters,
// TriggerLength, DTR, RTS; registers the component's handler and restores its own
// triggers kept from the last close.
void TQpComPort::OpenPort() {
    if (comNumber_ == 0) {
        RaisePortError(qpcomm::prNoPortSelected);
    }
    qpcomm::PortOpenRequest request;
    request.deviceName = DeviceName();
    request.inSize = inSize_;
    request.outSize = outSize_;
    request.line = qpcomm::LineSettings{baud_, parity_, dataBits_, stopBits_};
    request.dtr = dtr_;
    request.rts = rts_;
    const int slot = CheckPortResult(Dispatcher().OpenPort(std::move(request)));
    slot_ = slot;
    try {
        qpcomm::LineSettings line;
        Dispatcher().GetLine(slot_, line);
        baud_ = line.baud;
        parity_ = static_cast<TParity>(line.parity);
        dataBits_ = static_cast<std::uint16_t>(line.dataBits);
        stopBits_ = static_cast<std::uint16_t>(line.stopBits);
        if (tracing_ == tlOn) {
            CheckPortResult(Dispatcher().RecordingOn(slot_, qpcomm::Recording::Trace, traceSize_));
        }
        if (logging_ == tlOn) {
            CheckPortResult(Dispatcher().RecordingOn(slot_, qpcomm::Recording::Log, logSize_));
        }
        ApplyHWFlow();
        ApplySWFlow();
        CheckPortResult(Dispatcher().SetTriggerLength(slot_, triggerLength_));
        CheckPortResult(Dispatcher().SetDTR(slot_, dtr_));
        CheckPortResult(Dispatcher().SetRTS(slot_, rts_));
        RegisterHandler();
        if (savedTriggers_) {
            CheckPortResult(Dispatcher().RestoreTriggers(slot_, *savedTriggers_));
        }
    } catch (...) {
        Dispatcher().ClosePort(slot_);
        slot_ = 0;
        throw;
    }
}

// Registers the component's window handler. Deliveries are posted to the mailbox, which
// lives as long as the registration: the handler is removed before the component goes.
void TQpComPort::RegisterHandler() {
    const std::uint64_t generation = ++openCount_;
    MainThreadMailbox* mailbox = window_;
    handlerId_ = CheckPortResult(Dispatcher().AddTriggerWindow(
        slot_,
        [this, generation](int, const TriggerMessage& message) {
            if (generation == openCount_) {
                HandleTrigger(message);
            }
        },
        [mailbox](std::function<void()> call) { mailbox->Post(std::move(call)); },
        static_cast<std::uint16_t>(componentIndex_)));
}

// Dumps a recording trace and log, keeps the component's own triggers (disarmed) for the
// next open, removes the component's handler (withdrawing deliveries on their way) and
// closes the dispatcher port.
void TQpComPort::ClosePort() {
    if (!Open()) {
        return;
    }
    const int slot = slot_;
    if (tracing_ == tlOn || tracing_ == tlPause) {
        Dispatcher().RecordingDump(slot, qpcomm::Recording::Trace, DumpPath(traceName_), false,
                                   traceHex_);
        tracing_ = tlOn;
    }
    if (logging_ == tlOn || logging_ == tlPause) {
        Dispatcher().RecordingDump(slot, qpcomm::Recording::Log, DumpPath(logName_), false,
                                   logHex_);
        logging_ = tlOn;
    }
    qpcomm::TriggerTable saved;
    if (Dispatcher().SaveTriggers(slot, ownTriggers_, saved) == qpcomm::prOK) {
        savedTriggers_ = saved;
    }
    Dispatcher().RemoveTriggerHandler(slot, handlerId_);
    handlerId_ = 0;
    slot_ = 0;
    Dispatcher().ClosePort(slot);
}

void TQpComPort::EnsureOpen() {
    if (Open()) {
        return;
    }
    if (!autoOpen_) {
        RaisePortError(qpcomm::prCommNotOpen);
    }
    OpenPort();
}

void TQpComPort::SetComNumber(std::uint16_t value) {
    if (value == comNumber_) {
        return;
    }
    if (Open()) {
        ReopenOnNewNumber(value);
    } else {
        comNumber_ = value;
    }
}

void TQpComPort::ReopenOnNewNumber(std::uint16_t number) {
    const TTraceLogState tracing = tracing_;
    const TTraceLogState logging = logging_;
    ClosePort();
    comNumber_ = number;
    tracing_ = tracing == tlPause ? tlOn : tracing;
    logging_ = logging == tlPause ? tlOn : logging;
    OpenPort();
}

// ---- line settings and flow -----------------------------------------------------------------

void TQpComPort::ApplyLine() {
    if (!Open()) {
        return;
    }
    CheckPortResult(Dispatcher().SetLine(slot_, baud_, parity_, dataBits_, stopBits_));
    qpcomm::LineSettings line;
    Dispatcher().GetLine(slot_, line);
    baud_ = line.baud;
    parity_ = static_cast<TParity>(line.parity);
    dataBits_ = static_cast<std::uint16_t>(line.dataBits);
    stopBits_ = static_cast<std::uint16_t>(line.stopBits);
}

void TQpComPort::SetBaud(std::int32_t value) {
    baud_ = value;
    ApplyLine();
}

void TQpComPort::SetParity(TParity value) {
    parity_ = value;
    ApplyLine();
}

void TQpComPort::SetDataBits(std::uint16_t value) {
    dataBits_ = value;
    ApplyLine();
}

void TQpComPort::SetStopBits(std::uint16_t value) {
    stopBits_ = value;
    ApplyLine();
}

void TQpComPort::SetInSize(std::uint16_t value) {
    inSize_ = value;
    if (Open()) {
        CheckPortResult(Dispatcher().SetQueueSizes(slot_, inSize_, outSize_));
    }
}

void TQpComPort::SetOutSize(std::uint16_t value) {
    outSize_ = value;
    if (Open()) {
        CheckPortResult(Dispatcher().SetQueueSizes(slot_, inSize_, outSize_));
    }
}

// A BufferFull of 0 or above InSize becomes `fullShare` of InSize, a BufferResume of 0 or
// above BufferFull `resumeShare` of InSize (both truncated).
void TQpComPort::FillFlowLimits(double fullShare, double resumeShare) {
    if (bufferFull_ == 0 || bufferFull_ > inSize_) {
        bufferFull_ = static_cast<std::uint16_t>(inSize_ * fullShare);
    }
    if (bufferResume_ == 0 || bufferResume_ > bufferFull_) {
        bufferResume_ = static_cast<std::uint16_t>(inSize_ * resumeShare);
    }
}

// Hardware flow: limits 90 % and 10 % of InSize unless set.
void TQpComPort::ApplyHWFlow() {
    if (!Open()) {
        return;
    }
    if (hwFlowOptions_ == 0) {
        CheckPortResult(Dispatcher().HWFlowDisable(slot_));
        return;
    }
    FillFlowLimits(0.9, 0.1);
    CheckPortResult(Dispatcher().HWFlowOptions(slot_, bufferFull_, bufferResume_,
                                               static_cast<int>(hwFlowOptions_)));
}

// Software flow: limits 75 % and 25 % of InSize unless set.
void TQpComPort::ApplySWFlow() {
    if (!Open()) {
        return;
    }
    if (swFlowOptions_ == swfNone) {
        CheckPortResult(Dispatcher().SWFlowDisable(slot_));
        return;
    }
    FillFlowLimits(0.75, 0.25);
    CheckPortResult(Dispatcher().SWFlowOptions(slot_, bufferFull_, bufferResume_, swFlowOptions_,
                                               static_cast<std::uint8_t>(xonChar_),
                                               static_cast<std::uint8_t>(xoffChar_)));
}

void TQpComPort::SetHWFlowOptions(THWFlowOptions value) {
    hwFlowOptions_ = value;
    ApplyHWFlow();
}

void TQpComPort::SetSWFlowOptions(TSWFlowOptions value) {
    swFlowOptions_ = value;
    ApplySWFlow();
}

void TQpComPort::SetXOnChar(char value) {
    xonChar_ = value;
    ApplySWFlow();
}

void TQpComPort::SetXOffChar(char value) {
    xoffChar_ = value;
    ApplySWFlow();
}

void TQpComPort::SetBufferFull(std::uint16_t value) {
    bufferFull_ = value;
    ApplyHWFlow();
    ApplySWFlow();
}

void TQpComPort::SetBufferResume(std::uint16_t value) {
    bufferResume_ = value;
    ApplyHWFlow();
    ApplySWFlow();
}

void TQpComPort::SetDTR(bool value) {
    dtr_ = value;
    if (Open()) {
        CheckPortResult(Dispatcher().SetDTR(slot_, value));
    }
}

void TQpComPort::SetRTS(bool value) {
    rts_ = value;
    if (Open()) {
        CheckPortResult(Dispatcher().SetRTS(slot_, value));
    }
}

void TQpComPort::SetTriggerLength(std::uint16_t value) {
    triggerLength_ = value;
    if (Open()) {
        CheckPortResult(Dispatcher().SetTriggerLength(slot_, value));
    }
}

// ---- trace and log ----------------------------------------------------------------------------

void TQpComPort::SetTraceSize(std::uint16_t value) {
    traceSize_ = std::min<std::uint16_t>(value, qpcomm::MaxTraceSize);
}

void TQpComPort::SetLogSize(std::uint16_t value) {
    logSize_ = std::min<std::uint16_t>(value, qpcomm::MaxLogSize);
}

void TQpComPort::SetTracing(TTraceLogState value) {
    if (!Open()) {
        tracing_ = value == tlOn ? tlOn : tlOff;
        return;
    }
    ApplyTraceCommand(value, true);
}

void TQpComPort::SetLogging(TTraceLogState value) {
    if (!Open()) {
        logging_ = value == tlOn ? tlOn : tlOff;
        return;
    }
    ApplyTraceCommand(value, false);
}

// On an open port: tlOn starts (or resumes) recording, tlOff stops and frees, tlDump and
// tlAppend write the file (new or appended) and stop, tlClear empties, tlPause suspends.
void TQpComPort::ApplyTraceCommand(TTraceLogState value, bool trace) {
    ComDispatcher& d = Dispatcher();
    const qpcomm::Recording which = trace ? qpcomm::Recording::Trace : qpcomm::Recording::Log;
    TTraceLogState& state = trace ? tracing_ : logging_;
    switch (value) {
    case tlOn:
        CheckPortResult(d.RecordingOn(slot_, which, trace ? traceSize_ : logSize_));
        state = tlOn;
        break;
    case tlOff:
        CheckPortResult(d.RecordingOff(slot_, which));
        state = tlOff;
        break;
    case tlDump:
    case tlAppend:
        state = tlOff;
        CheckPortResult(d.RecordingDump(slot_, which, DumpPath(trace ? traceName_ : logName_),
                                        value == tlAppend, trace ? traceHex_ : logHex_));
        break;
    case tlClear:
        CheckPortResult(d.RecordingClear(slot_, which));
        break;
    case tlPause:
        CheckPortResult(d.RecordingPause(slot_, which));
        state = tlPause;
        break;
    }
}

// ---- data ----------------------------------------------------------------------------------

template <typename Operation>
int TQpComPort::OnPort(Operation operation) {
    EnsureOpen();
    return CheckPortResult(static_cast<int>(operation(Dispatcher(), slot_)));
}

bool TQpComPort::CharReady() {
    EnsureOpen();
    return Dispatcher().CharReady(slot_);
}

char TQpComPort::GetChar() {
    return static_cast<char>(OnPort([](ComDispatcher& d, int slot) { return d.GetChar(slot); }));
}

char TQpComPort::PeekChar() {
    return static_cast<char>(OnPort([](ComDispatcher& d, int slot) { return d.PeekChar(slot); }));
}

void TQpComPort::PutChar(char c) {
    OnPort(
        [c](ComDispatcher& d, int slot) { return d.PutChar(slot, static_cast<std::uint8_t>(c)); });
}

void TQpComPort::OutputString(const std::string& text) {
    OnPort([&text](ComDispatcher& d, int slot) { return d.PutString(slot, text); });
}

int TQpComPort::InBuffUsed() {
    return OnPort([](ComDispatcher& d, int slot) { return d.InBuffUsed(slot); });
}

int TQpComPort::OutBuffUsed() {
    return OnPort([](ComDispatcher& d, int slot) { return d.OutBuffUsed(slot); });
}

int TQpComPort::OutBuffFree() {
    return OnPort([](ComDispatcher& d, int slot) { return d.OutBuffFree(slot); });
}

void TQpComPort::FlushInBuffer() {
    OnPort([](ComDispatcher& d, int slot) { return d.FlushInBuffer(slot); });
}

void TQpComPort::FlushOutBuffer() {
    OnPort([](ComDispatcher& d, int slot) { return d.FlushOutBuffer(slot); });
}

std::uint8_t TQpComPort::ModemStatus() {
    return static_cast<std::uint8_t>(
        OnPort([](ComDispatcher& d, int slot) { return d.GetModemStatus(slot); }));
}

bool TQpComPort::DCD() {
    return (ModemStatus() & qpcomm::mslDCD) != 0;
}

// ---- triggers ---------------------------------------------------------------------------------

int TQpComPort::AddOwnTrigger(int handle) {
    ownTriggers_.push_back(handle);
    return handle;
}

int TQpComPort::AddTimerTrigger() {
    return AddOwnTrigger(
        OnPort([](ComDispatcher& d, int slot) { return d.AddTimerTrigger(slot); }));
}

int TQpComPort::AddDataTrigger(const std::string& text, bool ignoreCase) {
    return AddOwnTrigger(OnPort(
        [&](ComDispatcher& d, int slot) { return d.AddDataTrigger(slot, text, ignoreCase); }));
}

int TQpComPort::AddStatusTrigger(int kind) {
    return AddOwnTrigger(
        OnPort([kind](ComDispatcher& d, int slot) { return d.AddStatusTrigger(slot, kind); }));
}

void TQpComPort::RemoveTrigger(int handle) {
    OnPort([handle](ComDispatcher& d, int slot) { return d.RemoveTrigger(slot, handle); });
    std::erase(ownTriggers_, handle);
}

void TQpComPort::SetTimerTrigger(int handle, long ticks, bool active) {
    OnPort(
        [&](ComDispatcher& d, int slot) { return d.SetTimerTrigger(slot, handle, ticks, active); });
}

void TQpComPort::SetStatusTrigger(int handle, std::uint32_t value, bool active) {
    OnPort([&](ComDispatcher& d, int slot) {
        return d.SetStatusTrigger(slot, handle, value, active);
    });
}

// Runs on the component's thread for every trigger of its port: OnTrigger first, then
// the event of the message (and of the status trigger's kind). Exceptions from handlers
// are reported, never passed on.
void TQpComPort::HandleTrigger(const TriggerMessage& message) {
    try {
        if (OnTrigger) {
            OnTrigger(*this, message.message, message.wParam, message.Data());
        }
        switch (message.message) {
        case qpcomm::msgTriggerAvail:
            if (OnTriggerAvail) {
                OnTriggerAvail(*this, message.wParam);
            }
            break;
        case qpcomm::msgTriggerData:
            if (OnTriggerData) {
                OnTriggerData(*this, message.wParam);
            }
            break;
        case qpcomm::msgTriggerTimer:
            if (OnTriggerTimer) {
                OnTriggerTimer(*this, message.wParam);
            }
            break;
        case qpcomm::msgTriggerStatus:
            if (OnTriggerStatus) {
                OnTriggerStatus(*this, message.wParam);
            }
            RaiseStatusEvent(message.wParam, message.Data());
            break;
        default:
            break;
        }
    } catch (const std::exception& error) {
        ReportHandlerError(error);
    }
}

void TQpComPort::RaiseStatusEvent(int handle, std::uint16_t data) {
    if (!Open()) {
        return;
    }
    switch (Dispatcher().StatusTriggerKind(slot_, handle)) {
    case qpcomm::skModem:
        if (OnTriggerModemStatus) {
            OnTriggerModemStatus(*this);
        }
        break;
    case qpcomm::skLine:
        if (OnTriggerLineError) {
            OnTriggerLineError(*this, data & ~qpcomm::lfeBreak, (data & qpcomm::lfeBreak) != 0);
        }
        break;
    case qpcomm::skOutBuffFree:
        if (OnTriggerOutbuffFree) {
            OnTriggerOutbuffFree(*this);
        }
        break;
    case qpcomm::skOutBuffUsed:
        if (OnTriggerOutbuffUsed) {
            OnTriggerOutbuffUsed(*this);
        }
        break;
    case qpcomm::skOutSent:
        if (OnTriggerOutSent) {
            OnTriggerOutSent(*this);
        }
        break;
    default:
        break;
    }
}

// ---- waiting for a string -------------------------------------------------------------------

// Each received byte raises OnWaitChar and goes through a StringMatcher. True when the whole text
// came (or the application is shutting down), false when the time ran out. An empty text is true at
// once.
bool TQpComPort::WaitForString(const std::string& text, long ticks, bool ignoreCase, bool yield) {
    if (text.empty()) {
        return true;
    }
    EnsureOpen();
    const int slot = slot_;
    const bool wasSuspended = CheckPortResult(Dispatcher().SuspendDelivery(slot, true)) != 0;
    struct ResumeDelivery {
        int slot;
        bool keep;
        ~ResumeDelivery() {
            if (!keep) {
                ComDispatcher::Instance().SuspendDelivery(slot, false);
            }
        }
    } resume{slot, wasSuspended};

    qpcomm::StringMatcher matcher(text, ignoreCase);
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::milliseconds(qpcomm::TicksToMilliseconds(ticks));
    while (true) {
        if (yield) {
            QCoreApplication::processEvents();
        }
        if (QCoreApplication::closingDown()) {
            return true;
        }
        const int byte = Dispatcher().GetChar(slot);
        if (byte >= 0) {
            const char c = static_cast<char>(byte);
            if (OnWaitChar) {
                OnWaitChar(*this, c);
            }
            if (matcher.Feed(c)) {
                return true;
            }
            continue;
        }
        if (byte != qpcomm::prBufferIsEmpty) {
            return false; // the port was closed meanwhile
        }
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) {
            return false;
        }
        const auto pass = std::chrono::milliseconds(yield ? 10 : 50);
        Dispatcher().WaitForData(
            slot, std::min<std::chrono::milliseconds>(
                      pass, std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now) +
                                std::chrono::milliseconds(1)));
    }
}
