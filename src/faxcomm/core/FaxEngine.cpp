#include "faxcomm/core/FaxEngine.h"

#include "faxcomm/core/ComDispatcher.h"
#include "faxcomm/core/ModemCommander.h"

namespace qpfax {

using qpcomm::ComDispatcher;

namespace {

ComDispatcher& Port() {
    return ComDispatcher::Instance();
}

constexpr int kFaxClientSlot = 2;
constexpr int kGuardMs = 1000;
constexpr long kSpeedSwitchTicks = 9;

} // namespace

FaxEngine::FaxEngine(FaxClient& client, FaxEngineOptions options)
    : client_(client), options_(std::move(options)) {
    options_.stationId = UpperCase(options_.stationId.substr(0, 20));
}

FaxEngine::~FaxEngine() {
    Stop();
}

int FaxEngine::CreateTriggers() {
    ComDispatcher& d = Port();
    const int handles[] = {
        statusTimer_ = d.AddTimerTrigger(slot_),
        timeoutTimer_ = d.AddTimerTrigger(slot_),
        outFreeTrigger_ = d.AddStatusTrigger(slot_, qpcomm::skOutBuffFree),
        outUsedTrigger_ = d.AddStatusTrigger(slot_, qpcomm::skOutBuffUsed),
        modemTrigger_ = d.AddStatusTrigger(slot_, qpcomm::skModem),
    };
    for (int handle : handles) {
        if (handle < 0) {
            return feNoMoreTriggers;
        }
    }
    if (d.SetTriggerLength(slot_, 1) < 0) {
        return feNoMoreTriggers;
    }
    triggerLengthSet_ = true;
    return 0;
}

void FaxEngine::RemoveTriggers() {
    ComDispatcher& d = Port();
    for (int* handle :
         {&statusTimer_, &timeoutTimer_, &outFreeTrigger_, &outUsedTrigger_, &modemTrigger_}) {
        if (*handle > 0) {
            d.RemoveTrigger(slot_, *handle);
        }
        *handle = 0;
    }
}

int FaxEngine::Start(int slot) {
    slot_ = slot;
    if (!Port().IsOpen(slot)) {
        return qpcomm::prBadHandle;
    }
    if (const int result = CreateTriggers(); result < 0) {
        RemoveTriggers();
        return result;
    }
    Port().StoreClientSlot(slot_, kFaxClientSlot, this);
    if (const int result = StartSession(); result < 0) {
        RemoveTriggers();
        Port().StoreClientSlot(slot_, kFaxClientSlot, nullptr);
        Update([&](FaxProgress& p) { p.lastError = result; });
        return result;
    }
    std::weak_ptr<FaxEngine> weak = weak_from_this();
    handlerId_ = Port().AddTriggerProcedure(slot_, [weak](int, const qpcomm::TriggerMessage& m) {
        if (auto engine = weak.lock()) {
            engine->HandleTrigger(m);
        }
    });
    if (handlerId_ < 0) {
        handlerId_ = 0;
        RemoveTriggers();
        return feNoMoreTriggers;
    }
    {
        std::lock_guard<std::mutex> lock(sessionMutex_);
        Drive(FaxEventKind::None);
    }
    ArmStatusTimer();
    return 0;
}

void FaxEngine::Stop() {
    if (stopped_.exchange(true)) {
        return;
    }
    ended_ = true;
    if (handlerId_ > 0) {
        Port().RemoveTriggerHandler(slot_, handlerId_);
        handlerId_ = 0;
    }
    // A call that started before the removal finishes before the triggers go.
    { std::lock_guard<std::mutex> lock(sessionMutex_); }
    if (slot_ > 0 && Port().IsOpen(slot_)) {
        RemoveTriggers();
        Port().StoreClientSlot(slot_, kFaxClientSlot, nullptr);
    }
}

void FaxEngine::Abort() {
    if (ended_) {
        return;
    }
    abortRequested_ = true;
    if (timeoutTimer_ > 0) {
        Port().SetTimerTrigger(slot_, timeoutTimer_, 1, true);
    }
}

FaxProgress FaxEngine::Progress() const {
    std::lock_guard<std::mutex> lock(infoMutex_);
    FaxProgress copy = info_;
    if (slot_ > 0 && !ended_) {
        const long used = Port().OutBuffUsed(slot_);
        copy.bytesWaiting = used > 0 ? used : 0;
    }
    return copy;
}

void FaxEngine::HandleTrigger(const qpcomm::TriggerMessage& message) {
    std::lock_guard<std::mutex> lock(sessionMutex_);
    if (ended_) {
        return;
    }
    FaxEventKind kind = FaxEventKind::None;
    if (message.message == qpcomm::msgTriggerTimer) {
        if (message.wParam == statusTimer_) {
            if (!abortRequested_) {
                client_.Status(false, false);
                ArmStatusTimer();
                return;
            }
        } else if (message.wParam == timeoutTimer_) {
            kind = FaxEventKind::Timeout;
        }
    } else if (message.message == qpcomm::msgTriggerStatus) {
        if (message.wParam == outFreeTrigger_ || message.wParam == outUsedTrigger_) {
            kind = FaxEventKind::Output;
        }
    } else if (message.message == qpcomm::msgTriggerAvail) {
        kind = FaxEventKind::Data;
    }
    Drive(kind);
}

void FaxEngine::Drive(FaxEventKind kind) {
    if (ended_) {
        return;
    }
    if (abortRequested_.exchange(false)) {
        aborted_ = true;
        ReportStatus(fsUserAbort);
        ReportError(feCancelRequested);
        state_ = ErrorState();
        kind = FaxEventKind::None;
    }
    FaxEvent event{kind, {}};
    while (!ended_) {
        const FaxWait wait = WaitOf(state_);
        switch (wait) {
        case FaxWait::Run:
            event.kind = FaxEventKind::None;
            break;
        case FaxWait::Line:
            if (event.kind == FaxEventKind::Timeout) {
                Fail(feFatalTimeout);
                event = {};
                continue;
            }
            if (!ReadLine(event.line)) {
                return;
            }
            event.kind = FaxEventKind::Line;
            if (UnexpectedAnswer(state_, event.line)) {
                event = {};
                continue;
            }
            break;
        case FaxWait::LineOrTimer:
            if (event.kind == FaxEventKind::Timeout) {
                break;
            }
            if (!ReadLine(event.line)) {
                return;
            }
            event.kind = FaxEventKind::Line;
            if (UnexpectedAnswer(state_, event.line)) {
                event = {};
                continue;
            }
            break;
        case FaxWait::Timer:
            if (event.kind != FaxEventKind::Timeout) {
                return;
            }
            break;
        case FaxWait::Output:
            if (event.kind == FaxEventKind::Timeout) {
                Fail(feFatalTimeout);
                event = {};
                continue;
            }
            if (event.kind != FaxEventKind::Output) {
                return;
            }
            break;
        case FaxWait::Data:
            if (event.kind != FaxEventKind::Timeout) {
                if (!DataWaiting()) {
                    return;
                }
                event.kind = FaxEventKind::Data;
            }
            break;
        }
        RunState(state_, event);
        event = {};
    }
}

void FaxEngine::ArmStatusTimer() {
    if (statusTimer_ > 0 && !ended_) {
        const long seconds = options_.statusInterval == 0 ? 1 : options_.statusInterval;
        Port().SetTimerTrigger(slot_, statusTimer_, qpcomm::SecondsToTicks(seconds), true);
    }
}

void FaxEngine::SendCommand(const std::string& command, long waitTicks) {
    PauseMs(100);
    SendCommandAtOnce(command, waitTicks);
}

void FaxEngine::SendCommandAtOnce(const std::string& command, long waitTicks) {
    SendRaw(command + "\r");
    reader_.Clear();
    ArmTimeout(waitTicks > 0 ? waitTicks : options_.responseWaitTicks);
}

int FaxEngine::SendRaw(const std::uint8_t* data, std::size_t size) {
    return Port().PutBlock(slot_, data, size);
}

void FaxEngine::ArmTimeout(long ticks) {
    Port().SetTimerTrigger(slot_, timeoutTimer_, ticks, true);
}

void FaxEngine::StopTimeout() {
    Port().SetTimerTrigger(slot_, timeoutTimer_, 0, false);
}

void FaxEngine::ArmOutputFree(long bytes) {
    Port().SetStatusTrigger(slot_, outFreeTrigger_, static_cast<std::uint32_t>(bytes), true);
}

void FaxEngine::ArmOutputUsed(long bytes) {
    Port().SetStatusTrigger(slot_, outUsedTrigger_, static_cast<std::uint32_t>(bytes), true);
}

long FaxEngine::OutputFree() const {
    return Port().OutBuffFree(slot_);
}

long FaxEngine::OutputUsed() const {
    return Port().OutBuffUsed(slot_);
}

bool FaxEngine::ReadLine(std::string& line) {
    for (;;) {
        int byte = -1;
        if (!readAhead_.empty()) {
            byte = readAhead_.front();
            readAhead_.pop_front();
        } else {
            byte = Port().GetChar(slot_);
        }
        if (byte < 0) {
            return false;
        }
        if (reader_.Feed(static_cast<std::uint8_t>(byte))) {
            line = reader_.Line();
            reader_.Clear();
            return true;
        }
    }
}

long FaxEngine::ReadBlock(std::uint8_t* buffer, std::size_t size) {
    if (!readAhead_.empty()) {
        std::size_t n = 0;
        while (n < size && !readAhead_.empty()) {
            buffer[n++] = readAhead_.front();
            readAhead_.pop_front();
        }
        return static_cast<long>(n);
    }
    const long got = Port().GetBlock(slot_, buffer, size);
    return got > 0 ? got : 0;
}

bool FaxEngine::DataWaiting() const {
    return !readAhead_.empty() || Port().CharReady(slot_);
}

void FaxEngine::ReportStatus(int status) {
    Update([&](FaxProgress& p) { p.status = status; });
    const bool first = firstStatus_;
    firstStatus_ = false;
    client_.Status(first, false);
}

void FaxEngine::ReportLastStatus() {
    client_.Status(false, true);
}

void FaxEngine::ReportError(int code) {
    Update([&](FaxProgress& p) { p.lastError = code; });
    client_.Error(code);
}

void FaxEngine::Fail(int code) {
    ReportError(code);
    state_ = ErrorState();
}

void FaxEngine::Log(int code) {
    client_.Log(code);
}

void FaxEngine::EndSession() {
    if (ended_) {
        return;
    }
    ReportLastStatus();
    ended_ = true;
    Port().SetTimerTrigger(slot_, statusTimer_, 0, false);
    Port().SetTimerTrigger(slot_, timeoutTimer_, 0, false);
    Port().SetStatusTrigger(slot_, outFreeTrigger_, 0, false);
    Port().SetStatusTrigger(slot_, outUsedTrigger_, 0, false);
    client_.Finished(info_.lastError);
}

void FaxEngine::CycleLines() {
    ComDispatcher& d = Port();
    d.FlushInBuffer(slot_);
    d.FlushOutBuffer(slot_);
    d.SetDTR(slot_, false);
    d.SetRTS(slot_, false);
    PauseMs(500);
    d.SetDTR(slot_, true);
    d.SetRTS(slot_, true);
    PauseMs(500);
}

void FaxEngine::DrainOutput(int limitMs) {
    for (int waited = 0; waited < limitMs && Port().OutBuffUsed(slot_) > 0; waited += 10) {
        PauseMs(10);
    }
    PauseMs(100);
}

void FaxEngine::HangUpAfterSend() {
    ComDispatcher& d = Port();
    const bool dcd = (d.GetModemStatus(slot_) & qpcomm::mslDCD) != 0;
    if (dcd || callUp_) {
        if (sendingPageData_) {
            // Page data still queued would hold the escape back behind it.
            d.FlushOutBuffer(slot_);
            sendingPageData_ = false;
        }
        PauseMs(kGuardMs);
        SendRaw("+++");
        PauseMs(kGuardMs);
        SendRaw("ATH\r");
        PauseMs(kGuardMs);
        d.FlushInBuffer(slot_);
        const bool stillDcd = (d.GetModemStatus(slot_) & qpcomm::mslDCD) != 0;
        if (stillDcd || (callUp_ && !dcd)) {
            CycleLines();
        }
    } else {
        SendRaw("ATH\r");
        PauseMs(kGuardMs);
        d.FlushInBuffer(slot_);
    }
    reader_.Clear();
    readAhead_.clear();
    callUp_ = false;
}

void FaxEngine::HangUpAfterReceive() {
    CycleLines();
    PauseMs(kGuardMs);
    SendRaw("+++");
    PauseMs(kGuardMs);
    SendRaw("ATH\r");
    PauseMs(kGuardMs);
    Port().FlushInBuffer(slot_);
    reader_.Clear();
    readAhead_.clear();
    callUp_ = false;
}

void FaxEngine::SetSoftwareFlow(int options) {
    ComDispatcher& d = Port();
    if (options == qpcomm::swfNone) {
        d.SWFlowDisable(slot_);
    } else {
        d.SWFlowOptions(slot_, 6144, 2048, options, 17, 19);
    }
}

void FaxEngine::SwitchSpeed(int baud) {
    if (baud <= 0) {
        return;
    }
    PauseMs(static_cast<int>(qpcomm::TicksToMilliseconds(kSpeedSwitchTicks)));
    Port().SetLine(slot_, baud, qpcomm::ParityUnchanged, qpcomm::DataBitsUnchanged,
                   qpcomm::StopBitsUnchanged);
}

void FaxEngine::SetClass(FaxClassInUse faxClass) {
    classInUse_ = faxClass;
    commands_ = FaxCommandTable(faxClass);
    Update([&](FaxProgress& p) { p.faxClass = faxClass; });
}

std::string FaxEngine::ResetCommand() const {
    return ModemCommander::ResetCommand(options_.blindDial, options_.detectBusy);
}

FaxClassInUse FaxEngine::DetectAndInitialise(bool& initOk, bool& detectionFailed) {
    ModemCommander commander(slot_, options_.responseWaitTicks, [this] { client_.PumpMessages(); });
    detectionFailed = false;
    TFaxClass wanted = options_.faxClass;
    if (wanted == fcDetect) {
        const FaxClassSet classes = commander.QueryClasses(true, ResetCommand());
        wanted = ModemCommander::BestClass(classes);
        if (wanted == fcUnknown) {
            detectionFailed = true;
            return ciNone;
        }
    }
    initOk = true;
    if (!options_.modemInit.empty()) {
        initOk = commander.Command(ModemCommander::InitCommand(options_.modemInit));
    }
    if (initOk) {
        initOk = commander.Command(ResetCommand());
    }
    switch (wanted) {
    case fcClass1:
        return ciClass1;
    case fcClass2:
        return ciClass2;
    case fcClass2_0:
        return ciClass2_0;
    default:
        return ciNone;
    }
}

} // namespace qpfax
