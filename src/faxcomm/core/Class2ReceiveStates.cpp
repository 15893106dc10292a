#include "faxcomm/core/Class2ReceiveStates.h"

#include <cstdlib>

#include "faxcomm/core/ComDispatcher.h"
#include "faxcomm/core/FaxReceiveEngine.h"
#include "faxcomm/core/ModemReply.h"

namespace qpfax {

namespace {

constexpr long kAnswerWaitTicks = 1092; // 60 s

} // namespace

bool Class2ReceiveStates::Class20() const {
    return engine_.ClassInUse() == ciClass2_0;
}

FaxWait Class2ReceiveStates::WaitOf(int state) const {
    switch (state) {
    case 1:
    case 9:
    case 25:
        return FaxWait::Run;
    case 26:
        return FaxWait::Data;
    default:
        return FaxWait::Line;
    }
}

bool Class2ReceiveStates::UnexpectedAnswer(int state, const std::string& line) {
    const FaxCommandTable& t = engine_.Commands();
    if (t.Has(line, FaxCommandTable::HangupReport)) {
        StoreHangupCode(line);
        if (state == 34) {
            return false;
        }
        engine_.Fail(feMidSession);
        return true;
    }
    // After a page, ERROR means the page was bad (state 33 discards it).
    if (Has(line, "ERROR") && state != 33) {
        engine_.Fail(feBadResponse);
        return true;
    }
    return false;
}

void Class2ReceiveStates::StoreHangupCode(const std::string& line) {
    const int code = HangupCodeOf(engine_.Commands(), line, Class20());
    engine_.Update([&](FaxProgress& p) { p.hangupCode = code; });
}

void Class2ReceiveStates::Run(int state, const FaxEvent& event) {
    const std::string& line = event.line;
    switch (state) {
    case 1:
        Select();
        break;
    case 3:
    case 4:
    case 5:
    case 7:
        Initialise(state, line);
        break;
    case 8:
        WaitForCall(line);
        break;
    case 9:
        Answer();
        break;
    case 22:
        Connected(line);
        break;
    case 23:
        CallerReports(line);
        break;
    case 24:
        BeforePage(line);
        break;
    case 25:
        PageStart();
        break;
    case 26:
        PageData(event);
        break;
    case 33:
        AfterPage(line);
        break;
    case 34:
        AfterDocument(line);
        break;
    default:
        engine_.Fail(feBadResponse);
        break;
    }
}

void Class2ReceiveStates::Select() {
    engine_.ResetCall();
    params_ = FaxParameters{};
    rings_ = 0;
    engine_.SetSoftwareFlow(qpcomm::swfNone);
    qpcomm::ComDispatcher::Instance().SetDTR(engine_.Slot(), true);
    qpcomm::ComDispatcher::Instance().SetRTS(engine_.Slot(), true);
    engine_.SendCommand(engine_.Commands().Text(FaxCommandTable::SelectClass));
    engine_.Goto(3);
}

void Class2ReceiveStates::Initialise(int state, const std::string& line) {
    if (!Has(line, "OK")) {
        engine_.Fail(feInitFailed);
        return;
    }
    const FaxEngineOptions& o = engine_.Options();
    switch (state) {
    case 3: {
        std::string command = engine_.Commands().Text(FaxCommandTable::Capabilities) + "=1,";
        command += BitRateCode(o.desiredBps);
        command += ",0,2,0,";
        command += o.desiredEcm ? '1' : '0';
        command += ",0,0";
        engine_.SendCommand(command);
        engine_.Goto(Class20() ? 4 : 7);
        break;
    }
    case 4:
        engine_.SendCommand("AT+FLO=2");
        engine_.Goto(5);
        break;
    case 5:
        engine_.SendCommand("AT+FNR=1,1,1,0");
        engine_.Goto(7);
        break;
    default:
        engine_.StopTimeout();
        engine_.ReportStatus(fsWaitingForCall);
        engine_.Goto(8);
        break;
    }
}

void Class2ReceiveStates::WaitForCall(const std::string& line) {
    if (Has(line, "RING")) {
        if (++rings_ >= engine_.Options().answerOnRing) {
            engine_.Goto(9);
        }
    } else if (Has(line, "NO C")) {
        engine_.ReportStatus(fsNoConnect);
    } else if (Has(line, "CONNECT")) {
        engine_.Fail(feDataCall);
    } else if (Has(line, "VOICE")) {
        engine_.Fail(feVoice);
    }
}

void Class2ReceiveStates::Answer() {
    engine_.SendCommand("ATA", kAnswerWaitTicks);
    if (!engine_.Options().constantStatus) {
        engine_.SetFirstStatus(true);
    }
    engine_.ReportStatus(fsAnswering);
    engine_.Goto(22);
}

void Class2ReceiveStates::Connected(const std::string& line) {
    if (engine_.Commands().Has(line, FaxCommandTable::ConnectReport)) {
        engine_.SetCallUp(true);
        engine_.ArmTimeout(engine_.Options().responseWaitTicks);
        engine_.ReportStatus(fsCallValidated);
        engine_.Goto(23);
    }
}

void Class2ReceiveStates::Negotiated(const std::string& line) {
    params_ =
        FaxParameters::Parse(engine_.Commands().After(line, FaxCommandTable::NegotiatedReport));
    engine_.Update([&](FaxProgress& p) {
        p.bitRate = params_.bitRate;
        p.highResolution = params_.highResolution;
        p.wide = params_.wide;
        p.errorCorrection = params_.errorCorrection;
    });
    engine_.ReportStatus(fsConnectionParams);
}

void Class2ReceiveStates::CallerReports(const std::string& line) {
    const FaxCommandTable& t = engine_.Commands();
    if (t.Has(line, FaxCommandTable::TransmittingStationReport)) {
        if (!engine_.CallAccepted()) {
            engine_.AcceptCall(
                ParseStationId(t.After(line, FaxCommandTable::TransmittingStationReport)));
        }
    } else if (t.Has(line, FaxCommandTable::NegotiatedReport)) {
        Negotiated(line);
    } else if (Has(line, "OK")) {
        engine_.SendCommand("AT+FDR");
        engine_.Goto(24);
    }
}

void Class2ReceiveStates::BeforePage(const std::string& line) {
    if (engine_.Commands().Has(line, FaxCommandTable::NegotiatedReport)) {
        Negotiated(line);
    } else if (Has(line, "CONNECT")) {
        if (engine_.Options().softwareFlow) {
            qpcomm::ComDispatcher::Instance().SWFlowOptions(engine_.Slot(), 6144, 2048,
                                                            qpcomm::swfReceive, 17, 19);
        }
        engine_.Goto(25);
    }
}

void Class2ReceiveStates::PageStart() {
    fetSeen_ = false;
    pageGood_ = false;
    const int result = engine_.StartPage(params_);
    if (result < 0) {
        engine_.Fail(result);
        return;
    }
    if (result > 0) {
        return; // refused
    }
    const std::uint8_t start = DC2;
    engine_.SendRaw(&start, 1);
    engine_.ReportStatus(fsGettingPage);
    engine_.ArmTimeout(engine_.Options().responseWaitTicks);
    engine_.Goto(26);
}

void Class2ReceiveStates::PageData(const FaxEvent& event) {
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
        engine_.Goto(33);
    }
}

void Class2ReceiveStates::AfterPage(const std::string& line) {
    const FaxCommandTable& t = engine_.Commands();
    if (t.Has(line, FaxCommandTable::PageStatusReport)) {
        engine_.ReportStatus(fsGettingEndOfPage);
        const char value = ReportValue(t.After(line, FaxCommandTable::PageStatusReport));
        if (value == '1' || value == '3' || value == '5') {
            engine_.FinishPage();
        } else {
            engine_.DiscardPage();
        }
    } else if (Has(line, "+FET")) {
        engine_.ReportStatus(fsGettingEndOfDocument);
        const char digit = ReportValue(line.substr(line.find("+FET") + 4));
        // Any other digit is taken as more pages of this document.
        engine_.SetPostPageResult(digit == '1' || digit == '2' ? digit : '0');
        fetSeen_ = true;
    } else if (Has(line, "OK")) {
        if (!fetSeen_) {
            return; // an OK before the page's reports belongs to the page's end
        }
        engine_.DiscardPage(); // a page without a status is not kept
        engine_.SendCommand("AT+FDR");
        if (engine_.PostPageResult() == '2') {
            engine_.EndDocument();
            engine_.ReportStatus(fsGettingHangup);
            engine_.Goto(34);
        } else {
            engine_.Goto(24);
        }
    } else if (Has(line, "ERROR")) {
        engine_.DiscardPage();
        engine_.SendCommand("AT+FDR");
        engine_.Goto(24);
    }
}

void Class2ReceiveStates::AfterDocument(const std::string& line) {
    if (engine_.Commands().Has(line, FaxCommandTable::HangupReport)) {
        engine_.ReportStatus(fsGotHangup);
    } else if (Has(line, "+FET")) {
        engine_.ReportStatus(fsGettingHangup);
    } else if (Has(line, "OK")) {
        engine_.SetCallUp(false);
        engine_.Goto(FaxReceiveEngine::rsCallFinished);
    }
}

} // namespace qpfax
