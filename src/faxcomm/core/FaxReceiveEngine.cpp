#include "faxcomm/core/FaxReceiveEngine.h"

#include "faxcomm/core/Class1ReceiveStates.h"
#include "faxcomm/core/Class2ReceiveStates.h"
#include "faxcomm/core/ComDispatcher.h"
#include "faxcomm/core/ModemCommander.h"
#include "faximage/core/ApfPageHeader.h"

namespace qpfax {

namespace {
constexpr std::size_t kPageBufferSize = 4096;
constexpr std::size_t kReadChunk = 2048;
} // namespace

FaxReceiveEngine::FaxReceiveEngine(FaxClient& client, FaxEngineOptions options)
    : FaxEngine(client, std::move(options)) {
    pageBuffer_.reserve(kPageBufferSize + kReadChunk);
}

FaxReceiveEngine::~FaxReceiveEngine() {
    Stop();
    file_.Close();
}

int FaxReceiveEngine::StartSession() {
    bool initOk = false;
    bool detectionFailed = false;
    const FaxClassInUse faxClass = DetectAndInitialise(initOk, detectionFailed);
    if (detectionFailed) {
        return feBadResponse;
    }
    switch (faxClass) {
    case ciClass2:
    case ciClass2_0:
        classStates_ = std::make_unique<Class2ReceiveStates>(*this);
        break;
    case ciClass1: {
        // The rates the modem can receive with come from its answer to "AT+FRM=?".
        ModemCommander commander(Slot(), Options().responseWaitTicks,
                                 [this] { Client().PumpMessages(); });
        std::string answer;
        if (!commander.Command("AT+FCLASS=1") || !commander.Command("AT+FRM=?", &answer)) {
            return feInitFailed;
        }
        classStates_ =
            std::make_unique<Class1ReceiveStates>(*this, Class1Rates::LocalCapability(answer));
        SetClass(faxClass);
        SetFirstStatus(Options().constantStatus);
        return 0;
    }
    default:
        return feBadResponse;
    }
    SetClass(faxClass);
    const FaxEngineOptions& o = Options();
    ModemCommander commander(Slot(), o.responseWaitTicks, [this] { Client().PumpMessages(); });
    const FaxCommandTable& t = Commands();
    if (commander.Command(t.Text(FaxCommandTable::SelectClass))) {
        if (o.initBaud != 0) {
            SwitchSpeed(o.normalBaud);
        }
        if (commander.Command("AT+FCR=1") &&
            commander.Command(t.Text(FaxCommandTable::LocalId) + "=\"" + o.stationId + "\"")) {
            commander.Command(std::string("AT+FAA=") + (o.faxAndData ? '1' : '0'));
        }
    }
    // Without ConstantStatus the first status report comes with the first call answered.
    SetFirstStatus(o.constantStatus);
    return 0;
}

FaxWait FaxReceiveEngine::WaitOf(int state) const {
    if (state == rsCallFinished || state == rsError) {
        return FaxWait::Run;
    }
    return classStates_ ? classStates_->WaitOf(state) : FaxWait::Run;
}

void FaxReceiveEngine::RunState(int state, const FaxEvent& event) {
    if (state == rsCallFinished) {
        CallFinished();
    } else if (state == rsError) {
        CallFailed();
    } else if (classStates_) {
        classStates_->Run(state, event);
    } else {
        Fail(feBadResponse);
    }
}

bool FaxReceiveEngine::UnexpectedAnswer(int state, const std::string& line) {
    return classStates_ && classStates_->UnexpectedAnswer(state, line);
}

void FaxReceiveEngine::ResetCall() {
    file_.Close();
    accepted_ = false;
    hungUp_ = false;
    postPageResult_ = '0';
    pagesDone_ = 0;
    pageBuffer_.clear();
    Update([](FaxProgress& p) {
        p.currentPage = 0;
        p.totalPages = 0;
        p.remoteId.clear();
        p.faxFile.clear();
        p.hangupCode = 0;
        p.bytesSent = 0;
        p.pageLength = 0;
    });
}

int FaxReceiveEngine::CreateFile() {
    const std::string name = Client().NameFile();
    Update([&](FaxProgress& p) { p.faxFile = name; });
    if (const int result = file_.Create(name, Info().remoteId); result < 0) {
        return result;
    }
    Log(flReceiveStarted);
    return 0;
}

bool FaxReceiveEngine::AcceptCall(const std::string& remoteId) {
    Update([&](FaxProgress& p) { p.remoteId = remoteId; });
    if (!Client().AcceptCall(remoteId)) {
        SendCommand("AT+FKS");
        DrainOutput(1000);
        ReportError(feFileRejected);
        HangUpAfterReceive();
        hungUp_ = true;
        Log(flReceiveSkipped);
        Update([](FaxProgress& p) { p.faxFile.clear(); });
        Goto(rsError);
        return false;
    }
    accepted_ = true;
    ReportStatus(fsGotRemoteId);
    if (const int result = CreateFile(); result < 0) {
        Fail(result);
        return false;
    }
    postPageResult_ = '0';
    return true;
}

int FaxReceiveEngine::StartPage(const FaxParameters& params) {
    Update([&](FaxProgress& p) {
        p.currentPage = pagesDone_ + 1;
        p.bytesSent = 0;
        p.bitRate = params.bitRate;
        p.highResolution = params.highResolution;
        p.wide = params.wide;
        p.errorCorrection = params.errorCorrection;
    });
    if (!accepted_ && !AcceptCall(Info().remoteId)) {
        return 1;
    }
    if (postPageResult_ == '1' && file_.IsOpen()) {
        // The document before is complete: it is logged as received like any other.
        EndDocument();
    }
    if (!file_.IsOpen()) {
        if (const int result = CreateFile(); result < 0) {
            return result;
        }
    }
    std::uint16_t flags = 0;
    if (params.highResolution) {
        flags |= ApfPageHeader::FlagFine;
    }
    if (params.wide) {
        flags |= ApfPageHeader::FlagWide;
    }
    pageBuffer_.clear();
    unstuffer_ = DleUnstuffer(ClassInUse() == ciClass2);
    return file_.StartPage(flags);
}

int FaxReceiveEngine::FlushPageBuffer() {
    if (pageBuffer_.empty()) {
        return 0;
    }
    const int result = file_.Append(pageBuffer_.data(), pageBuffer_.size());
    pageBuffer_.clear();
    return result;
}

int FaxReceiveEngine::TakePageData(bool& ended) {
    std::uint8_t chunk[kReadChunk];
    long total = 0;
    ended = false;
    while (!ended) {
        const long got = ReadBlock(chunk, sizeof chunk);
        if (got <= 0) {
            break;
        }
        total += got;
        const std::size_t used =
            unstuffer_.Decode(chunk, static_cast<std::size_t>(got), pageBuffer_);
        ended = unstuffer_.Ended();
        if (pageBuffer_.size() >= kPageBufferSize || ended) {
            if (const int result = FlushPageBuffer(); result < 0) {
                return result;
            }
        }
        if (used < static_cast<std::size_t>(got)) {
            // Bytes after DLE ETX are the modem's answers: they are read as lines.
            PushBack(chunk + used, static_cast<std::size_t>(got) - used);
        }
    }
    Update([&](FaxProgress& p) { p.bytesSent += total; });
    return 0;
}

void FaxReceiveEngine::FinishPage() {
    if (!file_.PageOpen()) {
        return;
    }
    if (const int result = file_.FinishPage(); result < 0) {
        Fail(result);
        return;
    }
    ++pagesDone_;
    Update([&](FaxProgress& p) { p.totalPages = pagesDone_; });
}

void FaxReceiveEngine::DiscardPage() {
    file_.DiscardPage();
}

void FaxReceiveEngine::EndDocument() {
    file_.Close();
    Log(flReceiveFinished);
    Update([](FaxProgress& p) { p.faxFile.clear(); });
}

void FaxReceiveEngine::CallFinished() {
    if (Options().initBaud != 0) {
        SwitchSpeed(Options().initBaud);
    }
    if (Options().oneFax) {
        EndSession();
        return;
    }
    if (!Options().constantStatus) {
        ReportLastStatus();
    }
    Goto(1);
}

void FaxReceiveEngine::CallFailed() {
    SetSoftwareFlow(qpcomm::swfNone);
    if (file_.IsOpen()) {
        // An unfinished page is cut off: only whole pages stay in the file.
        file_.Close();
        Log(flReceiveFailed);
        Update([](FaxProgress& p) { p.faxFile.clear(); });
    }
    if (!hungUp_) {
        HangUpAfterReceive();
    }
    hungUp_ = true;
    if (Options().exitOnError || Aborted()) {
        EndSession();
        return;
    }
    if (!Options().constantStatus) {
        ReportLastStatus();
    }
    Goto(1);
}

} // namespace qpfax
