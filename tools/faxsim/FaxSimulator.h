#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ClassOneModem.h"
#include "SimOptions.h"

namespace faxsim {

class EventSink;
class FarEndTerminal;
class LinePath;

// The simulated fax line: one Class 1 modem whose line leads to a far-end fax terminal,
// or two modems whose lines lead to each other, plus the exchange between them (dialling,
// ringing, busy, no answer, hang-up). Line time advances in 20 ms steps of 160 samples;
// Run() paces them in real time, and runs up to the time factor faster only while every
// computer is waiting for its modem (no call, dialling, ringing, or a receive command in
// progress), never while a modem or the far end waits for a computer's data.
// Single-threaded; only RequestStop() may be called from elsewhere (a signal handler).
class FaxSimulator final : private ModemListener {
public:
    static constexpr int kSamplesPerStep = 160;
    static constexpr int kSampleRate = 8000;

    FaxSimulator(SimOptions options, EventSink& events);
    ~FaxSimulator() override;
    FaxSimulator(const FaxSimulator&) = delete;
    FaxSimulator& operator=(const FaxSimulator&) = delete;

    // Creates the pseudo-terminal(s) and reports "ready PATH [PATH2]".
    bool Start(std::string* error);
    // Runs until "quit", the end of `commandFd` (standard input; -1 for none) or
    // RequestStop(); then ends any call and removes the pseudo-terminals. Returns 0.
    int Run(int commandFd);
    // Makes Run() return soon. Async-signal-safe.
    void RequestStop();

    // One command line: "call [FILE,…]", "hangup", "quit". False for "quit".
    bool HandleCommand(const std::string& line);
    // One 20 ms step of line time.
    void Step(std::chrono::steady_clock::time_point now);
    // True while line time may run faster than real time.
    bool MayRunFast() const;
    // Line time so far, in samples.
    std::int64_t Samples() const { return samples_; }
    // Ends any call (the far end reports its result) and closes the modems.
    void Shutdown();

private:
    enum class Phase { Idle, Dialling, RingingOut, RingingIn, Connected, Dropping };

    struct Call {
        Phase phase = Phase::Idle;
        ClassOneModem* caller = nullptr; // the modem that dialled (none: the far end calls)
        ClassOneModem* callee = nullptr; // the modem being called (incoming or two-modem)
        DialPlan plan;
        std::int64_t dialEnd = 0;
        std::int64_t answerAt = 0;
        std::int64_t giveUpAt = 0;
        std::int64_t nextRingAt = 0;
        std::int64_t dropAt = 0;
        int rings = 0;
        std::string txFile;
        bool txFileTemporary = false;
    };

    // ModemListener
    void OnDial(ClassOneModem& modem, const std::string& number) override;
    void OnAnswer(ClassOneModem& modem) override;
    void OnHangUp(ClassOneModem& modem, const std::string& reason) override;

    DialPlan PlanFor(const std::string& number);
    ClassOneModem* Other(ClassOneModem& modem);
    void StartIncomingCall(const std::string& files);
    void Connect(bool farEndCalls);
    void AdvanceCall();
    void AdvanceRingingOut();
    void ExchangeAudio();
    void EndCall();
    void DropLine(const std::string& who);
    void DialFailed(ClassOneModem& modem, const std::string& outcome);
    void GiveUpRinging();
    std::string ReceiveFileName(bool* temporary);
    std::int64_t Seconds(double seconds) const;
    bool TakeTrainingFailure();
    void ReadCommands(int fd);

    SimOptions options_;
    EventSink& events_;
    std::vector<std::unique_ptr<ClassOneModem>> modems_;
    std::unique_ptr<FarEndTerminal> farEnd_;
    std::unique_ptr<LinePath> toModem_; // far end (or modem 2) towards modem 1
    std::unique_ptr<LinePath> toFar_;   // modem 1 towards the far end (or modem 2)
    Call call_;
    int busyLeft_ = 0;
    int callNumber_ = 0; // connected calls so far, for the names of received files
    int trainingFailuresLeft_ = 0;
    int pageDamageLeft_ = 0;
    std::int64_t samples_ = 0;
    bool running_ = false;
    int stopPipe_[2] = {-1, -1};
    std::string commandBuffer_;
    bool shutDown_ = false;
};

} // namespace faxsim
