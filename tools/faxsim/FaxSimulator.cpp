#include "FaxSimulator.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <unistd.h>

#include <spandsp.h>

#include "EventSink.h"
#include "FarEndTerminal.h"
#include "LinePath.h"
#include "TiffJoiner.h"

namespace faxsim {

namespace {

constexpr double kRingCycleSeconds = 5;
constexpr double kAnswerAfterRingSeconds = 2;
constexpr double kBusyToneSeconds = 2.5;
constexpr double kNoDialtoneSeconds = 2;
constexpr double kFarEndHangUpSeconds = 2;
constexpr double kOtherSideHangUpSeconds = 0.5;

void LogToStandardError(int, const char* text) {
    std::fputs(text, stderr);
}

std::vector<std::string> SplitFiles(const std::string& text) {
    std::vector<std::string> files;
    std::string item;
    for (char c : text + ",") {
        if (c == ',' || c == ' ' || c == '\t') {
            if (!item.empty()) {
                files.push_back(item);
            }
            item.clear();
        } else {
            item += c;
        }
    }
    return files;
}

std::string TemporaryFile(const std::string& prefix) {
    std::error_code ignored;
    std::string pattern =
        (std::filesystem::temp_directory_path(ignored) / (prefix + "XXXXXX.tif")).string();
    const int fd = ::mkstemps(pattern.data(), 4);
    if (fd < 0) {
        return {};
    }
    ::close(fd);
    return pattern;
}

} // namespace

FaxSimulator::FaxSimulator(SimOptions options, EventSink& events)
    : options_(std::move(options)), events_(events), busyLeft_(options_.exchange.busyCount) {
    // spandsp's own messages must never reach standard output, which carries the events.
    span_set_message_handler(LogToStandardError);
    if (::pipe2(stopPipe_, O_NONBLOCK | O_CLOEXEC) != 0) {
        stopPipe_[0] = stopPipe_[1] = -1;
    }
}

FaxSimulator::~FaxSimulator() {
    Shutdown();
    for (int fd : stopPipe_) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

bool FaxSimulator::Start(std::string* error) {
    if (!options_.farEnd.rxDir.empty()) {
        std::error_code problem;
        std::filesystem::create_directories(options_.farEnd.rxDir, problem);
        if (problem) {
            *error = "cannot create " + options_.farEnd.rxDir + ": " + problem.message();
            return false;
        }
    }
    std::vector<std::string> links = {options_.link};
    if (options_.TwoModems()) {
        links.push_back(options_.link2);
    }
    std::string ready = "ready";
    for (std::size_t i = 0; i < links.size(); ++i) {
        ClassOneModem::Settings settings;
        settings.label = options_.TwoModems() ? " port=" + std::to_string(i + 1) : "";
        settings.rates = options_.modemRates;
        settings.dteTimeout = std::chrono::seconds(options_.dteTimeoutS);
        settings.verbose = options_.verbose;
        ModemListener& listener = *this;
        auto modem = std::make_unique<ClassOneModem>(settings, events_, listener);
        if (!modem->Open(links[i], error)) {
            modems_.clear();
            return false;
        }
        modem->failTraining = [this] { return TakeTrainingFailure(); };
        modem->damagePage = [this] {
            if (pageDamageLeft_ <= 0) {
                return false;
            }
            --pageDamageLeft_;
            return true;
        };
        modems_.push_back(std::move(modem));
        ready += " " + links[i];
    }
    toModem_ = std::make_unique<LinePath>(options_.line, options_.line.seed);
    toFar_ = std::make_unique<LinePath>(options_.line, options_.line.seed + 1);
    events_.Event(ready);
    return true;
}

void FaxSimulator::RequestStop() {
    if (stopPipe_[1] >= 0) {
        const char byte = 'x';
        [[maybe_unused]] const ssize_t ignored = ::write(stopPipe_[1], &byte, 1);
    }
}

int FaxSimulator::Run(int commandFd) {
    using Clock = std::chrono::steady_clock;
    running_ = true;
    auto last = Clock::now();
    double owed = 0; // samples of line time due
    while (running_) {
        const auto now = Clock::now();
        const double elapsed = std::chrono::duration<double>(now - last).count();
        last = now;
        bool fast = MayRunFast();
        double rate = fast ? options_.timeFactor : 1.0;
        // A busy machine may fall behind; catch up at most one second of line time.
        owed = std::min(owed + elapsed * kSampleRate * rate, kSampleRate * rate);
        while (owed >= kSamplesPerStep && running_) {
            Step(now);
            owed -= kSamplesPerStep;
            if (fast && !MayRunFast()) {
                fast = false;
                rate = 1.0;
                owed = std::min(owed, static_cast<double>(kSamplesPerStep));
            }
        }
        const double samplesPerMs = kSampleRate * rate / 1000.0;
        const int timeout =
            std::max(1, static_cast<int>(std::ceil((kSamplesPerStep - owed) / samplesPerMs)));
        pollfd fds[2] = {{stopPipe_[0], POLLIN, 0}, {commandFd, POLLIN, 0}};
        const nfds_t count = commandFd >= 0 ? 2 : 1;
        if (::poll(fds, count, timeout) > 0) {
            if (fds[0].revents & POLLIN) {
                running_ = false;
            }
            if (count > 1 && (fds[1].revents & (POLLIN | POLLHUP | POLLERR))) {
                ReadCommands(commandFd);
            }
        }
    }
    Shutdown();
    return 0;
}

void FaxSimulator::ReadCommands(int fd) {
    char buffer[512];
    const ssize_t count = ::read(fd, buffer, sizeof buffer);
    if (count < 0 && (errno == EAGAIN || errno == EINTR)) {
        return;
    }
    if (count <= 0) {
        running_ = false; // end of input
        return;
    }
    commandBuffer_.append(buffer, static_cast<std::size_t>(count));
    std::size_t end;
    while (running_ && (end = commandBuffer_.find('\n')) != std::string::npos) {
        const std::string line = commandBuffer_.substr(0, end);
        commandBuffer_.erase(0, end + 1);
        if (!HandleCommand(line)) {
            running_ = false;
        }
    }
}

bool FaxSimulator::HandleCommand(const std::string& text) {
    std::string line = text;
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) {
        line.pop_back();
    }
    const auto space = line.find(' ');
    const std::string word = line.substr(0, space);
    const std::string rest = space == std::string::npos ? "" : line.substr(space + 1);
    if (word.empty()) {
        return true;
    }
    if (word == "quit") {
        return false;
    }
    if (word == "call" || word == "ring") {
        if (options_.TwoModems()) {
            events_.Event("error call needs the far-end fax terminal (no --link2)");
        } else {
            StartIncomingCall(word == "call" ? rest : "");
        }
    } else if (word == "hangup") {
        if (call_.phase == Phase::RingingIn) {
            events_.Event("hangup far");
            GiveUpRinging();
        } else if (call_.phase == Phase::Connected || call_.phase == Phase::Dropping) {
            if (farEnd_) {
                farEnd_->Terminate();
            }
            DropLine(options_.TwoModems() ? "line" : "far");
        } else {
            events_.Event("error no call");
        }
    } else {
        events_.Event("error unknown command " + Quoted(word));
    }
    return true;
}

void FaxSimulator::Step(std::chrono::steady_clock::time_point now) {
    for (auto& modem : modems_) {
        modem->ReadFromComputer(now);
    }
    ExchangeAudio();
    samples_ += kSamplesPerStep;
    AdvanceCall();
    for (auto& modem : modems_) {
        modem->WriteToComputer();
    }
}

bool FaxSimulator::MayRunFast() const {
    if (options_.timeFactor <= 1.0) {
        return false;
    }
    if (call_.phase != Phase::Connected && call_.phase != Phase::Dropping) {
        return true;
    }
    for (const ClassOneModem* modem : {call_.caller, call_.callee}) {
        if (modem && !modem->ComputerWaits()) {
            return false;
        }
    }
    return true;
}

std::int64_t FaxSimulator::Seconds(double seconds) const {
    return static_cast<std::int64_t>(seconds * kSampleRate);
}

ClassOneModem* FaxSimulator::Other(ClassOneModem& modem) {
    for (auto& candidate : modems_) {
        if (candidate.get() != &modem) {
            return candidate.get();
        }
    }
    return nullptr;
}

DialPlan FaxSimulator::PlanFor(const std::string& number) {
    if (busyLeft_ > 0) {
        --busyLeft_;
        return {DialOutcome::Busy, 1};
    }
    if (const auto plan = options_.exchange.numberRules.Match(number)) {
        return *plan;
    }
    return options_.exchange.plan;
}

bool FaxSimulator::TakeTrainingFailure() {
    if (trainingFailuresLeft_ <= 0) {
        return false;
    }
    --trainingFailuresLeft_;
    return true;
}

void FaxSimulator::OnDial(ClassOneModem& modem, const std::string& number) {
    events_.Event("dial " + number + modem.Label());
    if (call_.phase != Phase::Idle) {
        DialFailed(modem, "busy");
        modem.Busy();
        return;
    }
    call_ = Call{};
    call_.caller = &modem;
    call_.callee = options_.TwoModems() ? Other(modem) : nullptr;
    call_.plan = PlanFor(number);
    call_.phase = Phase::Dialling;
    const double dialling =
        call_.plan.outcome == DialOutcome::NoDialtone
            ? kNoDialtoneSeconds
            : 1.0 + 0.1 * static_cast<double>(NumberRules::Digits(number).size());
    call_.dialEnd = samples_ + Seconds(dialling);
    call_.giveUpAt = samples_ + Seconds(modem.CarrierWaitSeconds());
    call_.answerAt = call_.dialEnd +
                     Seconds(kRingCycleSeconds * (call_.plan.rings - 1) + kAnswerAfterRingSeconds);
    if (call_.plan.outcome == DialOutcome::Busy) {
        call_.answerAt = call_.dialEnd + Seconds(kBusyToneSeconds);
    }
}

void FaxSimulator::OnAnswer(ClassOneModem& modem) {
    events_.Event("answer" + modem.Label());
    if (call_.phase == Phase::RingingIn && call_.callee == &modem) {
        Connect(true);
    } else if (call_.phase == Phase::RingingOut && call_.callee == &modem &&
               call_.plan.outcome != DialOutcome::Busy) {
        Connect(false); // the other computer answers, whatever the number rules say
    } else {
        // Off hook on a quiet line: nobody is there.
        events_.Event("no-caller" + modem.Label());
        if (call_.phase == Phase::Idle) {
            call_ = Call{};
            call_.callee = &modem;
            call_.phase = Phase::Connected;
        }
        modem.IncomingAnswered();
    }
}

void FaxSimulator::OnHangUp(ClassOneModem& modem, const std::string& reason) {
    const bool inCall =
        call_.phase != Phase::Idle && (call_.caller == &modem || call_.callee == &modem);
    const bool ringingHere = call_.phase == Phase::RingingIn ||
                             (call_.phase == Phase::RingingOut && call_.callee == &modem);
    if (!inCall || ringingHere) {
        if (reason != "dtr") {
            events_.Event("hangup " + reason + modem.Label());
        }
        return; // on hook already; a ringing call goes on ringing
    }
    events_.Event("hangup " + reason + modem.Label());
    if (reason != "computer") {
        modem.LineDropped(); // ATH has put the modem on hook itself
    }
    const bool connected = call_.phase == Phase::Connected || call_.phase == Phase::Dropping;
    if (!connected && call_.caller == &modem) {
        events_.Event("result error aborted" + modem.Label()); // while dialling
    }
    if (call_.caller == &modem) {
        call_.caller = nullptr;
    }
    if (call_.callee == &modem) {
        call_.callee = nullptr;
    }
    if (connected && (call_.caller || call_.callee)) {
        // The other computer's modem notices shortly after.
        call_.phase = Phase::Dropping;
        call_.dropAt = samples_ + Seconds(kOtherSideHangUpSeconds);
        return;
    }
    if (connected && farEnd_) {
        farEnd_->Terminate();
    }
    EndCall();
}

void FaxSimulator::StartIncomingCall(const std::string& fileList) {
    if (call_.phase != Phase::Idle) {
        events_.Event("error line busy");
        return;
    }
    std::vector<std::string> files = SplitFiles(fileList);
    if (files.empty()) {
        files = options_.farEnd.txTiffs;
    }
    if (files.empty()) {
        events_.Event("error call needs pages: call FILE.tif or --tx-tiff");
        return;
    }
    int pages = 0;
    for (const std::string& file : files) {
        const int count = CountTiffPages(file);
        if (count <= 0) {
            events_.Event("error cannot read " + Quoted(file));
            return;
        }
        pages += count;
    }
    Call call;
    call.txFile = files.front();
    if (files.size() > 1) {
        call.txFile = TemporaryFile("faxsim-tx-");
        call.txFileTemporary = true;
        std::string problem;
        if (call.txFile.empty() || !JoinTiffPages(files, call.txFile, &problem)) {
            events_.Event("error " + problem);
            std::error_code ignored;
            std::filesystem::remove(call.txFile, ignored);
            return;
        }
    }
    call.phase = Phase::RingingIn;
    call.callee = modems_.front().get();
    call.nextRingAt = samples_;
    call_ = call;
    events_.Event("call pages=" + std::to_string(pages));
}

void FaxSimulator::AdvanceCall() {
    switch (call_.phase) {
    case Phase::Idle:
        break;
    case Phase::Dialling:
        if (samples_ < call_.dialEnd) {
            break;
        }
        if (call_.plan.outcome == DialOutcome::NoDialtone) {
            DialFailed(*call_.caller, "no-dialtone");
            call_.caller->NoDialtone();
            EndCall();
            break;
        }
        call_.phase = Phase::RingingOut;
        call_.nextRingAt = samples_;
        break;
    case Phase::RingingOut:
        AdvanceRingingOut();
        break;
    case Phase::RingingIn:
        if (samples_ >= call_.nextRingAt) {
            if (call_.rings >= options_.exchange.ringLimit) {
                GiveUpRinging();
                break;
            }
            ++call_.rings;
            events_.Event("ring " + std::to_string(call_.rings) + call_.callee->Label());
            call_.callee->Ring();
            call_.nextRingAt += Seconds(kRingCycleSeconds);
        }
        break;
    case Phase::Connected:
        if (farEnd_ && farEnd_->Finished()) {
            call_.phase = Phase::Dropping;
            call_.dropAt = samples_ + Seconds(kFarEndHangUpSeconds);
        }
        break;
    case Phase::Dropping:
        if (samples_ >= call_.dropAt) {
            DropLine(options_.TwoModems() ? "line" : "far");
        }
        break;
    }
}

void FaxSimulator::AdvanceRingingOut() {
    ClassOneModem* caller = call_.caller;
    if (call_.plan.outcome == DialOutcome::Busy) {
        if (samples_ >= call_.answerAt) {
            DialFailed(*caller, "busy");
            caller->Busy();
            EndCall();
        }
        return;
    }
    if (samples_ >= call_.giveUpAt) {
        DialFailed(*caller, "no-answer");
        caller->NoAnswer();
        EndCall();
        return;
    }
    if (call_.plan.outcome == DialOutcome::Answer && !call_.callee && samples_ >= call_.answerAt) {
        Connect(false);
        return;
    }
    if (samples_ >= call_.nextRingAt) {
        ++call_.rings;
        if (call_.callee) {
            events_.Event("ring " + std::to_string(call_.rings) + call_.callee->Label());
            call_.callee->Ring();
        } else {
            events_.Event("ringback " + std::to_string(call_.rings) + caller->Label());
        }
        call_.nextRingAt += Seconds(kRingCycleSeconds);
    }
}

void FaxSimulator::Connect(bool farEndCalls) {
    toModem_->Clear();
    toFar_->Clear();
    trainingFailuresLeft_ = options_.farEnd.failTraining;
    pageDamageLeft_ = options_.farEnd.damagePages;
    ++callNumber_;
    if (options_.TwoModems()) {
        events_.Event("connect outgoing" + call_.caller->Label());
        events_.Event("connect incoming" + call_.callee->Label());
        call_.caller->OutgoingAnswered();
        call_.callee->IncomingAnswered();
        call_.phase = Phase::Connected;
        return;
    }
    ClassOneModem& modem = *modems_.front();
    std::string file = call_.txFile;
    bool temporary = false;
    if (!farEndCalls) {
        file = ReceiveFileName(&temporary);
    }
    events_.Event(farEndCalls ? "connect incoming" : "connect outgoing");
    farEnd_ = std::make_unique<FarEndTerminal>(options_.farEnd, farEndCalls, file, temporary,
                                               events_, options_.verbose);
    farEnd_->onDcsSent = [this] {
        if (TakeTrainingFailure()) {
            events_.Event("tcf damaged");
            modems_.front()->DamageNextReceivedData();
        }
    };
    if (farEndCalls) {
        modem.IncomingAnswered();
    } else {
        modem.OutgoingAnswered();
    }
    call_.phase = Phase::Connected;
}

void FaxSimulator::ExchangeAudio() {
    std::int16_t toModem1[kSamplesPerStep];
    std::int16_t fromModem1[kSamplesPerStep];
    const bool connected = call_.phase == Phase::Connected || call_.phase == Phase::Dropping;
    ClassOneModem& modem1 = *modems_.front();
    const bool modem1OnLine = connected && (call_.caller == &modem1 || call_.callee == &modem1);

    if (options_.TwoModems()) {
        ClassOneModem& modem2 = *modems_.back();
        const bool modem2OnLine = connected && (call_.caller == &modem2 || call_.callee == &modem2);
        std::int16_t fromModem2[kSamplesPerStep];
        modem1.Transmit(fromModem1, kSamplesPerStep);
        modem2.Transmit(fromModem2, kSamplesPerStep);
        if (!modem1OnLine) {
            std::fill(std::begin(fromModem1), std::end(fromModem1), 0);
        }
        if (!modem2OnLine) {
            std::fill(std::begin(fromModem2), std::end(fromModem2), 0);
        }
        if (connected) {
            toFar_->Carry(fromModem1, kSamplesPerStep);
            toModem_->Carry(fromModem2, kSamplesPerStep);
        }
        // After the line each modem hears the other one, or silence when it is on hook.
        std::int16_t* heardBy1 = fromModem2;
        std::int16_t* heardBy2 = fromModem1;
        if (!modem1OnLine) {
            std::fill(heardBy1, heardBy1 + kSamplesPerStep, 0);
        }
        if (!modem2OnLine) {
            std::fill(heardBy2, heardBy2 + kSamplesPerStep, 0);
        }
        modem1.Receive(heardBy1, kSamplesPerStep);
        modem2.Receive(heardBy2, kSamplesPerStep);
        return;
    }

    if (farEnd_) {
        farEnd_->Transmit(toModem1, kSamplesPerStep);
    } else {
        std::fill(std::begin(toModem1), std::end(toModem1), 0);
    }
    if (connected) {
        toModem_->Carry(toModem1, kSamplesPerStep);
    }
    if (!modem1OnLine) {
        std::fill(std::begin(toModem1), std::end(toModem1), 0);
    }
    modem1.Receive(toModem1, kSamplesPerStep);
    modem1.Transmit(fromModem1, kSamplesPerStep);
    if (!modem1OnLine) {
        std::fill(std::begin(fromModem1), std::end(fromModem1), 0);
    }
    if (connected) {
        toFar_->Carry(fromModem1, kSamplesPerStep);
    }
    if (farEnd_) {
        farEnd_->Receive(fromModem1, kSamplesPerStep);
    }
}

void FaxSimulator::DropLine(const std::string& who) {
    events_.Event("hangup " + who);
    for (ClassOneModem* modem : {call_.caller, call_.callee}) {
        if (modem) {
            modem->LineDropped();
        }
    }
    EndCall();
}

void FaxSimulator::DialFailed(ClassOneModem& modem, const std::string& outcome) {
    events_.Event(outcome + modem.Label());
    events_.Event("result error " + outcome + modem.Label());
}

void FaxSimulator::GiveUpRinging() {
    events_.Event("unanswered rings=" + std::to_string(call_.rings));
    events_.Event("result error " + std::to_string(T30_ERR_T0_EXPIRED) + " " +
                  t30_completion_code_to_str(T30_ERR_T0_EXPIRED));
    EndCall();
}

void FaxSimulator::EndCall() {
    farEnd_.reset(); // a terminal still running reports its result now
    if (call_.txFileTemporary) {
        std::error_code ignored;
        std::filesystem::remove(call_.txFile, ignored);
    }
    const bool hadCall = call_.phase != Phase::Idle;
    call_ = Call{};
    if (hadCall) {
        events_.Event("call end");
    }
}

std::string FaxSimulator::ReceiveFileName(bool* temporary) {
    *temporary = false;
    if (!options_.farEnd.rxTiff.empty()) {
        return options_.farEnd.rxTiff;
    }
    if (options_.farEnd.rxDir.empty()) {
        *temporary = true;
        return TemporaryFile("faxsim-rx-");
    }
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    const std::filesystem::path dir = options_.farEnd.rxDir;
    char name[64];
    std::snprintf(name, sizeof name, "rx-%s-%03d.tif", stamp, callNumber_);
    std::filesystem::path path = dir / name;
    for (int n = 2; std::filesystem::exists(path); ++n) {
        std::snprintf(name, sizeof name, "rx-%s-%03d-%d.tif", stamp, callNumber_, n);
        path = dir / name;
    }
    return path.string();
}

void FaxSimulator::Shutdown() {
    if (shutDown_) {
        return;
    }
    shutDown_ = true;
    if (farEnd_) {
        farEnd_->Terminate();
    }
    EndCall();
    for (auto& modem : modems_) {
        modem->Close();
    }
}

} // namespace faxsim
