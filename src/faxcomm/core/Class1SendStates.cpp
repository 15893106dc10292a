#include "faxcomm/core/Class1SendStates.h"

#include <algorithm>

#include "faxcomm/core/ComDispatcher.h"
#include "faxcomm/core/DleCodec.h"
#include "faxcomm/core/FaxSendEngine.h"
#include "faxcomm/core/ModemCommander.h"

namespace qpfax {

namespace {

constexpr long kBlockSpace = 4096;
constexpr long kPageTransferTicks = 546;  // 30 s
constexpr long kPostPageListenTicks = 54; // 3 s
constexpr long kHangupTicks = 26;
constexpr int kTurnaroundMs = 200;
constexpr int kPostPagePauseMs = 500;
constexpr int kPostPageTries = 4;

} // namespace

Class1SendStates::Class1SendStates(FaxSendEngine& engine, Class1Rates::IndexSet localRates)
    : engine_(engine), link_(engine), local_(localRates) {}

FaxWait Class1SendStates::WaitOf(int state) const {
    switch (state) {
    case 11:
    case 17:
    case 19:
        return link_.Reading() ? FaxWait::Data : FaxWait::Line;
    case 34:
        return link_.Reading() ? FaxWait::Data : FaxWait::LineOrTimer;
    case 37:
        return FaxWait::LineOrTimer;
    case 3:
    case 12:
    case 13:
    case 14:
    case 15:
    case 16:
    case 18:
    case 29:
    case 31:
    case 32:
    case 35:
    case 36:
        return FaxWait::Line;
    case 22:
    case 25:
    case 27:
    case 28:
        return FaxWait::Output;
    default:
        return FaxWait::Run;
    }
}

bool Class1SendStates::UnexpectedAnswer(int state, const std::string& line) {
    const bool listening = state == 11 || state == 17 || state == 19 || state == 34;
    // After a listen stopped with a blank the modem may still answer ERROR (state 31).
    if (LineHas(line, "ERROR") && !listening && state != 31) {
        engine_.Fail(feBadResponse);
        return true;
    }
    // The line went dead under a command of the call.
    if (LineHas(line, "RRIER") && !listening && state >= 12 && state <= 35) {
        engine_.Fail(feMidSession);
        return true;
    }
    return false;
}

void Class1SendStates::Run(int state, const FaxEvent& event) {
    const std::string& line = event.line;
    switch (state) {
    case 2:
        engine_.ReportStatus(fsInitializing);
        params_ = FaxParameters{};
        rateIndex_ = 0;
        remote_ = 0;
        engine_.SendCommand("AT+FCLASS=1");
        engine_.Goto(3);
        break;
    case 3:
        if (LineHas(line, "OK")) {
            link_.NewMessage();
            engine_.Goto(FaxSendEngine::ssDial);
        } else {
            engine_.Fail(feInitFailed);
        }
        break;
    case 11:
    case 19:
        DialAnswer(line);
        break;
    case 12:
        if (LineHas(line, "CONNECT")) {
            link_.Send(Class1Frames::StationId(Class1Frames::fcfTsi, engine_.Options().stationId));
            engine_.Goto(13);
        }
        break;
    case 13:
        if (LineHas(line, "CONNECT")) {
            link_.Send(Class1Frames::Dcs(rateIndex_, engine_.PageIsFine(), engine_.PageIsWide(),
                                         params_.scanTimeCode));
            engine_.Goto(14);
        }
        break;
    case 14:
        if (LineHas(line, "OK")) {
            SendTrainingCommand();
            engine_.Goto(15);
        }
        break;
    case 15:
        if (LineHas(line, "CONNECT")) {
            SendTrainingCheck();
            engine_.Goto(16);
        }
        break;
    case 16:
        if (LineHas(line, "OK")) {
            engine_.SetSoftwareFlow(qpcomm::swfNone);
            PauseMs(kTurnaroundMs);
            link_.NewMessage();
            link_.Listen();
            trained_ = false;
            engine_.Goto(17);
        }
        break;
    case 17:
        AfterTraining(line);
        break;
    case 18:
        if (LineHas(line, "CONNECT")) {
            engine_.ArmTimeout(kPageTransferTicks);
            EnterOutputWait(22);
        }
        break;
    case 22:
        StartPageData();
        break;
    case 23:
        engine_.SendPageTop(params_);
        engine_.Goto(engine_.SendingCover() ? 24 : 26);
        break;
    case 24:
        StartCover();
        break;
    case 25:
        TextCover();
        break;
    case 26:
        engine_.RewindPage();
        EnterOutputWait(27);
        break;
    case 27:
        SendBlocks();
        break;
    case 28:
        EndPageData();
        break;
    case 29:
        if (LineHas(line, "OK")) {
            postPageTries_ = 0;
            engine_.ReportStatus(fsSendingEop);
            engine_.Goto(30);
        }
        break;
    case 30:
        if (++postPageTries_ >= kPostPageTries) {
            engine_.Fail(feFatalTimeout);
            break;
        }
        PauseMs(kPostPagePauseMs);
        engine_.SendCommand("AT+FTH=3");
        engine_.Goto(31);
        break;
    case 31:
        if (LineHas(line, "CONNECT")) {
            SendPostPageMessage();
            engine_.Goto(32);
        }
        break;
    case 32:
        if (LineHas(line, "OK")) {
            PauseMs(kTurnaroundMs);
            link_.NewMessage();
            link_.Listen();
            frameComing_ = false;
            engine_.ArmTimeout(kPostPageListenTicks);
            engine_.Goto(34);
        }
        break;
    case 34:
        PostPageAnswer(event);
        break;
    case 35:
        if (LineHas(line, "CONNECT")) {
            link_.Send(Class1Frames::Simple(Class1Frames::fcfDcn));
            engine_.Goto(36);
        }
        break;
    case 36:
        if (LineHas(line, "OK")) {
            engine_.SendCommand("ATH");
            engine_.ArmTimeout(kHangupTicks);
            engine_.Goto(37);
        }
        break;
    case 37:
        if (event.kind == FaxEventKind::Timeout) {
            engine_.HangUpAfterSend();
            engine_.Goto(FaxSendEngine::ssFinished);
        } else if (LineHas(line, "OK")) {
            engine_.Goto(FaxSendEngine::ssFinished);
        }
        break;
    default:
        engine_.Fail(feBadResponse);
        break;
    }
}

void Class1SendStates::DialAnswer(const std::string& line) {
    engine_.Goto(11);
    if (link_.Reading()) {
        ReadFrameData();
        return;
    }
    if (LineHas(line, "CONNECT")) {
        engine_.ArmTimeout(engine_.Options().responseWaitTicks);
        link_.StartReading();
        ReadFrameData();
    } else if (LineHas(line, "OK")) {
        if (link_.FinalSeen()) {
            if (rateIndex_ == 0) {
                engine_.Fail(feBadResponse); // the called station sent no DIS
                return;
            }
            PauseMs(kTurnaroundMs);
            engine_.SendCommand("AT+FTH=3");
            engine_.Goto(12);
        } else {
            link_.Listen();
        }
    } else if (LineHas(line, "ERROR")) {
        link_.Listen(); // a damaged frame: the station repeats its message
    } else if (LineHas(line, "BUSY") || LineHas(line, "ANSWER")) {
        engine_.BusyAttempt();
    } else if (LineHas(line, "VOICE")) {
        engine_.Fail(feVoice);
    } else if (LineHas(line, "NO DIAL")) {
        engine_.Fail(feNoDialTone);
    } else if (LineHas(line, "RRIER")) {
        engine_.Fail(feNoConnect);
    }
}

void Class1SendStates::ReadFrameData() {
    if (!link_.ReadFrame()) {
        return;
    }
    if (!link_.Frame().empty()) {
        ActOnFrame();
    }
}

void Class1SendStates::ActOnFrame() {
    const std::uint8_t fcf = link_.Fcf();
    if (Class1Frames::IsStationId(fcf)) {
        const std::string id = Class1Frames::StationIdOf(link_.Frame());
        engine_.Update([&](FaxProgress& p) { p.remoteId = id; });
        engine_.ReportStatus(fsGotRemoteId);
    } else if (Class1Frames::Is(fcf, Class1Frames::fcfDis)) {
        TakeDis();
    } else if (Class1Frames::Is(fcf, Class1Frames::fcfCfr)) {
        trained_ = true;
    } else if (Class1Frames::Is(fcf, Class1Frames::fcfFtt)) {
        StepDown(false);
    } else if (Class1Frames::Is(fcf, Class1Frames::fcfRtn)) {
        engine_.ReportStatus(fsPageError);
        StepDown(true);
    } else if (Class1Frames::Is(fcf, Class1Frames::fcfDcn)) {
        engine_.Fail(feCancelRequested);
    }
}

void Class1SendStates::TakeDis() {
    const std::uint8_t byteA = Class1Frames::FifByte(link_.Frame(), 1);
    const std::uint8_t byteB = Class1Frames::FifByte(link_.Frame(), 2);
    const bool takesFine = (byteA & 0x40) != 0;
    const std::uint8_t widths = byteB & 0x03;
    const bool takesWide = widths == 1 || widths == 2;
    if ((engine_.PageIsFine() && !takesFine) || (engine_.PageIsWide() && !takesWide)) {
        engine_.Fail(feIncompatible);
        return;
    }
    remote_ = Class1Rates::RemoteCapability(byteA);
    params_.scanTimeCode = Class1Frames::ScanTimeCode(byteB);
    SetRate(Class1Rates::Choose(local_, remote_, engine_.Options().desiredBps));
    engine_.ReportStatus(fsConnectionParams);
}

void Class1SendStates::SetRate(int index) {
    rateIndex_ = index;
    params_.bitRate = Class1Rates::Rate(index).bitsPerSecond;
    params_.highResolution = engine_.PageIsFine();
    params_.wide = engine_.PageIsWide();
    engine_.Update([&](FaxProgress& p) {
        p.bitRate = params_.bitRate;
        p.highResolution = params_.highResolution;
        p.wide = params_.wide;
        p.errorCorrection = false;
    });
}

void Class1SendStates::StepDown(bool rejectedPage) {
    const int lower = Class1Rates::StepDown(rateIndex_, local_ & remote_);
    if (lower == 0) {
        engine_.Fail(feTrainFailed);
        return;
    }
    SetRate(lower);
    if (rejectedPage) {
        // The rejected page goes again from its start after the new training.
        engine_.RewindPage();
    }
}

void Class1SendStates::SendTrainingCommand() {
    engine_.SendCommand("AT+FTM=" + Class1Rates::Rate(rateIndex_).code);
}

void Class1SendStates::SendPageCommand() {
    engine_.SendCommand("AT+FTM=" + Class1Rates::PageCode(Class1Rates::Rate(rateIndex_).code));
}

void Class1SendStates::SendTrainingCheck() {
    if (engine_.Options().softwareFlow) {
        engine_.SetSoftwareFlow(qpcomm::swfTransmit);
    }
    std::vector<std::uint8_t> zeros(TrainingCheck::SendLength(params_.bitRate), 0);
    zeros.push_back(DLE);
    zeros.push_back(ETX);
    engine_.SendRaw(zeros.data(), zeros.size());
    // The check takes 1.5 s on the line before the modem says OK.
    engine_.ArmTimeout(engine_.Options().responseWaitTicks + 36);
}

void Class1SendStates::AfterTraining(const std::string& line) {
    if (link_.Reading()) {
        ReadFrameData();
        return;
    }
    if (LineHas(line, "CONNECT")) {
        link_.StartReading();
        ReadFrameData();
    } else if (LineHas(line, "OK")) {
        if (!link_.FinalSeen()) {
            link_.Listen();
            return;
        }
        PauseMs(kTurnaroundMs);
        if (trained_) {
            SendPageCommand();
            engine_.Goto(18);
        } else {
            engine_.SendCommand("AT+FTH=3");
            engine_.Goto(13);
        }
    } else if (LineHas(line, "ERROR")) {
        link_.Listen();
    } else if (LineHas(line, "RRIER")) {
        engine_.Fail(feMidSession);
    }
}

void Class1SendStates::EnterOutputWait(int state) {
    engine_.Goto(state);
    if (state == 27) {
        const long threshold =
            std::max<long>(kBlockSpace, engine_.OutputFree() + engine_.OutputUsed() -
                                            static_cast<long>(engine_.Options().bufferMinimum));
        engine_.ArmOutputFree(threshold);
    } else {
        engine_.ArmOutputFree(kBlockSpace);
    }
}

void Class1SendStates::StartPageData() {
    engine_.ReportStatus(fsSendingPage);
    if (engine_.Options().softwareFlow) {
        engine_.SetSoftwareFlow(qpcomm::swfTransmit);
    }
    engine_.Goto(23);
}

void Class1SendStates::StartCover() {
    if (engine_.CoverIsApf()) {
        engine_.Goto(26);
        return;
    }
    if (const int result = engine_.OpenTextCover(); result < 0) {
        engine_.Fail(result);
        return;
    }
    EnterOutputWait(25);
}

void Class1SendStates::TextCover() {
    if (engine_.SendTextCoverLines(params_)) {
        engine_.ArmOutputUsed(0);
        engine_.Goto(28);
        return;
    }
    EnterOutputWait(25);
}

void Class1SendStates::SendBlocks() {
    const bool done = engine_.SendPageBlocks(params_);
    if (engine_.State() != 27) {
        return; // failed
    }
    engine_.ArmTimeout(kPageTransferTicks);
    if (done) {
        engine_.ArmOutputUsed(0);
        engine_.Goto(28);
    } else {
        EnterOutputWait(27);
    }
}

void Class1SendStates::EndPageData() {
    engine_.SetSoftwareFlow(qpcomm::swfNone);
    const std::uint8_t end[] = {DLE, ETX};
    engine_.SendRaw(end, sizeof end);
    engine_.ArmTimeout(kPageTransferTicks);
    engine_.Goto(29);
}

void Class1SendStates::SendPostPageMessage() {
    const bool more = engine_.MorePagesFollow();
    link_.Send(Class1Frames::Simple(more ? Class1Frames::fcfMps : Class1Frames::fcfEop));
}

void Class1SendStates::PostPageAnswer(const FaxEvent& event) {
    if (event.kind == FaxEventKind::Timeout) {
        // Nothing heard: stop the modem listening and send the message again.
        engine_.SendRaw(" ");
        link_.NewMessage();
        engine_.Goto(30);
        return;
    }
    if (link_.Reading()) {
        ReadFrameData();
        return;
    }
    const std::string& line = event.line;
    if (LineHas(line, "CONNECT")) {
        frameComing_ = true;
        engine_.ArmTimeout(engine_.Options().responseWaitTicks);
        link_.StartReading();
        ReadFrameData();
    } else if (LineHas(line, "ERROR")) {
        engine_.Goto(30);
    } else if (LineHas(line, "OK")) {
        if (!link_.FinalSeen()) {
            link_.Listen();
            engine_.ArmTimeout(kPostPageListenTicks);
            return;
        }
        const std::uint8_t fcf = link_.LastFcf();
        if (Class1Frames::Is(fcf, Class1Frames::fcfMcf) ||
            Class1Frames::Is(fcf, Class1Frames::fcfRtp)) {
            engine_.ReportStatus(fsPageAccepted);
            NextPageAfter(Class1Frames::Is(fcf, Class1Frames::fcfRtp));
        } else if (Class1Frames::Is(fcf, Class1Frames::fcfRtn)) {
            PauseMs(kTurnaroundMs);
            engine_.SendCommand("AT+FTH=3");
            engine_.Goto(13);
        } else {
            engine_.Goto(30);
        }
    } else if (LineHas(line, "RRIER")) {
        engine_.Goto(30);
    }
}

void Class1SendStates::NextPageAfter(bool retrain) {
    if (!engine_.MorePagesFollow()) {
        engine_.SendCommand("AT+FTH=3");
        engine_.Goto(35);
        return;
    }
    if (!engine_.AdvancePage()) {
        return; // failed
    }
    if (retrain) {
        engine_.SendCommand("AT+FTH=3");
        engine_.Goto(13);
    } else {
        SendPageCommand();
        engine_.Goto(18);
    }
}

} // namespace qpfax
