#include "faxcomm/core/Class2SendStates.h"

#include <cstdlib>

#include "faxcomm/core/DleCodec.h"
#include "faxcomm/core/FaxSendEngine.h"
#include "faxcomm/core/ModemReply.h"

namespace qpfax {

namespace {

constexpr long kBlockSpace = 4096;
constexpr long kPageTransferTicks = 546; // 30 s
constexpr long kXonWaitTicks = 18;       // 1 s

} // namespace

bool Class2SendStates::Class20() const {
    return engine_.ClassInUse() == ciClass2_0;
}

FaxWait Class2SendStates::WaitOf(int state) const {
    switch (state) {
    case 4:
    case 5:
    case 6:
    case 7:
    case 8:
    case 19:
    case 20:
    case 39:
    case 40:
    case 41:
    case 43:
        return FaxWait::Line;
    case 21:
        return FaxWait::Data;
    case 22:
    case 25:
    case 27:
    case 28:
        return FaxWait::Output;
    default:
        return FaxWait::Run;
    }
}

bool Class2SendStates::UnexpectedAnswer(int state, const std::string& line) {
    const FaxCommandTable& t = engine_.Commands();
    if (t.Has(line, FaxCommandTable::HangupReport)) {
        // A hang-up report before the dial belongs to the call before.
        if (state >= 4 && state <= 8) {
            return true;
        }
        if (state != 40 && state != 43) {
            StoreHangupCode(line);
            engine_.Fail(feBadResponse);
            return true;
        }
        return false;
    }
    // A Class 2.0 modem answers a rejected page with ERROR (state 43 handles it).
    if (Has(line, "ERROR") && state != 43) {
        engine_.Fail(feBadResponse);
        return true;
    }
    return false;
}

void Class2SendStates::StoreHangupCode(const std::string& line) {
    const int code = HangupCodeOf(engine_.Commands(), line, Class20());
    engine_.Update([&](FaxProgress& p) { p.hangupCode = code; });
}

void Class2SendStates::Run(int state, const FaxEvent& event) {
    const std::string& line = event.line;
    switch (state) {
    case 2:
        SelectClass();
        break;
    case 4:
        AfterSelect(line);
        break;
    case 5:
    case 6:
    case 7:
        SessionParameters(line);
        break;
    case 8:
        if (Has(line, "OK")) {
            engine_.Goto(FaxSendEngine::ssDial);
        } else {
            engine_.Fail(feInitFailed);
        }
        break;
    case 19:
        DialAnswer(line);
        break;
    case 20:
        Negotiation(line);
        break;
    case 21:
        WaitForXon(event);
        break;
    case 22:
        StartPageData();
        break;
    case 23:
        PageTop();
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
    case 38:
        engine_.ArmTimeout(engine_.Options().responseWaitTicks);
        engine_.ReportStatus(fsSendingEop);
        engine_.Goto(Class20() ? 43 : 39);
        break;
    case 39:
        PostPageOk(line);
        break;
    case 40:
        PageStatus(line);
        break;
    case 41:
        Retransmit(line);
        break;
    case 42:
        NextPage();
        break;
    case 43:
        Class20PageResult(line);
        break;
    default:
        engine_.Fail(feBadResponse);
        break;
    }
}

void Class2SendStates::SelectClass() {
    params_ = FaxParameters{};
    engine_.ReportStatus(fsInitializing);
    engine_.SendCommand(engine_.Commands().Text(FaxCommandTable::SelectClass));
    engine_.Goto(4);
}

void Class2SendStates::AfterSelect(const std::string& line) {
    if (!Has(line, "OK")) {
        engine_.Fail(feInitFailed);
        return;
    }
    engine_.SendCommand(engine_.Commands().Text(FaxCommandTable::LocalId) + "=\"" +
                        engine_.Options().stationId + "\"");
    engine_.Goto(Class20() ? 5 : 7);
}

void Class2SendStates::SessionParameters(const std::string& line) {
    if (!Has(line, "OK")) {
        engine_.Fail(feInitFailed);
        return;
    }
    switch (engine_.State()) {
    case 5:
        engine_.SendCommand("AT+FLO=2");
        engine_.Goto(6);
        break;
    case 6:
        engine_.SendCommand("AT+FNR=1,1,1,0");
        engine_.Goto(7);
        break;
    default: {
        const FaxEngineOptions& o = engine_.Options();
        std::string command = engine_.Commands().Text(FaxCommandTable::SessionParameters) + "=";
        command += engine_.PageIsFine() ? '1' : '0';
        command += ',';
        command += BitRateCode(o.desiredBps);
        command += ',';
        command += engine_.PageIsWide() ? '1' : '0';
        command += ",2,0,";
        command += o.desiredEcm ? '1' : '0';
        command += ",0,0";
        engine_.SendCommand(command);
        engine_.Goto(8);
        break;
    }
    }
}

void Class2SendStates::DialAnswer(const std::string& line) {
    if (engine_.Commands().Has(line, FaxCommandTable::ConnectReport)) {
        engine_.SetCallUp(true);
        engine_.ArmTimeout(engine_.Options().responseWaitTicks);
        engine_.Goto(20);
    } else if (Has(line, "BUSY") || Has(line, "ANSWER")) {
        engine_.BusyAttempt();
    } else if (Has(line, "VOICE")) {
        engine_.Fail(feVoice);
    } else if (Has(line, "NO DIAL")) {
        engine_.Fail(feNoDialTone);
    } else if (Has(line, "RRIER")) {
        engine_.Fail(feNoConnect);
    }
}

void Class2SendStates::Negotiation(const std::string& line) {
    const FaxCommandTable& t = engine_.Commands();
    if (t.Has(line, FaxCommandTable::RemoteCapabilitiesReport)) {
        const FaxParameters remote =
            FaxParameters::Parse(t.After(line, FaxCommandTable::RemoteCapabilitiesReport));
        if ((engine_.PageIsWide() && !remote.wide) ||
            (engine_.PageIsFine() && !remote.highResolution)) {
            engine_.Fail(feIncompatible);
            return;
        }
        engine_.ReportStatus(fsConnectionParams);
    } else if (t.Has(line, FaxCommandTable::CalledStationReport)) {
        const std::string id = ParseStationId(t.After(line, FaxCommandTable::CalledStationReport));
        engine_.Update([&](FaxProgress& p) { p.remoteId = id; });
        engine_.ReportStatus(fsGotRemoteId);
    } else if (t.Has(line, FaxCommandTable::NegotiatedReport)) {
        params_ = FaxParameters::Parse(t.After(line, FaxCommandTable::NegotiatedReport));
        engine_.Update([&](FaxProgress& p) {
            p.bitRate = params_.bitRate;
            p.highResolution = params_.highResolution;
            p.wide = params_.wide;
            p.errorCorrection = params_.errorCorrection;
        });
        engine_.ReportStatus(fsConnectionParams);
    } else if (Has(line, "CONNECT")) {
        if (Class20()) {
            EnterOutputWait(22);
        } else {
            engine_.ArmTimeout(kXonWaitTicks);
            engine_.Goto(21);
        }
    } else if (Has(line, "OK")) {
        engine_.SendCommand("AT+FDT", kPageTransferTicks);
    }
}

void Class2SendStates::WaitForXon(const FaxEvent& event) {
    if (event.kind != FaxEventKind::Timeout) {
        std::uint8_t buffer[256];
        bool xon = false;
        while (!xon && engine_.DataWaiting()) {
            const long got = engine_.ReadBlock(buffer, sizeof buffer);
            for (long i = 0; i < got; ++i) {
                xon = xon || buffer[i] == XON;
            }
        }
        if (!xon) {
            return;
        }
    }
    engine_.ArmTimeout(kPageTransferTicks);
    EnterOutputWait(22);
}

void Class2SendStates::EnterOutputWait(int state) {
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

void Class2SendStates::StartPageData() {
    engine_.SetSendingPageData(true);
    engine_.ReportStatus(fsSendingPage);
    if (engine_.Options().softwareFlow) {
        engine_.SetSoftwareFlow(qpcomm::swfTransmit);
    }
    engine_.Goto(23);
}

void Class2SendStates::PageTop() {
    engine_.SendPageTop(params_);
    engine_.Goto(engine_.SendingCover() ? 24 : 26);
}

void Class2SendStates::StartCover() {
    if (engine_.CoverIsApf()) {
        engine_.Goto(26);
        return;
    }
    if (const int result = engine_.OpenTextCover(); result < 0) {
        engine_.Fail(result);
        return;
    }
    engine_.ReportStatus(fsSendingPage);
    EnterOutputWait(25);
}

void Class2SendStates::TextCover() {
    if (engine_.SendTextCoverLines(params_)) {
        engine_.ArmOutputUsed(0);
        engine_.Goto(28);
        return;
    }
    EnterOutputWait(25);
}

void Class2SendStates::SendBlocks() {
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

void Class2SendStates::EndPageData() {
    engine_.SetSendingPageData(false);
    engine_.SetSoftwareFlow(qpcomm::swfNone);
    if (Class20()) {
        const std::uint8_t end[] = {
            DLE, static_cast<std::uint8_t>(engine_.MorePagesFollow() ? ',' : '.')};
        engine_.SendRaw(end, sizeof end);
    } else {
        const std::uint8_t end[] = {DLE, ETX};
        engine_.SendRaw(end, sizeof end);
    }
    engine_.ReportStatus(fsSendingPage);
    engine_.Goto(38);
}

void Class2SendStates::PostPageOk(const std::string& line) {
    if (!Has(line, "OK")) {
        engine_.Fail(feMidSession);
        return;
    }
    engine_.SendCommand(engine_.MorePagesFollow() ? "AT+FET=0" : "AT+FET=2");
    engine_.Goto(40);
}

void Class2SendStates::PageStatus(const std::string& line) {
    const FaxCommandTable& t = engine_.Commands();
    if (t.Has(line, FaxCommandTable::HangupReport)) {
        StoreHangupCode(line);
    } else if (t.Has(line, FaxCommandTable::PageStatusReport)) {
        switch (ReportValue(t.After(line, FaxCommandTable::PageStatusReport))) {
        case '1':
        case '3':
            engine_.ReportStatus(fsPageAccepted);
            break;
        case '2':
            engine_.ReportStatus(fsPageError);
            engine_.Goto(41);
            break;
        case '4':
        case '5':
            engine_.Fail(feCancelRequested);
            break;
        default:
            engine_.Fail(fePageEnd);
            break;
        }
    } else if (Has(line, "OK")) {
        engine_.Goto(42);
    } else {
        engine_.Fail(fePageEnd);
    }
}

void Class2SendStates::Retransmit(const std::string& line) {
    if (!Has(line, "OK")) {
        return;
    }
    if (++engine_.Retransmissions() > 2) {
        engine_.SendCommand("AT+FKS");
        engine_.DrainOutput(1000);
        engine_.Fail(feMidSession);
        return;
    }
    engine_.SendCommand("AT+FDT", kPageTransferTicks);
    engine_.RewindPage();
    engine_.Goto(20);
}

void Class2SendStates::NextPage() {
    if (!engine_.AdvancePage()) {
        if (engine_.State() == 42) {
            engine_.SetCallUp(false);
            engine_.Goto(FaxSendEngine::ssFinished);
        }
        return;
    }
    engine_.SendCommand("AT+FDT", kPageTransferTicks);
    engine_.Goto(20);
}

void Class2SendStates::Class20PageResult(const std::string& line) {
    const FaxCommandTable& t = engine_.Commands();
    if (t.Has(line, FaxCommandTable::HangupReport)) {
        StoreHangupCode(line);
    } else if (Has(line, "ERROR")) {
        engine_.SendCommand("AT+FPS?");
        engine_.ReportStatus(fsPageError);
        engine_.Goto(41);
    } else if (Has(line, "OK")) {
        engine_.ReportStatus(fsPageAccepted);
        engine_.Goto(42);
    } else {
        engine_.Fail(fePageEnd);
    }
}

} // namespace qpfax
