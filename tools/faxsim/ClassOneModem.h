#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "DteInput.h"
#include "ModemOutput.h"
#include "PseudoTerminal.h"

struct t31_state_s;
struct at_state_s;

namespace faxsim {

class EventSink;
class ClassOneModem;

// What the modem asks of the simulated exchange.
class ModemListener {
public:
    virtual ~ModemListener() = default;
    virtual void OnDial(ClassOneModem& modem, const std::string& number) = 0;
    virtual void OnAnswer(ClassOneModem& modem) = 0;
    // The computer ended the call: "computer" (ATH), "dtr" (dropped DTR), "abort" (a key
    // during dialling or answering) or "stall" (no data while the modem waited for it).
    virtual void OnHangUp(ClassOneModem& modem, const std::string& reason) = 0;
};

// spandsp's T.31 Class 1 fax modem behind a pseudo-terminal. It hands the computer's
// input to the modem one command line, frame or small data block at a time, follows the
// modem's answers, and works around what the simulated line needs of spandsp 0.0.6:
// over-long frames are refused with ERROR; a call dropped while the modem still owes a
// final result ends with NO CARRIER; duplicate CONNECTs are dropped (see ModemOutput);
// a modem that stays in receive mode after its final result is quietly stopped before
// the next command (spandsp would take the command's first byte as an abort);
// the input is not read while the modem holds CTS off (so the computer's writes block);
// a computer that stalls while the modem waits for its data loses the call.
// Single-threaded: every call comes from the simulator's loop.
class ClassOneModem {
public:
    struct Settings {
        std::string label;              // suffix for event lines ("" or " port=2")
        std::vector<std::string> rates; // modulation codes offered (empty: spandsp's own)
        std::chrono::seconds dteTimeout{10};
        bool verbose = false;
    };

    ClassOneModem(Settings settings, EventSink& events, ModemListener& listener);
    ~ClassOneModem();
    ClassOneModem(const ClassOneModem&) = delete;
    ClassOneModem& operator=(const ClassOneModem&) = delete;

    bool Open(const std::string& linkPath, std::string* error);
    void Close();
    const std::string& LinkPath() const { return pty_.LinkPath(); }

    // Reads what the computer wrote and hands it to the modem. Called once per 20 ms of
    // line time, before the audio of that step.
    void ReadFromComputer(std::chrono::steady_clock::time_point now);
    // Writes the modem's output to the computer; called at the end of each step.
    void WriteToComputer();

    // Line audio: what the modem hears, and what it sends (zero-padded to `count`).
    void Receive(std::int16_t* samples, int count);
    void Transmit(std::int16_t* samples, int count);

    // Events of the line.
    void Ring();
    void OutgoingAnswered();
    void IncomingAnswered();
    void Busy();
    void NoDialtone();
    void NoAnswer();
    // The line has gone (far end hung up, or the call was ended): the modem goes on hook.
    void LineDropped();

    // The next data the modem receives for the computer is a training check to damage.
    void DamageNextReceivedData() { output_.GarbleNextData(); }
    // Asked when the computer starts sending a training check: true damages it.
    std::function<bool()> failTraining;
    // Asked when the computer starts sending page data: true damages the page.
    std::function<bool()> damagePage;

    // True while the computer only waits for the modem (no data of its own is due).
    bool ComputerWaits() const { return output_.ComputerWaits(); }
    const std::string& Label() const { return settings_.label; }
    // How long the modem waits for the far end to answer a call (register S7), in seconds.
    int CarrierWaitSeconds() const;

private:
    static int AtTx(at_state_s* state, void* user, const std::uint8_t* bytes, std::size_t count);
    static int Control(t31_state_s* state, void* user, int op, const char* number);

    DteInput::Mode CurrentMode() const;
    bool CallAttemptPending() const;
    bool StillReceiving() const;
    void ReadComputer();
    void FeedModem();
    void Handle(DteInput::Piece& piece);
    void HandleCommand(const DteInput::Piece& piece);
    bool Intercept(const std::string& line, const AtCommand& command);
    void DispatchControls();
    void WatchDtr();
    void WatchStall(std::chrono::steady_clock::time_point now);
    void Emit(const std::string& text);
    void ModemInput(const std::string& bytes);

    struct ControlRequest {
        enum class Type { Dial, Answer, HangUp } type;
        std::string number;
    };

    Settings settings_;
    std::string logTag_; // spandsp may keep the pointer
    EventSink& events_;
    ModemListener& listener_;
    PseudoTerminal pty_;
    t31_state_s* t31_ = nullptr;
    DteInput input_;
    ModemOutput output_;
    std::string toComputer_;
    bool overrunReported_ = false;
    std::vector<ControlRequest> controls_;
    bool cts_ = true;
    bool dtrLow_ = false;
    int dtrCheckCountdown_ = 0;
    std::string lastCommandLine_;
    bool lastFrameWasDcs_ = false;
    bool dataStarted_ = false;
    bool damagingData_ = false;
    std::chrono::steady_clock::time_point waitingSince_{};
    bool stallReported_ = false;
};

} // namespace faxsim
