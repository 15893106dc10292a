#include "faxcomm/core/FaxSendEngine.h"

#include <cerrno>
#include <chrono>

#include "faxcomm/core/Class1SendStates.h"
#include "faxcomm/core/Class2SendStates.h"
#include "faxcomm/core/ComDispatcher.h"
#include "faxcomm/core/DleCodec.h"
#include "faxcomm/core/ModemCommander.h"
#include "faximage/core/FaxLineCoder.h"

namespace qpfax {

namespace {

constexpr std::size_t kBlockSize = 4096;
constexpr int kPutPatienceMs = 10000;

int OpenError(int error) {
    return error == ENOENT ? -2 : (error == EACCES ? -5 : -error);
}

bool EndsWithExtension(const std::string& name, const std::string& ext) {
    return UpperCase(name).find("." + UpperCase(ext)) != std::string::npos;
}

} // namespace

FaxSendEngine::FaxSendEngine(FaxClient& client, FaxEngineOptions options)
    : FaxEngine(client, std::move(options)) {}

FaxSendEngine::~FaxSendEngine() {
    Stop();
    CloseFiles();
}

int FaxSendEngine::StartSession() {
    qpcomm::ComDispatcher& d = qpcomm::ComDispatcher::Instance();
    d.SetLine(Slot(), 19200, qpcomm::ParityUnchanged, qpcomm::DataBitsUnchanged,
              qpcomm::StopBitsUnchanged);
    d.SetDTR(Slot(), true);
    d.SetRTS(Slot(), true);
    bool initOk = false;
    bool detectionFailed = false;
    const FaxClassInUse faxClass = DetectAndInitialise(initOk, detectionFailed);
    if (detectionFailed || !initOk) {
        return feBadResponse;
    }
    switch (faxClass) {
    case ciClass2:
    case ciClass2_0:
        classStates_ = std::make_unique<Class2SendStates>(*this);
        break;
    case ciClass1: {
        // The rates the modem can send with come from its answer to "AT+FTM=?".
        ModemCommander commander(Slot(), Options().responseWaitTicks,
                                 [this] { Client().PumpMessages(); });
        std::string answer;
        if (!commander.Command("AT+FCLASS=1") || !commander.Command("AT+FTM=?", &answer)) {
            return feInitFailed;
        }
        classStates_ =
            std::make_unique<Class1SendStates>(*this, Class1Rates::LocalCapability(answer));
        break;
    }
    default:
        return feBadResponse;
    }
    SetClass(faxClass);
    if (Options().initBaud != 0) {
        SwitchSpeed(Options().normalBaud);
    }
    return 0;
}

FaxWait FaxSendEngine::WaitOf(int state) const {
    switch (state) {
    case ssNextFax:
    case ssDial:
    case ssFinished:
    case ssNoMoreFaxes:
    case ssError:
        return FaxWait::Run;
    case ssRedialWait:
        return FaxWait::Timer;
    default:
        return classStates_ ? classStates_->WaitOf(state) : FaxWait::Run;
    }
}

void FaxSendEngine::RunState(int state, const FaxEvent& event) {
    switch (state) {
    case ssNextFax:
        NextFax();
        break;
    case ssDial:
        DialNumber();
        break;
    case ssRedialWait:
        Goto(ssDial);
        break;
    case ssFinished:
        FaxDone();
        break;
    case ssNoMoreFaxes:
        EndSession();
        break;
    case ssError:
        FaxFailed();
        break;
    default:
        if (classStates_) {
            classStates_->Run(state, event);
        } else {
            Fail(feBadResponse);
        }
        break;
    }
}

bool FaxSendEngine::UnexpectedAnswer(int state, const std::string& line) {
    return classStates_ && classStates_->UnexpectedAnswer(state, line);
}

void FaxSendEngine::NextFax() {
    std::string phone;
    std::string faxFile;
    std::string coverFile;
    if (!Client().NextFax(phone, faxFile, coverFile) || phone.empty()) {
        Goto(ssNoMoreFaxes);
        return;
    }
    phone = phone.substr(0, 40);
    CloseFiles();
    attempts_ = 0;
    retransmissions_ = 0;
    coverPages_ = 0;
    sendingCover_ = false;
    pageNumber_ = 0;
    totalPages_ = 0;
    Update([&](FaxProgress& p) {
        p.phoneNumber = phone;
        p.faxFile = faxFile;
        p.coverFile = coverFile;
        p.remoteId.clear();
        p.dialAttempt = 1;
        p.currentPage = 0;
        p.totalPages = 0;
        p.coverPages = 0;
        p.bytesSent = 0;
        p.pageLength = 0;
        p.hangupCode = 0;
    });
    Log(flTransmitStarted);
    if (faxFile.empty() && coverFile.empty()) {
        Fail(feNoFileName);
        return;
    }
    if (!faxFile.empty()) {
        if (const int result = OpenFaxFile(); result < 0) {
            Fail(result);
            return;
        }
    }
    if (!coverFile.empty()) {
        coverPages_ = 1;
        sendingCover_ = true;
        coverIsApf_ = EndsWithExtension(coverFile, Options().faxFileExt);
    }
    Update([&](FaxProgress& p) {
        p.totalPages = static_cast<int>(totalPages_);
        p.coverPages = coverPages_;
    });
    int result = 0;
    if (sendingCover_ && coverIsApf_) {
        result = coverApf_.Open(coverFile);
        if (result == 0) {
            result = ReadPageHeader(coverApf_, 1);
        }
    } else if (sendingCover_) {
        ApfPageHeader first;
        if (totalPages_ > 0) {
            fax_.FindPage(1, first);
        }
        page_ = ApfPageHeader{};
        page_.flags = first.flags & (ApfPageHeader::FlagFine | ApfPageHeader::FlagWide);
    } else if (totalPages_ == 0) {
        result = feNotApfFile;
    } else {
        pageNumber_ = 1;
        result = ReadPageHeader(fax_, 1);
    }
    if (result < 0) {
        Fail(result);
        return;
    }
    Update([&](FaxProgress& p) { p.currentPage = static_cast<int>(pageNumber_); });
    CheckResolution();
    Goto(2);
}

int FaxSendEngine::OpenFaxFile() {
    const int result = fax_.Open(Info().faxFile);
    if (result < 0) {
        return result;
    }
    faxOpen_ = true;
    totalPages_ = fax_.Header().pageCount;
    return 0;
}

int FaxSendEngine::ReadPageHeader(ApfReader& reader, unsigned page) {
    ApfPageHeader header;
    if (const int result = reader.FindPage(page, header); result < 0) {
        return result;
    }
    page_ = header;
    return RewindPage();
}

int FaxSendEngine::RewindPage() {
    if (sendingCover_ && !coverIsApf_) {
        pageRemaining_ = 0;
        return 0;
    }
    ApfReader& reader = sendingCover_ ? coverApf_ : fax_;
    pageRemaining_ = page_.imageLength;
    Update([&](FaxProgress& p) {
        p.bytesSent = 0;
        p.pageLength = static_cast<long>(page_.imageLength);
    });
    return reader.Seek(page_.DataPosition());
}

void FaxSendEngine::CheckResolution() {
    const bool fine = page_.IsFine();
    if (lastResolution_ && *lastResolution_ != fine) {
        ReportError(feMultipleResolutions);
    }
    lastResolution_ = fine;
}

bool FaxSendEngine::MorePagesFollow() const {
    return sendingCover_ ? totalPages_ > 0 : pageNumber_ < totalPages_;
}

bool FaxSendEngine::AdvancePage() {
    if (sendingCover_) {
        sendingCover_ = false;
        coverApf_.Close();
        if (coverText_ != nullptr) {
            std::fclose(coverText_);
            coverText_ = nullptr;
        }
        if (totalPages_ == 0) {
            return false;
        }
        pageNumber_ = 1;
    } else if (pageNumber_ < totalPages_) {
        ++pageNumber_;
    } else {
        return false;
    }
    if (const int result = ReadPageHeader(fax_, pageNumber_); result < 0) {
        Fail(result);
        return false;
    }
    Update([&](FaxProgress& p) { p.currentPage = static_cast<int>(pageNumber_); });
    CheckResolution();
    return true;
}

void FaxSendEngine::DialNumber() {
    const FaxEngineOptions& o = Options();
    std::string command = "ATD";
    command += o.toneDial ? 'T' : 'P';
    command += o.dialPrefix + Info().phoneNumber;
    SendCommand(command, o.dialWaitTicks);
    Update([&](FaxProgress& p) { p.dialAttempt = static_cast<int>(attempts_) + 1; });
    ReportStatus(fsDialing);
    Goto(19);
}

void FaxSendEngine::BusyAttempt() {
    ++attempts_;
    const unsigned allowed = Options().dialAttempts;
    if (allowed != 0 && attempts_ >= allowed) {
        Fail(feBusy);
        return;
    }
    Update([&](FaxProgress& p) { p.dialAttempt = static_cast<int>(attempts_) + 1; });
    ReportStatus(fsBusyWait);
    ArmTimeout(Options().dialRetryWaitTicks);
    Goto(ssRedialWait);
}

HeaderValues FaxSendEngine::Tokens() const {
    HeaderValues v;
    const FaxEngineOptions& o = Options();
    v.date = ShortDateNow();
    v.time = ShortTimeNow();
    v.stationId = o.stationId;
    v.totalPages = static_cast<int>(totalPages_) + coverPages_;
    v.page = sendingCover_ ? 1 : static_cast<int>(pageNumber_) + coverPages_;
    v.recipient = o.headerRecipient;
    v.title = o.headerTitle;
    v.sender = o.headerSender;
    return v;
}

int FaxSendEngine::Put(const std::vector<std::uint8_t>& raw) {
    std::vector<std::uint8_t> bytes;
    bytes.reserve(raw.size() + raw.size() / 16);
    AppendStuffed(bytes, raw.data(), raw.size());
    qpcomm::ComDispatcher& d = qpcomm::ComDispatcher::Instance();
    std::size_t done = 0;
    int waitedMs = 0;
    while (done < bytes.size()) {
        const long free = d.OutBuffFree(Slot());
        if (free <= 0) {
            if (waitedMs >= kPutPatienceMs) {
                return qpcomm::prPutBlockFail;
            }
            PauseMs(5);
            waitedMs += 5;
            continue;
        }
        const std::size_t chunk =
            std::min({bytes.size() - done, static_cast<std::size_t>(free), kBlockSize});
        const int result = d.PutBlock(Slot(), bytes.data() + done, chunk);
        if (result < 0 && result != qpcomm::prOutputBufferTooSmall) {
            return result;
        }
        if (result >= 0) {
            done += chunk;
        }
    }
    return 0;
}

void FaxSendEngine::PadLine(std::vector<std::uint8_t>& line, const FaxParameters& params) const {
    const std::size_t minimum = static_cast<std::size_t>(params.MinimumBytesPerLine());
    if (line.size() < minimum) {
        line.resize(minimum, 0);
    }
}

void FaxSendEngine::TopUpOutput() {
    const long used = OutputUsed();
    const long target = static_cast<long>(Options().bufferMinimum) + 1;
    if (used >= 0 && used < target) {
        Put(std::vector<std::uint8_t>(static_cast<std::size_t>(target - used), 0));
    }
}

void FaxSendEngine::SendCodedLines(FaxTextRenderer& renderer, const std::string& text,
                                   const FaxParameters& params) {
    std::vector<std::uint8_t> out;
    renderer.RenderLine(text, [&](const std::uint8_t* data, std::size_t size) {
        std::vector<std::uint8_t> line(data, data + size);
        PadLine(line, params);
        out.insert(out.end(), line.begin(), line.end());
    });
    Put(out);
}

void FaxSendEngine::SendPageTop(const FaxParameters& params) {
    std::vector<std::uint8_t> white;
    if (page_.IsWide()) {
        FaxLineCoder coder;
        const std::size_t size = coder.CodeBlankMarginLine(2048);
        white.assign(coder.Data(), coder.Data() + size);
    } else {
        white = {0x00, 0x80, 0xB2, 0x59, 0x01, 0x00};
    }
    const int minimum = params.MinimumBytesPerLine();
    if (minimum >= 7) {
        white.resize(white.size() + static_cast<std::size_t>(minimum - 5), 0);
    }
    std::vector<std::uint8_t> top;
    for (int i = 0; i < 8; ++i) {
        top.insert(top.end(), white.begin(), white.end());
    }
    Put(top);
    if (!Options().headerLine.empty()) {
        const std::string text = ExpandHeaderTokens(Options().headerLine, Tokens());
        TopUpOutput();
        FaxTextRenderer header;
        if (header.Prepare(FaxFont::ffSmall, page_.IsFine(), page_.LineWidth()) == 0) {
            SendCodedLines(header, text, params);
        }
    }
    TopUpOutput();
}

int FaxSendEngine::OpenTextCover() {
    if (coverText_ != nullptr) {
        std::fclose(coverText_);
    }
    coverText_ = std::fopen(Info().coverFile.c_str(), "rb");
    if (coverText_ == nullptr) {
        return OpenError(errno);
    }
    return renderer_.Prepare(FaxFont::ffStandard, page_.IsFine(), page_.LineWidth());
}

bool FaxSendEngine::SendTextCoverLines(const FaxParameters& params) {
    char buffer[512];
    while (OutputFree() > static_cast<long>(kBlockSize)) {
        if (coverText_ == nullptr || std::fgets(buffer, sizeof buffer, coverText_) == nullptr) {
            std::vector<std::uint8_t> end;
            renderer_.EndPage(
                [&](const std::uint8_t* data, std::size_t size) { end.assign(data, data + size); });
            end.resize(end.size() + static_cast<std::size_t>(params.MinimumBytesPerLine()), 0);
            Put(end);
            return true;
        }
        std::string line(buffer);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
            line.pop_back();
        }
        SendCodedLines(renderer_, ExpandHeaderTokens(line, Tokens()), params);
    }
    return false;
}

bool FaxSendEngine::SendPageBlocks(const FaxParameters& params) {
    ApfReader& reader = sendingCover_ ? coverApf_ : fax_;
    const FaxEngineOptions& o = Options();
    unsigned blocks = 0;
    long sent = 0;
    while (pageRemaining_ > 0 && blocks < o.maxSendCount) {
        if (OutputUsed() > static_cast<long>(o.bufferMinimum) ||
            OutputFree() < static_cast<long>(kBlockSize)) {
            break;
        }
        std::vector<std::uint8_t> block;
        std::size_t got = 0;
        if (page_.HasLineRecords()) {
            std::uint8_t length[2];
            if (pageRemaining_ < 2 || reader.Read(length, 2, got) < 0 || got != 2) {
                Fail(-100);
                return false;
            }
            const std::size_t n = length[0] | (std::size_t{length[1]} << 8);
            if (n > kBlockSize || n + 2 > pageRemaining_) {
                Fail(feNotApfFile);
                return false;
            }
            block.resize(n);
            if (n > 0 && (reader.Read(block.data(), n, got) < 0 || got != n)) {
                Fail(-100);
                return false;
            }
            pageRemaining_ -= n + 2;
            sent += static_cast<long>(n + 2);
            PadLine(block, params);
        } else {
            const std::size_t n =
                static_cast<std::size_t>(std::min<std::uint64_t>(pageRemaining_, kBlockSize));
            block.resize(n);
            if (reader.Read(block.data(), n, got) < 0 || got != n) {
                Fail(-100);
                return false;
            }
            pageRemaining_ -= n;
            sent += static_cast<long>(n);
        }
        if (const int result = Put(block); result < 0) {
            Fail(result);
            return false;
        }
        ++blocks;
    }
    Update([&](FaxProgress& p) { p.bytesSent += sent; });
    return pageRemaining_ == 0;
}

void FaxSendEngine::CloseFiles() {
    fax_.Close();
    coverApf_.Close();
    faxOpen_ = false;
    if (coverText_ != nullptr) {
        std::fclose(coverText_);
        coverText_ = nullptr;
    }
}

void FaxSendEngine::FaxDone() {
    CloseFiles();
    ReportStatus(fsFinished);
    Log(flTransmitFinished);
    if (Options().initBaud != 0) {
        SwitchSpeed(Options().initBaud);
    }
    Goto(ssNextFax);
}

void FaxSendEngine::FaxFailed() {
    CloseFiles();
    SetSoftwareFlow(qpcomm::swfNone);
    Log(flTransmitFailed);
    HangUpAfterSend();
    if (Options().initBaud != 0) {
        SwitchSpeed(Options().initBaud);
    }
    if (Options().exitOnError || Options().abortNoConnect || Aborted()) {
        ReportStatus(fsUserAbort);
        EndSession();
        return;
    }
    Goto(ssNextFax);
}

} // namespace qpfax
