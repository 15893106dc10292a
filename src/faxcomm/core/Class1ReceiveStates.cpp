#include "faxcomm/core/Class1ReceiveStates.h"

#include <algorithm>

#include "faxcomm/core/ComDispatcher.h"
#include "faxcomm/core/FaxReceiveEngine.h"
#include "faxcomm/core/ModemCommander.h"
#include "faxcomm/core/PortConstants.h"

namespace qpfax {

namespace {

constexpr long kAnswerWaitTicks = 1092; // 60 s
constexpr long kFrameListenTicks = 54;  // 3 s
// How long the caller may take with its post-page message (T2); a caller whose first try
// is lost repeats it 3 s later, within this time.
constexpr long kPostPageWaitTicks = 109; // 6 s
constexpr int kTurnaroundMs = 200;
constexpr int kCapabilityTries = 3;
constexpr std::size_t kTrainingChunk = 1024;

} // namespace

Class1ReceiveStates::Class1ReceiveStates(FaxReceiveEngine& engine, Class1Rates::IndexSet localRates)
    : engine_(engine), link_(engine), local_(localRates) {}

FaxWait Class1ReceiveStates::WaitOf(int state) const {
    switch (state) {
    case 1:
    case 9:
    case 13:
    case 14:
    case 25:
    case 29:
        return FaxWait::Run;
    case 16:
    case 26:
        return FaxWait::Data;
    case 12:
    case 28:
    case 31:
        return link_.Reading() ? FaxWait::Data : FaxWait::LineOrTimer;
    case 10:
        return FaxWait::LineOrTimer;
    default:
        return FaxWait::Line;
    }
}

bool Class1ReceiveStates::UnexpectedAnswer(int, const std::string&) {
    // Every Class 1 state reads its own answers; the response wait ends a silent modem.
    return false;
}

void Class1ReceiveStates::Run(int state, const FaxEvent& event) {
    const std::string& line = event.line;
    switch (state) {
    case 1:
        Select();
        break;
    case 2:
        if (LineHas(line, "OK")) {
            engine_.StopTimeout();
            engine_.ReportStatus(fsWaitingForCall);
            engine_.Goto(8);
        } else {
            engine_.Fail(feInitFailed);
        }
        break;
    case 8:
        WaitForCall(line);
        break;
    case 9:
        Answer();
        break;
    case 10:
        Answered(event);
        break;
    case 11:
        SendCapabilities(line);
        break;
    case 12:
        CallerFrames(event);
        break;
    case 13:
        RetryCapabilities();
        break;
    case 14:
        engine_.SendCommand("AT+FTH=3");
        engine_.Goto(10);
        break;
    case 15:
        if (LineHas(line, "CONNECT")) {
            training_.Reset();
            engine_.Goto(16);
        } else if (LineHas(line, "ERROR")) {
            // The caller is still sending frames (a repeated DCS): read them.
            ListenAgain(kFrameListenTicks);
            engine_.Goto(12);
        }
        break;
    case 16:
        TrainingData(event);
        break;
    case 18:
        SendTrainingFailed(line);
        break;
    case 19:
        if (LineHas(line, "RRIER")) {
            engine_.SetSoftwareFlow(qpcomm::swfNone);
            PauseMs(20);
            engine_.SendCommand("AT+FTH=3");
            engine_.Goto(20);
        }
        break;
    case 20:
        SendConfirmation(line);
        break;
    case 21:
        if (LineHas(line, "CONNECT")) {
            engine_.ReportStatus(fsConnectionParams);
            engine_.Goto(25);
        } else if (LineHas(line, "ERROR")) {
            ListenAgain(kFrameListenTicks);
            engine_.Goto(12);
        }
        break;
    case 25:
        PageStart();
        break;
    case 26:
        PageData(event);
        break;
    case 27:
        if (LineHas(line, "RRIER")) {
            ListenAgain(kPostPageWaitTicks);
            engine_.Goto(28);
        }
        break;
    case 28:
        PostPageFrames(event);
        break;
    case 29:
        engine_.FinishPage();
        if (engine_.State() != 29) {
            break; // the page could not be written
        }
        engine_.SendCommand("AT+FTH=3");
        engine_.ReportStatus(fsGettingEndOfDocument);
        engine_.Goto(30);
        break;
    case 30:
        SendPageConfirmation(line);
        break;
    case 31:
        FinalFrames(event);
        break;
    case 32:
        if (LineHas(line, "OK")) {
            engine_.ReportStatus(fsGotHangup);
            engine_.Goto(FaxReceiveEngine::rsCallFinished);
        }
        break;
    default:
        engine_.Fail(feBadResponse);
        break;
    }
}

void Class1ReceiveStates::Select() {
    engine_.ResetCall();
    params_ = FaxParameters{};
    rate_ = Class1Rates::Rate(Class1Rates::Lowest);
    rings_ = 0;
    capabilityTries_ = 0;
    morePages_ = false;
    link_.NewMessage();
    engine_.SetSoftwareFlow(qpcomm::swfNone);
    qpcomm::ComDispatcher::Instance().SetDTR(engine_.Slot(), true);
    qpcomm::ComDispatcher::Instance().SetRTS(engine_.Slot(), true);
    engine_.SendCommand("AT+FCLASS=1");
    engine_.Goto(2);
}

void Class1ReceiveStates::WaitForCall(const std::string& line) {
    if (LineHas(line, "RING")) {
        if (++rings_ >= engine_.Options().answerOnRing) {
            engine_.Goto(9);
        }
    } else if (LineHas(line, "NO C")) {
        engine_.ReportStatus(fsNoConnect);
    } else if (LineHas(line, "CONNECT")) {
        engine_.Fail(feDataCall);
    } else if (LineHas(line, "VOICE")) {
        engine_.Fail(feVoice);
    }
}

void Class1ReceiveStates::Answer() {
    engine_.SendCommand("ATA", kAnswerWaitTicks);
    if (!engine_.Options().constantStatus) {
        engine_.SetFirstStatus(true);
    }
    engine_.ReportStatus(fsAnswering);
    engine_.Goto(10);
}

void Class1ReceiveStates::Answered(const FaxEvent& event) {
    if (event.kind == FaxEventKind::Timeout) {
        if (capabilityTries_ == 0) {
            engine_.Fail(feFatalTimeout);
        } else {
            engine_.Goto(13);
        }
        return;
    }
    if (LineHas(event.line, "CONNECT")) {
        if (capabilityTries_ == 0) {
            engine_.ReportStatus(fsCallValidated);
        }
        link_.Send(Class1Frames::StationId(Class1Frames::fcfCsi, engine_.Options().stationId));
        engine_.Goto(11);
    } else if (LineHas(event.line, "RRIER")) {
        engine_.Fail(feNoConnect);
    }
}

void Class1ReceiveStates::SendCapabilities(const std::string& line) {
    if (LineHas(line, "CONNECT")) {
        link_.Send(Class1Frames::Dis(Class1Rates::HighestOf(local_)));
    } else if (LineHas(line, "OK")) {
        PauseMs(kTurnaroundMs);
        PauseMs(kTurnaroundMs);
        ListenAgain(kFrameListenTicks);
        engine_.Goto(12);
    } else if (LineHas(line, "RRIER")) {
        engine_.Fail(feNoConnect);
    }
}

void Class1ReceiveStates::ListenAgain(long ticks) {
    link_.NewMessage();
    ListenForNextFrame(ticks);
}

void Class1ReceiveStates::ListenForNextFrame(long ticks) {
    listenDeadline_ = std::chrono::steady_clock::now() +
                      std::chrono::milliseconds(qpcomm::TicksToMilliseconds(ticks));
    link_.Listen();
    engine_.ArmTimeout(ticks);
}

bool Class1ReceiveStates::ListenWithinDeadline() {
    // Each listen command restarts the response wait, so a modem that keeps answering
    // ERROR or NO CARRIER on a dead line would otherwise be asked again forever.
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        listenDeadline_ - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
        return false;
    }
    link_.Listen();
    engine_.ArmTimeout(std::max(1L, static_cast<long>(left.count()) / qpcomm::TickMilliseconds));
    return true;
}

void Class1ReceiveStates::CallerFrames(const FaxEvent& event) {
    if (event.kind == FaxEventKind::Timeout) {
        engine_.Goto(13);
        return;
    }
    if (link_.Reading()) {
        ReadFrameData();
        return;
    }
    const std::string& line = event.line;
    if (LineHas(line, "CONNECT")) {
        engine_.ArmTimeout(engine_.Options().responseWaitTicks);
        link_.StartReading();
        ReadFrameData();
    } else if (LineHas(line, "OK")) {
        if (!link_.FinalSeen()) {
            ListenForNextFrame(kFrameListenTicks);
            return;
        }
        if (rate_.index == 0 || !Class1Frames::Is(link_.LastFcf(), Class1Frames::fcfDcs)) {
            ListenAgain(kFrameListenTicks); // not the DCS that ends the caller's message
            return;
        }
        if (engine_.Options().softwareFlow) {
            qpcomm::ComDispatcher::Instance().SWFlowOptions(engine_.Slot(), 6144, 2048,
                                                            qpcomm::swfReceive, 17, 19);
        }
        SendTrainingCommand();
        engine_.Goto(15);
    } else if (LineHas(line, "ERROR") || LineHas(line, "RRIER")) {
        if (!ListenWithinDeadline()) {
            engine_.Goto(13);
        }
    }
}

void Class1ReceiveStates::RetryCapabilities() {
    if (++capabilityTries_ > kCapabilityTries) {
        engine_.Fail(feFatalTimeout);
        return;
    }
    // A byte stops the modem's listening; the carriage returns finish the command.
    engine_.SendCommand("AT\r");
    engine_.Goto(14);
}

bool Class1ReceiveStates::ReadFrameData() {
    if (!link_.ReadFrame() || link_.Frame().empty()) {
        return false;
    }
    ActOnFrame();
    return true;
}

void Class1ReceiveStates::ActOnFrame() {
    const std::uint8_t fcf = link_.Fcf();
    if (Class1Frames::IsStationId(fcf)) {
        const std::string id = Class1Frames::StationIdOf(link_.Frame());
        engine_.Update([&](FaxProgress& p) { p.remoteId = id; });
        engine_.ReportStatus(fsGotRemoteId);
    } else if (Class1Frames::Is(fcf, Class1Frames::fcfDcs)) {
        const std::uint8_t byteA = Class1Frames::FifByte(link_.Frame(), 1);
        const std::uint8_t byteB = Class1Frames::FifByte(link_.Frame(), 2);
        rate_ = Class1Rates::FromDcs(byteA);
        params_.bitRate = rate_.bitsPerSecond;
        params_.highResolution = (byteA & 0x40) != 0;
        params_.wide = (byteB & 0x03) != 0;
        params_.errorCorrection = false;
        params_.scanTimeCode = Class1Frames::ScanTimeCode(byteB);
        engine_.Update([&](FaxProgress& p) {
            p.bitRate = params_.bitRate;
            p.highResolution = params_.highResolution;
            p.wide = params_.wide;
            p.errorCorrection = false;
        });
        engine_.ReportStatus(fsConnectionParams);
    } else if (Class1Frames::Is(fcf, Class1Frames::fcfDcn) && engine_.State() != 31) {
        engine_.Fail(feCancelRequested);
    }
}

void Class1ReceiveStates::SendTrainingCommand() {
    engine_.SendCommandAtOnce("AT+FRM=" + rate_.code);
}

void Class1ReceiveStates::SendPageCommand() {
    engine_.SendCommandAtOnce("AT+FRM=" + Class1Rates::PageCode(rate_.code));
}

void Class1ReceiveStates::TrainingData(const FaxEvent& event) {
    if (event.kind == FaxEventKind::Timeout) {
        engine_.Fail(feFatalTimeout);
        return;
    }
    std::uint8_t chunk[kTrainingChunk];
    while (!training_.Ended()) {
        const long got = engine_.ReadBlock(chunk, sizeof chunk);
        if (got <= 0) {
            return;
        }
        const std::size_t used = training_.Feed(chunk, static_cast<std::size_t>(got));
        if (used < static_cast<std::size_t>(got)) {
            engine_.PushBack(chunk + used, static_cast<std::size_t>(got) - used);
        }
    }
    if (training_.Good()) {
        engine_.Goto(19);
    } else {
        engine_.SendCommand("AT+FTH=3");
        engine_.Goto(18);
    }
}

void Class1ReceiveStates::SendTrainingFailed(const std::string& line) {
    if (LineHas(line, "CONNECT")) {
        if (rate_.code == "24") {
            engine_.Fail(feTrainFailed);
            return;
        }
        link_.Send(Class1Frames::Simple(Class1Frames::fcfFtt));
    } else if (LineHas(line, "OK")) {
        ListenAgain(kFrameListenTicks);
        engine_.Goto(12);
    }
}

void Class1ReceiveStates::SendConfirmation(const std::string& line) {
    if (LineHas(line, "CONNECT")) {
        link_.Send(Class1Frames::Simple(Class1Frames::fcfCfr));
    } else if (LineHas(line, "OK")) {
        SendPageCommand();
        engine_.Goto(21);
        if (!engine_.CallAccepted()) {
            engine_.AcceptCall(engine_.Info().remoteId);
        }
    }
}

void Class1ReceiveStates::PageStart() {
    const int result = engine_.StartPage(params_);
    if (result < 0) {
        engine_.Fail(result);
        return;
    }
    if (result > 0) {
        return; // refused
    }
    engine_.ReportStatus(fsGettingPage);
    engine_.ArmTimeout(engine_.Options().responseWaitTicks);
    engine_.Goto(26);
}

void Class1ReceiveStates::PageData(const FaxEvent& event) {
    if (event.kind == FaxEventKind::Timeout) {
        engine_.Fail(feFatalTimeout);
        return;
    }
    bool ended = false;
    if (const int result = engine_.TakePageData(ended); result < 0) {
        engine_.Fail(result);
        return;
    }
    engine_.ArmTimeout(engine_.Options().responseWaitTicks);
    if (ended) {
        engine_.SetSoftwareFlow(qpcomm::swfNone);
        engine_.Goto(27);
    }
}

void Class1ReceiveStates::PostPageFrames(const FaxEvent& event) {
    if (event.kind == FaxEventKind::Timeout) {
        engine_.Fail(feFatalTimeout); // no post-page message: the caller has gone
        return;
    }
    if (link_.Reading()) {
        ReadFrameData();
        return;
    }
    const std::string& line = event.line;
    if (LineHas(line, "CONNECT")) {
        link_.StartReading();
        ReadFrameData();
    } else if (LineHas(line, "OK")) {
        if (!link_.FinalSeen()) {
            ListenForNextFrame(kPostPageWaitTicks);
            return;
        }
        morePages_ = Class1Frames::Is(link_.LastFcf(), Class1Frames::fcfMps);
        engine_.ReportStatus(fsGettingEndOfPage);
        engine_.Goto(29);
    } else if (LineHas(line, "ERROR") || LineHas(line, "RRIER")) {
        if (!ListenWithinDeadline()) {
            engine_.Fail(feFatalTimeout);
        }
    }
}

void Class1ReceiveStates::SendPageConfirmation(const std::string& line) {
    if (LineHas(line, "CONNECT")) {
        link_.Send(Class1Frames::Simple(Class1Frames::fcfMcf));
    } else if (LineHas(line, "OK")) {
        if (morePages_) {
            engine_.SetPostPageResult('0');
            SendPageCommand();
            engine_.Goto(21);
            return;
        }
        PauseMs(kTurnaroundMs);
        ListenAgain(engine_.Options().responseWaitTicks);
        engine_.EndDocument();
        engine_.ReportStatus(fsGettingHangup);
        engine_.Goto(31);
    }
}

void Class1ReceiveStates::FinalFrames(const FaxEvent& event) {
    if (event.kind == FaxEventKind::Timeout) {
        // The pages are in; a caller that never says goodbye is hung up on.
        engine_.HangUpAfterReceive();
        engine_.HungUp();
        engine_.Goto(FaxReceiveEngine::rsCallFinished);
        return;
    }
    if (link_.Reading()) {
        ReadFrameData();
        return;
    }
    const std::string& line = event.line;
    if (LineHas(line, "CONNECT")) {
        link_.StartReading();
        ReadFrameData();
    } else if (LineHas(line, "OK")) {
        if (!link_.FinalSeen()) {
            link_.Listen();
            return;
        }
        engine_.SendCommand("ATH");
        engine_.Goto(32);
    } else if (LineHas(line, "ERROR") || LineHas(line, "RRIER")) {
        engine_.SendCommand("ATH");
        engine_.Goto(32);
    }
}

} // namespace qpfax
