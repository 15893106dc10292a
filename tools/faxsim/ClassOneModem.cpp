#include "ClassOneModem.h"

#include <algorithm>

#define SPANDSP_EXPOSE_INTERNAL_STRUCTURES
#include <spandsp.h>

#include "EventSink.h"

namespace faxsim {

namespace {

constexpr int kVerboseLogLevel = static_cast<int>(SPAN_LOG_FLOW) |
                                 static_cast<int>(SPAN_LOG_SHOW_TAG) |
                                 static_cast<int>(SPAN_LOG_SHOW_SAMPLE_TIME);

constexpr std::size_t kReadAhead = 1024;
constexpr std::size_t kDataPiece = 256;
constexpr int kDataPiecesPerStep = 4;
constexpr std::size_t kMaxPendingOutput = 1 << 20;
// Frames longer than this do not fit spandsp's buffer once the modem adds its check bytes.
constexpr std::size_t kMaxFrameLength = 256 + 4;

void LogToStandardError(int, const char* text) {
    std::fputs(text, stderr);
}

std::string FrameName(const std::vector<std::uint8_t>& frame) {
    if (frame.size() < 3) {
        return "short";
    }
    std::string name = t30_frametype(frame[2]);
    for (char& c : name) {
        if (c == ' ') {
            c = '-';
        }
    }
    return name;
}

} // namespace

ClassOneModem::ClassOneModem(Settings settings, EventSink& events, ModemListener& listener)
    : settings_(std::move(settings)), events_(events), listener_(listener),
      input_(kMaxFrameLength) {
    output_.onLine = [this](const std::string& line) {
        if (line != lastCommandLine_) {
            Emit("reply " + Printable(line));
        }
    };
    output_.onFrame = [this](const std::vector<std::uint8_t>& frame, bool good) {
        Emit("frame rx " + FrameName(frame) + " " + Hex(frame) + (good ? " ok" : " bad"));
    };
}

ClassOneModem::~ClassOneModem() {
    Close();
}

bool ClassOneModem::Open(const std::string& linkPath, std::string* error) {
    if (!pty_.Open(linkPath, error)) {
        return false;
    }
    t31_ = t31_init(nullptr, &ClassOneModem::AtTx, this, &ClassOneModem::Control, this, nullptr,
                    nullptr);
    if (!t31_) {
        if (error) {
            *error = "cannot start the modem";
        }
        pty_.Close();
        return false;
    }
    t31_set_transmit_on_idle(t31_, FALSE);
    logging_state_t* log = t31_get_logging_state(t31_);
    span_log_set_message_handler(log, LogToStandardError);
    if (settings_.verbose) {
        span_log_set_level(log, kVerboseLogLevel);
        logTag_ = "modem" + settings_.label;
        span_log_set_tag(log, logTag_.c_str());
    }
    waitingSince_ = std::chrono::steady_clock::now();
    return true;
}

void ClassOneModem::Close() {
    if (t31_) {
        t31_free(t31_);
        t31_ = nullptr;
    }
    pty_.Close();
}

int ClassOneModem::AtTx(at_state_s*, void* user, const std::uint8_t* bytes, std::size_t count) {
    auto* self = static_cast<ClassOneModem*>(user);
    self->output_.Process(bytes, count);
    return static_cast<int>(count);
}

int ClassOneModem::Control(t31_state_s*, void* user, int op, const char* number) {
    auto* self = static_cast<ClassOneModem*>(user);
    switch (op) {
    case AT_MODEM_CONTROL_CALL:
        self->controls_.push_back({ControlRequest::Type::Dial, number ? number : ""});
        break;
    case AT_MODEM_CONTROL_ANSWER:
        self->controls_.push_back({ControlRequest::Type::Answer, {}});
        break;
    case AT_MODEM_CONTROL_HANGUP:
        self->controls_.push_back({ControlRequest::Type::HangUp, {}});
        break;
    case AT_MODEM_CONTROL_CTS:
        // The modem's transmit buffer is past its high tide (off) or drained (on).
        self->cts_ = number != nullptr;
        break;
    default:
        break;
    }
    return 0;
}

void ClassOneModem::Emit(const std::string& text) {
    events_.Event(text + settings_.label);
}

void ClassOneModem::ModemInput(const std::string& bytes) {
    t31_at_rx(t31_, bytes.data(), static_cast<int>(bytes.size()));
    DispatchControls();
}

void ClassOneModem::ReadFromComputer(std::chrono::steady_clock::time_point now) {
    WatchDtr();
    ReadComputer();
    FeedModem();
    WatchStall(now);
}

int ClassOneModem::CarrierWaitSeconds() const {
    const int seconds = t31_->at_state.p.s_regs[7];
    return seconds > 0 ? seconds : 60;
}

void ClassOneModem::ReadComputer() {
    if (!cts_ || input_.Buffered() >= kReadAhead) {
        return;
    }
    char buffer[kReadAhead];
    const ssize_t count = pty_.Read(buffer, kReadAhead - input_.Buffered());
    if (count > 0) {
        input_.Append(buffer, static_cast<std::size_t>(count));
        waitingSince_ = std::chrono::steady_clock::now();
    }
}

bool ClassOneModem::CallAttemptPending() const {
    const AtKind kind = output_.Command().kind;
    return (kind == AtKind::Dial || kind == AtKind::Answer) && output_.ComputerWaits();
}

bool ClassOneModem::StillReceiving() const {
    const int mode = t31_->at_state.at_rx_mode;
    return mode == AT_MODE_CONNECTED || mode == AT_MODE_DELIVERY;
}

DteInput::Mode ClassOneModem::CurrentMode() const {
    switch (t31_->at_state.at_rx_mode) {
    case AT_MODE_HDLC:
        return DteInput::Mode::Frames;
    case AT_MODE_STUFFED:
        return DteInput::Mode::Data;
    case AT_MODE_CONNECTED:
    case AT_MODE_DELIVERY:
        // After a frame delivered from its queue spandsp stays in receive mode although
        // it has given its final result; the computer is then in command mode.
        return output_.AwaitingFinal() ? DteInput::Mode::Receiving : DteInput::Mode::Command;
    default:
        // While dialling or answering the modem is still in command mode, but like a real
        // modem it takes any key as the end of the attempt.
        return CallAttemptPending() ? DteInput::Mode::Receiving : DteInput::Mode::Command;
    }
}

void ClassOneModem::FeedModem() {
    int dataPieces = 0;
    for (int guard = 0; guard < 64; ++guard) {
        const DteInput::Mode mode = CurrentMode();
        if (mode == DteInput::Mode::Data) {
            if (!cts_ || dataPieces++ >= kDataPiecesPerStep) {
                break;
            }
            if (!dataStarted_ && input_.Buffered() > 0) {
                dataStarted_ = true;
                if (lastFrameWasDcs_) {
                    damagingData_ = failTraining && failTraining();
                    if (damagingData_) {
                        Emit("tcf damaged");
                    }
                } else {
                    damagingData_ = damagePage && damagePage();
                    if (damagingData_) {
                        Emit("page damaged");
                    }
                }
            }
        }
        auto piece = input_.Next(mode, kDataPiece, mode == DteInput::Mode::Data && damagingData_);
        if (!piece) {
            break;
        }
        Handle(*piece);
    }
}

void ClassOneModem::Handle(DteInput::Piece& piece) {
    using Type = DteInput::Piece::Type;
    switch (piece.type) {
    case Type::CommandLine:
        HandleCommand(piece);
        break;
    case Type::Frame:
        Emit("frame tx " + FrameName(piece.frame) + " " + Hex(piece.frame));
        lastFrameWasDcs_ = piece.frame.size() >= 3 && (piece.frame[2] & 0xFE) == 0x82;
        output_.FrameSent();
        ModemInput(piece.bytes);
        break;
    case Type::RefusedFrame:
        // Hand the modem an empty frame instead, which ends its frame transmission, and
        // answer ERROR once it is back in command mode.
        Emit("frame refused length=" + std::to_string(piece.refusedLength));
        output_.FrameSent();
        output_.ReplaceNextFinal("ERROR");
        ModemInput(std::string("\x10\x03", 2));
        break;
    case Type::Data:
        ModemInput(piece.bytes);
        if (piece.endOfData) {
            dataStarted_ = false;
            damagingData_ = false;
            lastFrameWasDcs_ = false;
        }
        break;
    case Type::Abort:
        if (CallAttemptPending() && !StillReceiving()) {
            if (piece.bytes != "\r") {
                input_.DropRestOfLine();
            }
            listener_.OnHangUp(*this, "abort");
        } else {
            ModemInput(piece.bytes);
        }
        break;
    }
}

void ClassOneModem::HandleCommand(const DteInput::Piece& piece) {
    lastCommandLine_ = piece.line;
    if (StillReceiving()) {
        // Stop the reception the modem has already reported as ended; its answer to
        // that is not for the computer.
        output_.SetMuted(true);
        t31_at_rx(t31_, "\r", 1);
        output_.SetMuted(false);
    }
    if (piece.line.empty()) {
        ModemInput(piece.bytes);
        return;
    }
    Emit("cmd " + Printable(piece.line));
    const AtCommand command = AtCommand::Parse(piece.line);
    output_.CommandStarted(command);
    if (command.kind == AtKind::SendData) {
        dataStarted_ = false;
    }
    if (!Intercept(piece.line, command)) {
        ModemInput(piece.bytes);
    }
}

bool ClassOneModem::Intercept(const std::string& line, const AtCommand& command) {
    if (settings_.rates.empty()) {
        return false;
    }
    std::string answer;
    if (command.kind == AtKind::QuerySendRates || command.kind == AtKind::QueryReceiveRates) {
        for (const std::string& rate : settings_.rates) {
            answer += (answer.empty() ? "" : ",") + rate;
        }
        answer = "\r\n" + answer + "\r\n\r\nOK\r\n";
    } else if (command.kind == AtKind::SendData || command.kind == AtKind::ReceiveData) {
        const auto& rates = settings_.rates;
        if (std::find(rates.begin(), rates.end(), command.argument) != rates.end()) {
            return false;
        }
        answer = "\r\nERROR\r\n";
    } else {
        return false;
    }
    if (t31_->at_state.p.echo) {
        answer = line + "\r" + answer;
    }
    output_.Process(reinterpret_cast<const std::uint8_t*>(answer.data()), answer.size());
    return true;
}

void ClassOneModem::DispatchControls() {
    std::vector<ControlRequest> requests;
    requests.swap(controls_);
    for (const ControlRequest& request : requests) {
        switch (request.type) {
        case ControlRequest::Type::Dial:
            listener_.OnDial(*this, request.number);
            break;
        case ControlRequest::Type::Answer:
            listener_.OnAnswer(*this);
            break;
        case ControlRequest::Type::HangUp:
            listener_.OnHangUp(*this, "computer");
            break;
        }
    }
}

void ClassOneModem::WriteToComputer() {
    const std::string bytes = output_.Take();
    if (toComputer_.size() + bytes.size() > kMaxPendingOutput) {
        if (!overrunReported_) {
            Emit("overrun");
            overrunReported_ = true;
        }
    } else {
        toComputer_ += bytes;
    }
    while (!toComputer_.empty()) {
        const ssize_t written = pty_.Write(toComputer_.data(), toComputer_.size());
        if (written <= 0) {
            break;
        }
        toComputer_.erase(0, static_cast<std::size_t>(written));
    }
    if (toComputer_.empty()) {
        overrunReported_ = false;
    }
}

void ClassOneModem::WatchDtr() {
    if (dtrCheckCountdown_-- > 0) {
        return;
    }
    dtrCheckCountdown_ = 4;
    const bool low = pty_.SpeedIsZero();
    if (low != dtrLow_) {
        Emit(low ? "dtr off" : "dtr on");
    }
    const bool dropped = low && !dtrLow_;
    dtrLow_ = low;
    if (dropped) {
        listener_.OnHangUp(*this, "dtr");
    }
}

void ClassOneModem::WatchStall(std::chrono::steady_clock::time_point now) {
    const int mode = t31_->at_state.at_rx_mode;
    const bool waitsForData =
        (mode == AT_MODE_STUFFED && cts_) || (mode == AT_MODE_HDLC && output_.WaitsForFrame());
    if (!waitsForData || input_.Buffered() > 0) {
        waitingSince_ = now;
        stallReported_ = false;
        return;
    }
    if (!stallReported_ && now - waitingSince_ >= settings_.dteTimeout) {
        stallReported_ = true;
        Emit("dte-timeout");
        listener_.OnHangUp(*this, "stall");
    }
}

void ClassOneModem::Receive(std::int16_t* samples, int count) {
    t31_rx(t31_, samples, count);
}

void ClassOneModem::Transmit(std::int16_t* samples, int count) {
    int produced = 0;
    while (produced < count) {
        const int n = t31_tx(t31_, samples + produced, count - produced);
        if (n <= 0) {
            break;
        }
        produced += n;
    }
    std::fill(samples + produced, samples + count, 0);
    // Timed answers (the end of a frame or of data) come out while transmitting.
    DispatchControls();
}

void ClassOneModem::Ring() {
    t31_call_event(t31_, AT_CALL_EVENT_ALERTING);
    DispatchControls();
}

void ClassOneModem::OutgoingAnswered() {
    t31_call_event(t31_, AT_CALL_EVENT_CONNECTED);
}

void ClassOneModem::IncomingAnswered() {
    t31_call_event(t31_, AT_CALL_EVENT_ANSWERED);
}

void ClassOneModem::Busy() {
    t31_call_event(t31_, AT_CALL_EVENT_BUSY);
}

void ClassOneModem::NoDialtone() {
    t31_call_event(t31_, AT_CALL_EVENT_NO_DIALTONE);
}

void ClassOneModem::NoAnswer() {
    t31_call_event(t31_, AT_CALL_EVENT_NO_ANSWER);
}

void ClassOneModem::LineDropped() {
    const bool owed = output_.AwaitingFinal() && output_.Command().kind != AtKind::Other;
    t31_call_event(t31_, AT_CALL_EVENT_HANGUP);
    if (owed && output_.AwaitingFinal()) {
        // spandsp gives no final result when the line goes while it still sends data the
        // computer has finished handing over; a real modem says NO CARRIER.
        output_.InjectResult("NO CARRIER");
    }
    cts_ = true;
    dataStarted_ = false;
    damagingData_ = false;
    lastFrameWasDcs_ = false;
}

} // namespace faxsim
