#include "Class2Modem.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <ctime>
#include <sys/stat.h>

#include "DataFraming.h"

namespace {

constexpr char Dle = 0x10;
constexpr char Etx = 0x03;
constexpr char Xon = 0x11;
constexpr char Dc2 = 0x12;
constexpr char Xoff = 0x13;
constexpr char Can = 0x18;
constexpr std::size_t MaxLine = 255;
// Where the cut and cancel faults strike while the computer sends a page.
constexpr std::size_t FaultAfterBytes = 2048;

std::string Upper(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return text;
}

std::string Lower(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

// Command text for an event line: control bytes written as \xNN.
std::string Printable(const std::string& text) {
    std::string result;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 32 || byte > 126) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", byte);
            result += hex;
        } else {
            result += c;
        }
    }
    return result;
}

std::string ParametersEvent(const FaxParameters& p) {
    return "vr=" + std::to_string(p.vr()) + " br=" + std::to_string(p.br()) +
           " wd=" + std::to_string(p.wd()) + " ln=" + std::to_string(p.values[FaxParameters::Ln]) +
           " df=" + std::to_string(p.values[FaxParameters::Df]) +
           " ec=" + std::to_string(p.values[FaxParameters::Ec]) +
           " bf=" + std::to_string(p.values[FaxParameters::Bf]) + " st=" + std::to_string(p.st()) +
           " bps=" + std::to_string(FaxParameters::BitsPerSecond(p.br()));
}

int WidthCode(int pixels) {
    return pixels == 2048 ? 1 : pixels == 2432 ? 2 : 0;
}

bool Accepted(int status) {
    return status == 1 || status == 3 || status == 5;
}

} // namespace

Class2Modem::Class2Modem(ModemOptions options, EventSink events)
    : options_(std::move(options)), events_(std::move(events)), settings_(options_.classes),
      faults_(options_.faults), echo_(options_.echo) {
    ResetModem();
}

bool Class2Modem::Prepare(std::string& error) {
    if (!options_.txTiffs.empty()) {
        TiffPageSource source;
        if (!source.Open(options_.txTiffs, error)) {
            return false;
        }
    }
    if (!options_.rxDir.empty()) {
        struct stat info {};
        if (::stat(options_.rxDir.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
            error = "no such folder: " + options_.rxDir;
            return false;
        }
    }
    return true;
}

// ---------------------------------------------------------------------------------------
// Time and output

Class2Modem::Clock::duration Class2Modem::Scaled(int milliseconds) const {
    return std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double, std::milli>(milliseconds / options_.timeFactor));
}

int Class2Modem::Later(int milliseconds, std::function<void()> action) {
    if (call_.up) {
        call_.protocolMs += static_cast<long>(milliseconds / options_.timeFactor);
    }
    return scheduler_.At(now_ + Scaled(milliseconds), std::move(action));
}

void Class2Modem::Busy(int milliseconds, std::function<void()> action) {
    mode_ = Mode::Busy;
    pendingId_ = Later(milliseconds, std::move(action));
}

void Class2Modem::Event(const std::string& text) {
    if (events_) {
        events_(text);
    }
}

void Class2Modem::Result(const std::string& word) {
    if (quiet_) {
        return;
    }
    if (verbose_) {
        Send("\r\n" + (faults_.LowerCase() ? Lower(word) : word) + "\r\n");
        return;
    }
    static const std::map<std::string, int> Codes = {
        {"OK", 0},          {"CONNECT", 1}, {"RING", 2},      {"NO CARRIER", 3}, {"ERROR", 4},
        {"NO DIALTONE", 6}, {"BUSY", 7},    {"NO ANSWER", 8}, {"VOICE", 9}};
    const auto code = Codes.find(word);
    Send(std::to_string(code == Codes.end() ? 4 : code->second) + "\r");
}

void Class2Modem::Report(const std::string& text) {
    const std::string line = faults_.LowerCase() ? Lower(text) : text;
    Send(verbose_ ? "\r\n" + line + "\r\n" : line + "\r\n");
}

std::string Class2Modem::Quoted(const std::string& id) const {
    std::string padded = id;
    if (padded.size() < 20) {
        padded.insert(0, 20 - padded.size(), ' ');
    }
    return "\"" + padded + "\"";
}

std::string Class2Modem::HangupPrefix() const {
    return settings_.Class20() ? "+FHS:" : "+FHNG:";
}

std::string Class2Modem::ClassName() const {
    return settings_.Class20() ? "class2.0" : "class2";
}

// ---------------------------------------------------------------------------------------
// Driving

void Class2Modem::Receive(const std::uint8_t* data, std::size_t size, TimePoint now) {
    now_ = now;
    if (size == 0) {
        return;
    }
    switch (mode_) {
    case Mode::Command:
        ProcessCommandBytes(data, size);
        break;
    case Mode::Busy:
        queued_.append(reinterpret_cast<const char*>(data), size);
        break;
    case Mode::Dialing:
    case Mode::Answering: {
        // A key pressed while the modem sets up a call abandons it; a line feed right
        // after the command's carriage return does not count.
        if (data[0] == '\n') {
            Receive(data + 1, size - 1, now);
            return;
        }
        const bool dialing = mode_ == Mode::Dialing;
        scheduler_.Cancel(pendingId_);
        mode_ = Mode::Command;
        Event(dialing ? "dial aborted" : "answer aborted");
        FinishCall("none", "aborted by the computer");
        Result("NO CARRIER");
        if (size > 1) {
            ProcessCommandBytes(data + 1, size - 1);
        }
        break;
    }
    case Mode::DataFromComputer:
        intake_.Feed(data, size, now);
        break;
    case Mode::WaitStart:
    case Mode::DataToComputer:
        ProcessDataToComputerInput(data, size);
        break;
    }
}

void Class2Modem::Advance(TimePoint now) {
    now_ = now;
    scheduler_.RunDue(now);
    if (mode_ == Mode::DataFromComputer) {
        AdvanceIntake();
    } else if (mode_ == Mode::DataToComputer) {
        AdvanceDelivery();
    }
    DrainQueued();
}

std::optional<Class2Modem::TimePoint> Class2Modem::NextWake(TimePoint now) const {
    std::optional<TimePoint> next = scheduler_.Next();
    if (mode_ == Mode::DataFromComputer || mode_ == Mode::DataToComputer ||
        (!queued_.empty() && mode_ != Mode::Busy)) {
        const TimePoint tick = now + std::chrono::milliseconds(10);
        next = next ? std::min(*next, tick) : tick;
    }
    return next;
}

bool Class2Modem::HoldingComputer() const {
    return mode_ == Mode::DataFromComputer && !settings_.SoftwareFlow() && intake_.Holding();
}

void Class2Modem::SetDtr(bool on, TimePoint now) {
    now_ = now;
    if (on == dtr_) {
        return;
    }
    dtr_ = on;
    Event(on ? "dtr on" : "dtr off");
    if (on) {
        return;
    }
    // &D2: dropping DTR hangs up and returns to command mode.
    const bool inCall = call_.up || mode_ == Mode::Dialing || mode_ == Mode::Answering;
    scheduler_.Cancel(pendingId_);
    mode_ = Mode::Command;
    queued_.clear();
    if (inCall) {
        FinishCall("none", "dtr dropped");
    }
}

void Class2Modem::DrainQueued() {
    while (!queued_.empty() && (mode_ == Mode::Command || mode_ == Mode::WaitStart ||
                                mode_ == Mode::DataToComputer || mode_ == Mode::DataFromComputer)) {
        const std::string bytes = std::move(queued_);
        queued_.clear();
        Receive(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), now_);
    }
}

// ---------------------------------------------------------------------------------------
// Command lines

void Class2Modem::ProcessCommandBytes(const std::uint8_t* data, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
        if (mode_ != Mode::Command) {
            // The line just read started something; the rest waits (or aborts a dial).
            Receive(data + i, size - i, now_);
            return;
        }
        const char c = static_cast<char>(data[i]);
        if (echo_) {
            Send(std::string(1, c));
        }
        if (c == '\r') {
            const std::string line = line_;
            const bool overflow = lineOverflow_;
            line_.clear();
            lineOverflow_ = false;
            if (overflow) {
                Event("cmd " + Printable(line.substr(0, 40)) + "...");
                Result("ERROR");
            } else {
                HandleLine(line);
            }
        } else if (c == '\n') {
            continue;
        } else if (c == 0x08) {
            if (!line_.empty()) {
                line_.pop_back();
            }
        } else if (line_.size() < MaxLine) {
            line_ += c;
        } else {
            lineOverflow_ = true;
        }
    }
}

void Class2Modem::HandleLine(const std::string& line) {
    if (line.empty()) {
        return;
    }
    Event("cmd " + Printable(line));
    const std::size_t at = Upper(line).find("AT");
    if (at == std::string::npos) {
        return; // not a command: modems ignore it
    }
    if (faults_.TakeSilence(line)) {
        Event("fault silent");
        return;
    }
    const auto commands = ParseAtCommands(line.substr(at + 2));
    if (!commands) {
        Result("ERROR");
        return;
    }
    for (const AtCommand& command : *commands) {
        const Outcome outcome = Execute(command);
        if (outcome == Outcome::Error) {
            Result("ERROR");
            return;
        }
        if (outcome == Outcome::Deferred) {
            return;
        }
    }
    Result("OK");
}

Class2Modem::Outcome Class2Modem::Execute(const AtCommand& command) {
    if (command.name.front() != '+') {
        return ExecuteBasic(command);
    }
    if (command.name == "+FCLASS" && command.op == AtCommand::Op::Set && call_.up) {
        return Outcome::Error; // no change of class in the middle of a call
    }
    std::vector<std::string> info;
    const FaxSettings::Outcome outcome = settings_.Execute(command, info);
    for (const std::string& line : info) {
        Report(line);
    }
    if (outcome == FaxSettings::Outcome::Ok) {
        return Outcome::Ok;
    }
    if (outcome == FaxSettings::Outcome::Error) {
        return Outcome::Error;
    }
    return ExecuteFaxAction(command);
}

Class2Modem::Outcome Class2Modem::ExecuteBasic(const AtCommand& command) {
    const std::string& name = command.name;
    if (name == "D") {
        return Dial(command.argument);
    }
    if (name == "A") {
        return Answer();
    }
    // Basic commands carry only digits here (the parser saw to it).
    const int number = command.argument.empty() ? 0 : std::stoi(command.argument.substr(0, 6));
    if (name == "E") {
        echo_ = number != 0;
    } else if (name == "Q") {
        quiet_ = number == 1;
    } else if (name == "V") {
        verbose_ = number != 0;
    } else if (name == "X") {
        if (number > 4) {
            return Outcome::Error;
        }
        xLevel_ = number;
    } else if (name[0] == 'S' && name.size() > 1) {
        const int reg = std::stoi(name.substr(1));
        if (reg > 255) {
            return Outcome::Error;
        }
        if (command.op == AtCommand::Op::Read) {
            char text[8];
            std::snprintf(text, sizeof text, "%03d", registers_[reg]);
            Report(text);
        } else {
            const int value = command.argument.empty() ? 0 : number;
            if (value > 255) {
                return Outcome::Error;
            }
            registers_[reg] = value;
        }
    } else if (name == "Z" || name == "&F") {
        if (call_.up) {
            FinishCall("none", "modem reset");
        }
        ResetModem();
    } else if (name == "I") {
        Report("Quillpost Class 2/2.0 fax modem emulator");
    } else if (name == "H") {
        return HangUp();
    } else if (name == "O") {
        return Outcome::Error;
    }
    // Other basic commands (M, L, &C, &D, &K, ...) are accepted and change nothing here.
    return Outcome::Ok;
}

Class2Modem::Outcome Class2Modem::ExecuteFaxAction(const AtCommand& command) {
    if (!settings_.FaxClass()) {
        return Outcome::Error;
    }
    const std::string& name = command.name;
    using Op = AtCommand::Op;
    if (name == "+FDT" && command.op == Op::Execute) {
        return TransmitPage();
    }
    if (name == "+FDR" && command.op == Op::Execute) {
        return ReceivePage();
    }
    if (name == "+FET" && command.op == Op::Set) {
        return PostPageCommand(command.argument);
    }
    if (name == "+FET" && command.op == Op::Test) {
        Report("(0-2)");
        return Outcome::Ok;
    }
    if ((name == "+FKS" || (name == "+FK" && settings_.Class2())) && command.op == Op::Execute) {
        return Kill();
    }
    return Outcome::Error;
}

void Class2Modem::ResetModem() {
    settings_.Reset();
    echo_ = options_.echo;
    quiet_ = false;
    verbose_ = true;
    xLevel_ = 4;
    registers_.clear();
    registers_[0] = 0;
    registers_[2] = 43;
    registers_[3] = 13;
    registers_[4] = 10;
    registers_[5] = 8;
    registers_[7] = 50;
    registers_[12] = 50;
}

// ---------------------------------------------------------------------------------------
// Outgoing calls

FaxParameters Class2Modem::FarEndCapabilities() const {
    FaxParameters far;
    far.values = {options_.fine ? 1 : 0,
                  FaxParameters::RateCode(options_.rateBps).value_or(3),
                  options_.wide ? 1 : 0,
                  2,
                  0,
                  0,
                  0,
                  options_.scanTime,
                  0};
    return far;
}

Class2Modem::Outcome Class2Modem::Dial(const std::string& dialString) {
    if (call_.up || ringing_) {
        return Outcome::Error;
    }
    std::string number = dialString;
    while (!number.empty() && number.back() == ' ') {
        number.pop_back();
    }
    const bool voice = !number.empty() && number.back() == ';';
    if (voice) {
        number.pop_back();
    }
    if (!number.empty() && (std::toupper(static_cast<unsigned char>(number[0])) == 'T' ||
                            std::toupper(static_cast<unsigned char>(number[0])) == 'P')) {
        number.erase(0, 1);
    }
    Event("dial " + Printable(number));
    const ModemDelays& d = options_.delays;
    mode_ = Mode::Dialing;
    const auto fail = [this](int delay, const std::string& word, const std::string& reason) {
        pendingId_ = Later(delay, [this, word, reason]() {
            mode_ = Mode::Command;
            Result(word);
            Event("result error " + reason);
        });
    };
    if (voice) {
        fail(d.busy, "OK", "voice dial");
        return Outcome::Deferred;
    }
    if (!settings_.FaxClass()) {
        fail(d.noCarrier, "NO CARRIER", "no carrier (not in a fax class)");
        return Outcome::Deferred;
    }
    switch (faults_.TakeDialFault()) {
    case FaultPlan::DialFault::Busy:
        Event("fault busy");
        fail(d.busy, xLevel_ >= 3 ? "BUSY" : "NO CARRIER", "busy");
        return Outcome::Deferred;
    case FaultPlan::DialFault::NoDialTone:
        Event("fault nodial");
        if (xLevel_ == 2 || xLevel_ >= 4) {
            fail(d.noDialTone, "NO DIALTONE", "no dial tone");
        } else {
            fail(d.dial, "NO CARRIER", "no dial tone (blind dialing)");
        }
        return Outcome::Deferred;
    case FaultPlan::DialFault::Voice:
        Event("fault voice");
        fail(d.voice, "VOICE", "voice");
        return Outcome::Deferred;
    case FaultPlan::DialFault::NoCarrier:
        Event("fault nocarrier");
        fail(d.noCarrier, "NO CARRIER", "no carrier");
        return Outcome::Deferred;
    case FaultPlan::DialFault::NoAnswer:
        // Ringback without an answer, as modems that detect ringback report it.
        Event("fault noanswer");
        fail(d.noCarrier, "NO ANSWER", "no answer");
        return Outcome::Deferred;
    case FaultPlan::DialFault::None:
        break;
    }
    call_ = Call{};
    call_.up = false;
    pendingId_ = Later(d.dial, [this]() { ConnectOutgoing(); });
    call_.protocolMs = static_cast<long>(d.dial / options_.timeFactor);
    return Outcome::Deferred;
}

void Class2Modem::ConnectOutgoing() {
    mode_ = Mode::Command;
    const long dialMs = call_.protocolMs;
    call_ = Call{};
    call_.up = true;
    call_.outgoing = true;
    call_.number = ++callCounter_;
    call_.protocolMs = dialMs;
    if (!options_.rxTiff.empty()) {
        call_.tiffPath = options_.rxTiff;
    } else if (!options_.rxDir.empty()) {
        char stamp[32];
        const std::time_t t = std::time(nullptr);
        std::tm local{};
        localtime_r(&t, &local);
        std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
        char name[80];
        std::snprintf(name, sizeof name, "/rx-%s-%03d.tif", stamp, call_.number);
        call_.tiffPath = options_.rxDir + name;
    }
    const bool c20 = settings_.Class20();
    Event("connect outgoing " + ClassName());
    Event("local-id " + settings_.LocalId());
    Report(c20 ? "+FCO" : "+FCON");
    if (const auto code = faults_.TakeHangup(FaultPlan::Where::Connect, 0)) {
        Event("fault hangup " + std::to_string(*code));
        EndCall(*code, "ERROR", "hangup " + settings_.FormatHangup(*code));
        return;
    }
    const FaxParameters far = FarEndCapabilities();
    if (settings_.ReportIds()) {
        Report((c20 ? "+FCI:" : "+FCSI:") + Quoted(options_.remoteId));
    }
    if (settings_.ReportTransmitterParameters()) {
        Report((c20 ? "+FIS:" : "+FDIS:") + far.Format(c20));
    }
    Result("OK");
}

Class2Modem::Outcome Class2Modem::TransmitPage() {
    if (!call_.up || !call_.outgoing || call_.awaitingPostPage) {
        return Outcome::Error;
    }
    const int page = call_.pagesDone + 1;
    ++call_.transfers;
    call_.currentPage = page;
    const ModemDelays& d = options_.delays;
    if (const auto code = faults_.TakeHangup(FaultPlan::Where::PageStart, page)) {
        Event("fault hangup " + std::to_string(*code));
        Busy(d.phaseB, [this, code]() {
            EndCall(*code, "ERROR", "hangup " + settings_.FormatHangup(*code));
        });
        return Outcome::Deferred;
    }
    const FaxParameters dcs =
        FaxParameters::Negotiate(settings_.SessionParameters(), FarEndCapabilities());
    const bool phaseB = !call_.trained || dcs.values != call_.dcs.values;
    Busy(phaseB ? d.phaseB : d.nextPage, [this, dcs, phaseB, page]() {
        const bool c20 = settings_.Class20();
        if (phaseB) {
            call_.dcs = dcs;
            call_.trained = true;
            settings_.SetNegotiated(dcs);
            Event("dcs " + ParametersEvent(dcs));
            if (settings_.ReportTransmitterParameters()) {
                Report((c20 ? "+FCS:" : "+FDCS:") + dcs.Format(c20));
            }
        }
        const double bytesPerSecond =
            FaxParameters::BitsPerSecond(dcs.br()) / 8.0 * options_.timeFactor;
        if (!intake_.Start(FaxParameters::PixelsPerLine(dcs.wd()), dcs.vr() == 1, c20,
                           settings_.ReversePageData(), bytesPerSecond, now_)) {
            Event("error the T.4 decoder cannot be set up");
        }
        call_.cutPage = faults_.TakeCut(page);
        call_.cancelPage = faults_.TakeCancel(page);
        xoffSent_ = false;
        Result("CONNECT");
        mode_ = Mode::DataFromComputer;
        Event("page-start " + std::to_string(page));
        if (!c20) {
            if (faults_.NoXon()) {
                Event("fault noxon");
            } else {
                xonId_ = Later(options_.delays.xon, [this]() {
                    if (mode_ == Mode::DataFromComputer) {
                        Send(std::string(1, Xon));
                    }
                });
            }
        }
    });
    return Outcome::Deferred;
}

void Class2Modem::AdvanceIntake() {
    const DleDecoder::Marker marker = intake_.Advance(now_);
    const int page = call_.currentPage;
    // The cut and cancel faults strike after 2 KB of page data, or at its end when the
    // page is shorter.
    if (!intake_.Dropping() &&
        (intake_.LineBytes() >= FaultAfterBytes || marker != DleDecoder::Marker::None)) {
        if (call_.cutPage) {
            Event("fault cut page " + std::to_string(page));
            call_.lineLost = true;
            intake_.Drop(true);
        } else if (call_.cancelPage) {
            Event("fault can page " + std::to_string(page));
            intake_.Drop(false);
            Send(std::string(1, Can));
        }
    }
    if (settings_.SoftwareFlow()) {
        if (intake_.Holding() && !xoffSent_) {
            Send(std::string(1, Xoff));
            xoffSent_ = true;
        } else if (!intake_.Holding() && xoffSent_) {
            Send(std::string(1, Xon));
            xoffSent_ = false;
        }
    }
    if (marker != DleDecoder::Marker::None) {
        PageDataEnded(marker);
        return;
    }
    // How long a computer may take is not a line time: the time factor does not apply.
    if (now_ - intake_.IdleSince() > std::chrono::milliseconds(options_.delays.stall)) {
        Event("page-end " + ClassName() + " stalled");
        scheduler_.Cancel(xonId_);
        intake_.Finish();
        EndCall(43, "ERROR", "the computer stopped sending page data");
    }
}

void Class2Modem::PageDataEnded(DleDecoder::Marker marker) {
    scheduler_.Cancel(xonId_);
    const std::vector<std::uint8_t> rest = intake_.TakeLeftover();
    queued_.append(rest.begin(), rest.end());
    static const std::map<DleDecoder::Marker, std::string> Names = {
        {DleDecoder::Marker::Etx, "DLE-ETX"},
        {DleDecoder::Marker::MorePages, "DLE-,"},
        {DleDecoder::Marker::NewDocument, "DLE-;"},
        {DleDecoder::Marker::LastPage, "DLE-."},
        {DleDecoder::Marker::Cancel, "DLE-CAN"}};
    Event("page-end " + ClassName() + " " + Names.at(marker));
    call_.lastPage = intake_.Finish();
    call_.lastPageMs = intake_.LineMilliseconds();
    call_.dataMs += call_.lastPageMs;
    if (call_.cancelPage && intake_.Dropping()) {
        Busy(options_.delays.hangup, [this]() { EndCall(2, "ERROR", "page cancelled (CAN)"); });
        return;
    }
    switch (marker) {
    case DleDecoder::Marker::Cancel:
        Busy(options_.delays.hangup,
             [this]() { EndCall(2, "OK", "cancelled by the computer (DLE CAN)"); });
        return;
    case DleDecoder::Marker::Etx:
        call_.awaitingPostPage = true;
        mode_ = Mode::Command;
        Result("OK");
        return;
    case DleDecoder::Marker::MorePages:
        PostPage(0, true);
        return;
    case DleDecoder::Marker::NewDocument:
        PostPage(1, true);
        return;
    case DleDecoder::Marker::LastPage:
        PostPage(2, true);
        return;
    case DleDecoder::Marker::None:
        return;
    }
}

Class2Modem::Outcome Class2Modem::PostPageCommand(const std::string& argument) {
    if (!call_.up || !call_.outgoing || !call_.awaitingPostPage || argument.size() != 1 ||
        argument[0] < '0' || argument[0] > '2') {
        return Outcome::Error;
    }
    call_.awaitingPostPage = false;
    PostPage(argument[0] - '0', false);
    return Outcome::Deferred;
}

void Class2Modem::PostPage(int message, bool fromMarker) {
    const int page = call_.currentPage;
    const ModemDelays& d = options_.delays;
    Event("post-page " + std::to_string(page) + " fet=" + std::to_string(message));
    if (call_.lineLost) {
        // The far end is gone: the post-page message goes unanswered three times.
        const int code = message == 2 ? 54 : message == 1 ? 56 : 52;
        Busy(d.noResponse,
             [this, code]() { EndCall(code, "ERROR", "hangup " + settings_.FormatHangup(code)); });
        return;
    }
    if (const auto code = faults_.TakeHangup(FaultPlan::Where::PostPage, page)) {
        Event("fault hangup " + std::to_string(*code));
        Busy(d.postPage, [this, code]() {
            EndCall(*code, "ERROR", "hangup " + settings_.FormatHangup(*code));
        });
        return;
    }
    int status = 0;
    if (const auto forced = faults_.TakePageStatus(page)) {
        status = *forced;
        Event("fault pagestatus " + std::to_string(status));
    } else if (faults_.TakeRejection()) {
        status = 2;
        Event("fault rtn");
    } else {
        const PageChecker::Result& result = call_.lastPage;
        status = result.rows > 0 && result.badRows * 20 <= result.rows ? 1 : 2;
    }
    settings_.SetPageStatus(status);
    Busy(d.postPage, [this, page, status, message, fromMarker]() {
        StoreReceivedPage(page, status);
        if (!Accepted(status) || status == 3 || message == 1) {
            call_.trained = false; // RTN, RTP and EOM: the next page starts with a new training
        }
        const bool c20 = settings_.Class20();
        const bool last = message == 2 && (status == 1 || status == 3 || status == 5);
        if (fromMarker) {
            if (!Accepted(status)) {
                mode_ = Mode::Command;
                Result("ERROR");
                return;
            }
        } else {
            Report((c20 ? "+FPS:" : "+FPTS:") + std::to_string(status));
        }
        if (last) {
            Report(HangupPrefix() + settings_.FormatHangup(0));
            settings_.SetHangupCode(0);
            FinishCall(settings_.FormatHangup(0), "");
        }
        mode_ = Mode::Command;
        Result("OK");
    });
}

void Class2Modem::StoreReceivedPage(int page, int status) {
    const PageChecker::Result& result = call_.lastPage;
    std::string event =
        "page " + std::to_string(page) + " rows=" + std::to_string(result.rows) +
        " bad=" + std::to_string(result.badRows) + " width=" + std::to_string(result.width) +
        " res=" + (result.fine ? "fine" : "normal") + " bytes=" + std::to_string(result.bytes) +
        " ms=" + std::to_string(call_.lastPageMs) + " status=" + std::to_string(status);
    if (Accepted(status)) {
        ++call_.pagesDone;
        if (!call_.tiffPath.empty()) {
            call_.received.push_back(TiffPageWriter::Page{result.width, result.fine, result.image});
            std::string error;
            if (TiffPageWriter::Write(call_.tiffPath, call_.received, error)) {
                event += " tiff=" + call_.tiffPath;
            } else {
                Event("error " + error);
            }
        }
    }
    Event(event);
}

// ---------------------------------------------------------------------------------------
// Incoming calls

bool Class2Modem::StartIncomingCall(const std::vector<std::string>& files, TimePoint now,
                                    std::string& error) {
    now_ = now;
    if (call_.up || ringing_ || mode_ == Mode::Dialing || mode_ == Mode::Answering) {
        error = "the line is busy";
        return false;
    }
    ringFiles_ = files.empty() ? options_.txTiffs : files;
    if (ringFiles_.empty()) {
        error = "no document to send (--tx-tiff or call FILE.tif)";
        return false;
    }
    TiffPageSource source;
    if (!source.Open(ringFiles_, error)) {
        return false;
    }
    ringing_ = true;
    ringCount_ = 0;
    encoded_.clear();
    RingOnce();
    return true;
}

void Class2Modem::RingOnce() {
    if (!ringing_) {
        return;
    }
    if (ringCount_ >= options_.maxRings) {
        ringing_ = false;
        Event("result error no answer");
        return;
    }
    ++ringCount_;
    Result("RING");
    Event("ring " + std::to_string(ringCount_));
    // The ring cadence is the caller's patience, not line time: the time factor does not
    // apply, so a program has its usual time to answer.
    ringId_ = scheduler_.At(now_ + std::chrono::milliseconds(options_.delays.ringInterval),
                            [this]() { RingOnce(); });
    const int autoAnswer = registers_[0];
    if (autoAnswer > 0 && ringCount_ >= autoAnswer && mode_ == Mode::Command && !call_.up) {
        Event("auto-answer");
        Answer();
    }
}

Class2Modem::Outcome Class2Modem::Answer() {
    if (call_.up) {
        return Outcome::Error;
    }
    const ModemDelays& d = options_.delays;
    mode_ = Mode::Answering;
    if (!ringing_ || !settings_.FaxClass()) {
        // Off hook with nobody there, or a fax caller meeting a data modem: no carrier.
        const bool caller = ringing_;
        ringing_ = false;
        scheduler_.Cancel(ringId_);
        pendingId_ = Later(d.noCarrier, [this, caller]() {
            mode_ = Mode::Command;
            Result("NO CARRIER");
            Event(caller ? "result error no carrier (not in a fax class)"
                         : "result error no carrier (nobody calling)");
        });
        return Outcome::Deferred;
    }
    ringing_ = false;
    scheduler_.Cancel(ringId_);
    Event("answer");
    call_ = Call{};
    pendingId_ = Later(d.answer, [this]() { ConnectIncoming(); });
    call_.protocolMs = static_cast<long>(d.answer / options_.timeFactor);
    return Outcome::Deferred;
}

void Class2Modem::ConnectIncoming() {
    mode_ = Mode::Command;
    const long answerMs = call_.protocolMs;
    call_ = Call{};
    call_.up = true;
    call_.outgoing = false;
    call_.number = ++callCounter_;
    call_.protocolMs = answerMs;
    std::string error;
    if (!call_.source.Open(ringFiles_, error)) {
        Event("error " + error);
    }
    const bool c20 = settings_.Class20();
    Event("connect incoming " + ClassName());
    Event("local-id " + settings_.LocalId());
    Report(c20 ? "+FCO" : "+FCON");
    if (const auto code = faults_.TakeHangup(FaultPlan::Where::Connect, 0)) {
        Event("fault hangup " + std::to_string(*code));
        EndCall(*code, "ERROR", "hangup " + settings_.FormatHangup(*code));
        return;
    }
    if (!settings_.ReceiveEnabled() || call_.source.Documents() == 0) {
        // Without AT+FCR=1 the modem offers no receive capability; the caller gives up.
        EndCall(70, "ERROR", "the modem may not receive (AT+FCR=0)");
        return;
    }
    const FaxParameters dcs = ParametersForPage(0, 0);
    call_.dcs = dcs;
    call_.trained = true;
    settings_.SetNegotiated(dcs);
    Event("dcs " + ParametersEvent(dcs));
    if (settings_.ReportIds()) {
        Report((c20 ? "+FTI:" : "+FTSI:") + Quoted(options_.remoteId));
    }
    if (settings_.ReportReceiverParameters()) {
        Report((c20 ? "+FCS:" : "+FDCS:") + dcs.Format(c20));
    }
    Result("OK");
}

FaxParameters Class2Modem::ParametersForPage(int document, int page) const {
    const TiffPageSource::PageInfo info = call_.source.Info(document, page);
    FaxParameters offer = FarEndCapabilities();
    offer.values[FaxParameters::Vr] = info.fine ? 1 : 0;
    offer.values[FaxParameters::Wd] = WidthCode(info.width);
    offer.values[FaxParameters::St] = 0;
    FaxParameters dcs = FaxParameters::Negotiate(offer, settings_.Capabilities());
    // The far end sends its document as it is; a sender would have to convert it.
    dcs.values[FaxParameters::Vr] = offer.vr();
    dcs.values[FaxParameters::Wd] = offer.wd();
    return dcs;
}

int Class2Modem::PostPageMessageAfter(int document, int page) const {
    if (page + 1 < call_.source.Pages(document)) {
        return 0;
    }
    return document + 1 < call_.source.Documents() ? 1 : 2;
}

std::vector<std::uint8_t> Class2Modem::PageDataFor(int document, int page,
                                                   const FaxParameters& dcs) {
    const bool fine = dcs.vr() == 1;
    const int minBits = FaxParameters::MinimumScanMilliseconds(dcs.st(), fine) *
                        FaxParameters::BitsPerSecond(dcs.br()) / 1000;
    const auto key = std::make_tuple(document, page, minBits);
    auto found = encoded_.find(key);
    if (found == encoded_.end()) {
        std::string error;
        std::vector<std::uint8_t> data = call_.source.Encode(document, page, minBits, error);
        if (data.empty()) {
            Event("error " + error);
        }
        found = encoded_.emplace(key, std::move(data)).first;
    }
    std::vector<std::uint8_t> data = found->second;
    // Class 2 modems hand received data over most significant bit first; Class 2.0 least
    // significant bit first. The bit-order setting reverses either.
    const bool reverse = settings_.Class2() != settings_.ReversePageData();
    if (reverse) {
        for (std::uint8_t& byte : data) {
            byte = framing::ReverseBits(byte);
        }
    }
    return data;
}

Class2Modem::Outcome Class2Modem::ReceivePage() {
    if (!call_.up || call_.outgoing) {
        return Outcome::Error;
    }
    const ModemDelays& d = options_.delays;
    if (call_.awaitingDecision) {
        call_.awaitingDecision = false;
        const int status = settings_.PageStatus();
        const int number = call_.pagesDone + 1;
        Event("page-sent " + std::to_string(number) +
              " bytes=" + std::to_string(call_.lastSentBytes) +
              " ms=" + std::to_string(call_.lastSentMs) + " status=" + std::to_string(status));
        if (status == 2 || status == 4) {
            call_.trained = false; // the far end trains again and sends the page once more
        } else {
            ++call_.pagesDone;
            if (PostPageMessageAfter(call_.document, call_.page) != 0) {
                call_.trained = false; // a new document starts with its own phase B
            }
            if (++call_.page >= call_.source.Pages(call_.document)) {
                call_.page = 0;
                ++call_.document;
            }
        }
    }
    if (call_.document >= call_.source.Documents()) {
        // After EOP and its confirmation the far end disconnects.
        Busy(d.hangup, [this]() {
            Report(HangupPrefix() + settings_.FormatHangup(0));
            settings_.SetHangupCode(0);
            FinishCall(settings_.FormatHangup(0), "");
            Result("OK");
        });
        return Outcome::Deferred;
    }
    const int number = call_.pagesDone + 1;
    ++call_.transfers;
    call_.currentPage = number;
    if (const auto code = faults_.TakeHangup(FaultPlan::Where::PageStart, number)) {
        Event("fault hangup " + std::to_string(*code));
        Busy(d.phaseB, [this, code]() {
            EndCall(*code, "ERROR", "hangup " + settings_.FormatHangup(*code));
        });
        return Outcome::Deferred;
    }
    const FaxParameters dcs = ParametersForPage(call_.document, call_.page);
    const bool phaseB = !call_.trained || dcs.values != call_.dcs.values;
    const bool firstPage = call_.transfers == 1;
    Busy(phaseB ? d.phaseB : d.nextPage, [this, dcs, phaseB, firstPage, number]() {
        const bool c20 = settings_.Class20();
        if (phaseB) {
            call_.dcs = dcs;
            call_.trained = true;
            settings_.SetNegotiated(dcs);
            Event("dcs " + ParametersEvent(dcs));
        }
        if (!c20) {
            if (phaseB || firstPage) {
                Report("+FCFR");
            }
            Report("+FDCS:" + dcs.Format(false));
        } else if (phaseB && settings_.ReportReceiverParameters()) {
            Report("+FCS:" + dcs.Format(true));
        }
        deliveryCut_ = faults_.TakeCut(number);
        deliveryCancel_ = faults_.TakeCancel(number);
        Result("CONNECT");
        mode_ = Mode::WaitStart;
        startWaitId_ =
            scheduler_.At(now_ + std::chrono::milliseconds(options_.delays.startWait), [this]() {
                if (mode_ == Mode::WaitStart) {
                    Event("page-end " + ClassName() + " no-DC2");
                    EndCall(90, "ERROR", "the computer never asked for the data (DC2)");
                }
            });
    });
    return Outcome::Deferred;
}

void Class2Modem::ProcessDataToComputerInput(const std::uint8_t* data, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
        const char c = static_cast<char>(data[i]);
        if (mode_ == Mode::WaitStart && (c == Dc2 || c == Xon)) {
            StartDelivery();
        } else if (mode_ == Mode::DataToComputer && c == Xoff) {
            delivery_.SetHeld(true);
        } else if (mode_ == Mode::DataToComputer && c == Xon) {
            delivery_.SetHeld(false);
        } else if (c == Can) {
            Event("page-end " + ClassName() + " computer-CAN");
            scheduler_.Cancel(startWaitId_);
            if (mode_ == Mode::DataToComputer) {
                Send(std::string{Dle, Etx});
            }
            EndCall(2, "OK", "cancelled by the computer (CAN)");
            return;
        }
        if (mode_ != Mode::WaitStart && mode_ != Mode::DataToComputer) {
            return;
        }
    }
}

void Class2Modem::StartDelivery() {
    scheduler_.Cancel(startWaitId_);
    std::vector<std::uint8_t> data = PageDataFor(call_.document, call_.page, call_.dcs);
    const std::size_t stop = deliveryCut_ || deliveryCancel_ ? data.size() / 2 : data.size();
    const double bytesPerSecond =
        FaxParameters::BitsPerSecond(call_.dcs.br()) / 8.0 * options_.timeFactor;
    delivery_.Start(std::move(data), stop, bytesPerSecond, now_);
    mode_ = Mode::DataToComputer;
    Event("page-start " + std::to_string(call_.currentPage));
}

void Class2Modem::AdvanceDelivery() {
    if (delivery_.Advance(now_, output_)) {
        DeliveryEnded();
    }
}

void Class2Modem::DeliveryEnded() {
    const int number = call_.currentPage;
    call_.lastSentBytes = delivery_.BytesSent();
    call_.lastSentMs = delivery_.LineMilliseconds();
    call_.dataMs += call_.lastSentMs;
    const ModemDelays& d = options_.delays;
    if (deliveryCancel_) {
        Event("fault can page " + std::to_string(number));
        Send(std::string{Can, Dle, Etx});
        Event("page-end " + ClassName() + " CAN");
        Busy(d.hangup, [this]() { EndCall(2, "ERROR", "page cancelled (CAN)"); });
        return;
    }
    if (deliveryCut_) {
        Event("fault cut page " + std::to_string(number));
        // The carrier is gone; the modem notices after its phase C time-out.
        Busy(d.lostCarrier, [this]() {
            Send(std::string{Dle, Etx});
            Event("page-end " + ClassName() + " lost-carrier");
            EndCall(91, "ERROR", "hangup " + settings_.FormatHangup(91));
        });
        return;
    }
    Send(std::string{Dle, Etx});
    Event("page-end " + ClassName() + " DLE-ETX");
    if (faults_.ExtraOk()) {
        Event("fault extra-ok");
        Result("OK");
    }
    int status = 1;
    if (const auto forced = faults_.TakePageStatus(number)) {
        status = *forced;
        Event("fault pagestatus " + std::to_string(status));
    } else if (faults_.TakeRejection()) {
        status = 2;
        Event("fault rtn");
    }
    const int message = PostPageMessageAfter(call_.document, call_.page);
    const int rows = call_.source.Info(call_.document, call_.page).rows;
    Busy(d.postPage, [this, status, message, number, rows]() {
        settings_.SetPageStatus(status);
        const bool c20 = settings_.Class20();
        char counts[64];
        std::snprintf(counts, sizeof counts, c20 ? "%d,%X,0,0,0" : "%d,%d,0,0,0", status, rows);
        Report((c20 ? "+FPS:" : "+FPTS:") + std::string(counts));
        Report("+FET:" + std::to_string(message));
        Event("post-page " + std::to_string(number) + " fet=" + std::to_string(message) +
              " status=" + std::to_string(status));
        call_.awaitingDecision = true;
        mode_ = Mode::Command;
        Result("OK");
    });
}

// ---------------------------------------------------------------------------------------
// Call end

Class2Modem::Outcome Class2Modem::HangUp() {
    if (!call_.up) {
        return Outcome::Ok;
    }
    Busy(options_.delays.hangup, [this]() {
        FinishCall("none", "hung up by the computer (ATH)");
        mode_ = Mode::Command;
        Result("OK");
    });
    return Outcome::Deferred;
}

Class2Modem::Outcome Class2Modem::Kill() {
    if (!call_.up) {
        return Outcome::Ok;
    }
    Busy(options_.delays.hangup,
         [this]() { EndCall(2, "OK", "cancelled by the computer (AT+FKS)"); });
    return Outcome::Deferred;
}

void Class2Modem::EndCall(int hangupCode, const std::string& finalResult,
                          const std::string& reason) {
    settings_.SetHangupCode(hangupCode);
    const std::string code = settings_.FormatHangup(hangupCode);
    Report(HangupPrefix() + code);
    FinishCall(code, reason);
    Result(finalResult);
}

void Class2Modem::FinishCall(const std::string& hangup, const std::string& reason) {
    scheduler_.Cancel(pendingId_);
    scheduler_.Cancel(xonId_);
    scheduler_.Cancel(startWaitId_);
    mode_ = Mode::Command;
    const int pages = call_.pagesDone;
    if (call_.up) {
        Event("call end hangup=" + hangup + " pages=" + std::to_string(pages) + " protocol-ms=" +
              std::to_string(call_.protocolMs) + " data-ms=" + std::to_string(call_.dataMs));
    }
    const bool normal = (hangup == "0" || hangup == "00") && reason.empty();
    Event(normal ? "result ok pages=" + std::to_string(pages)
                 : "result error " + (reason.empty() ? "hangup " + hangup : reason));
    call_ = Call{};
    deliveryCut_ = false;
    deliveryCancel_ = false;
}
