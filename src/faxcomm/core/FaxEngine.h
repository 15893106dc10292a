#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

#include "faxcomm/core/FaxClient.h"
#include "faxcomm/core/FaxCodes.h"
#include "faxcomm/core/FaxCommandTable.h"
#include "faxcomm/core/FaxParameters.h"
#include "faxcomm/core/PortConstants.h"
#include "faxcomm/core/ResponseReader.h"

namespace qpfax {

// What a fax component sets before it starts a session. Times are in 55 ms ticks.
struct FaxEngineOptions {
    TFaxClass faxClass = fcDetect;
    std::string stationId;
    std::string modemInit;
    int initBaud = 0;
    int normalBaud = 0;
    bool abortNoConnect = false;
    bool exitOnError = false;
    bool softwareFlow = false;
    unsigned statusInterval = 1; // seconds
    int desiredBps = 9600;
    bool desiredEcm = false;
    std::string faxFileExt = "APF";
    long responseWaitTicks = 182;
    // Send side.
    bool blindDial = false;
    bool detectBusy = true;
    bool toneDial = true;
    std::string dialPrefix;
    long dialWaitTicks = 1092;
    unsigned dialAttempts = 3; // 0 = unlimited
    long dialRetryWaitTicks = 1092;
    unsigned maxSendCount = 50;
    unsigned bufferMinimum = 1000;
    std::string headerLine;
    std::string headerSender;
    std::string headerRecipient;
    std::string headerTitle;
    // Receive side.
    unsigned answerOnRing = 1;
    bool faxAndData = false;
    bool oneFax = false;
    bool constantStatus = false;
};

// The values a status display shows, copied out of a running session.
struct FaxProgress {
    int status = fsNone;
    std::string remoteId;
    int bitRate = 0;
    bool highResolution = false;
    bool wide = false;
    bool errorCorrection = false;
    int currentPage = 0;
    int totalPages = 0;
    int coverPages = 0;
    long bytesSent = 0;    // bytes of the current page handed to the port
    long pageLength = 0;   // bytes of the current page
    long bytesWaiting = 0; // of those, still in the port's output queue
    int lastError = 0;
    int hangupCode = 0;
    int dialAttempt = 1;
    std::string phoneNumber;
    std::string faxFile;
    std::string coverFile;
    FaxClassInUse faxClass = ciNone;
};

// What wakes a state machine.
enum class FaxEventKind { None, Line, Timeout, Output, Data };
struct FaxEvent {
    FaxEventKind kind = FaxEventKind::None;
    std::string line;
};

// What a state waits for before it runs: nothing (it runs at once), a complete response
// line, the timeout timer, output space (an output-buffer trigger), received data, or a
// line or the timeout, whichever comes first (the state handles its own timeout).
enum class FaxWait { Run, Line, Timer, Output, Data, LineOrTimer };

// The fax session core shared by sending and receiving: the session record, the port's
// triggers, the driving rule, the response reader, modem commands, status and error
// reporting, abort and hang-up. A derived engine supplies the states.
//
// Threads: Start and Stop run on the component's thread; the state machine runs on the
// port's dispatcher thread, one call at a time (the session lock); Abort may be called
// from any thread: it marks the session and wakes the state machine, which then reports
// status 42 and -6005 and runs its error state. Progress may be read from any thread.
class FaxEngine : public std::enable_shared_from_this<FaxEngine> {
public:
    FaxEngine(FaxClient& client, FaxEngineOptions options);
    virtual ~FaxEngine();
    FaxEngine(const FaxEngine&) = delete;
    FaxEngine& operator=(const FaxEngine&) = delete;

    // Starts the session on the open port `slot`: creates the triggers (-5001 when that
    // fails), runs the session start (class detection, modem initialisation), registers
    // the state machine on the port, runs it once and arms the status timer. 0, or the
    // error with which the start failed (nothing is left registered then).
    int Start(int slot);
    // Requests the user's abort.
    void Abort();
    // Takes the state machine off the port and frees its triggers; after the session has
    // ended (Finished), or to tear it down. Waits for a state-machine call in progress.
    void Stop();

    bool Ended() const { return ended_; }
    FaxProgress Progress() const;
    const FaxEngineOptions& Options() const { return options_; }
    int Slot() const { return slot_; }

protected:
    // Class-specific session start on the calling thread (synchronous commands).
    virtual int StartSession() = 0;
    virtual FaxWait WaitOf(int state) const = 0;
    virtual void RunState(int state, const FaxEvent& event) = 0;
    virtual int ErrorState() const = 0;
    // Tests a line for answers no state expects; true when it started error handling.
    virtual bool UnexpectedAnswer(int state, const std::string& line) = 0;

public:
    // Operations the class states use (dispatcher thread, session lock held).
    void Goto(int state) { state_ = state; }
    int State() const { return state_; }
    // Sends a command: 100 ms pause, the command and a carriage return; the response
    // line is cleared and the timeout restarted with `waitTicks` (response wait if 0).
    void SendCommand(const std::string& command, long waitTicks = 0);
    // The same without the pause, where the line does not wait (a Class 1 receive command
    // must be in place before the far end's carrier starts).
    void SendCommandAtOnce(const std::string& command, long waitTicks = 0);
    // Sends bytes as they are (no pause, no carriage return); 0 or the port's error.
    int SendRaw(const std::uint8_t* data, std::size_t size);
    int SendRaw(const std::string& text) {
        return SendRaw(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    }
    void ArmTimeout(long ticks);
    void StopTimeout();
    void ArmOutputFree(long bytes);
    void ArmOutputUsed(long bytes);
    long OutputFree() const;
    long OutputUsed() const;
    // Reads received bytes into the response line; true with a complete line.
    bool ReadLine(std::string& line);
    // Reads up to `size` received bytes; how many.
    long ReadBlock(std::uint8_t* buffer, std::size_t size);
    bool DataWaiting() const;

    void ReportStatus(int status);
    void ReportError(int code);
    // Reports the error and goes to the error state.
    void Fail(int code);
    void Log(int code);
    // The session is over: the final status report, the finish message.
    void EndSession();
    bool Aborted() const { return aborted_; }

    // Hang-up after sending (guarded "+++", "ATH", lines cycled while carrier stays) and
    // after receiving (lines dropped first).
    void HangUpAfterSend();
    // The class states tell when a call is up (connected) and when it has ended; a port
    // that reports no carrier line is then taken to have carrier while the call is up.
    void SetCallUp(bool up) { callUp_ = up; }
    // The class states tell while page data goes out: a hang-up then drops what is queued.
    void SetSendingPageData(bool sending) { sendingPageData_ = sending; }
    void HangUpAfterReceive();
    void CycleLines();
    // Waits until the port's output has left (at most `limitMs`) and a moment more for the
    // modem to read it.
    void DrainOutput(int limitMs);
    void SetSoftwareFlow(int options);
    void SwitchSpeed(int baud);

    template <typename Change>
    void Update(Change change) {
        std::lock_guard<std::mutex> lock(infoMutex_);
        change(info_);
    }
    // The session's own view of the values (dispatcher thread only).
    const FaxProgress& Info() const { return info_; }

    FaxClient& Client() { return client_; }
    FaxEngineOptions& MutableOptions() { return options_; }
    const FaxCommandTable& Commands() const { return commands_; }
    void SetClass(FaxClassInUse faxClass);
    FaxClassInUse ClassInUse() const { return classInUse_; }
    bool FirstStatusPending() const { return firstStatus_; }
    void SetFirstStatus(bool pending) { firstStatus_ = pending; }
    // Bytes read ahead that belong to the response lines; read before the port's.
    void PushBack(const std::uint8_t* data, std::size_t size) {
        readAhead_.insert(readAhead_.end(), data, data + size);
    }
    void ReportLastStatus();

    // Session start helpers (calling thread): detection when fcDetect, then ModemInit
    // and the reset command once. Returns the class or ciNone; `initOk` tells whether the
    // initialisation commands succeeded.
    FaxClassInUse DetectAndInitialise(bool& initOk, bool& detectionFailed);
    std::string ResetCommand() const;

private:
    void HandleTrigger(const qpcomm::TriggerMessage& message);
    void Drive(FaxEventKind kind);
    int CreateTriggers();
    void RemoveTriggers();
    void ArmStatusTimer();

    FaxClient& client_;
    FaxEngineOptions options_;
    int slot_ = 0;
    int handlerId_ = 0;
    int statusTimer_ = 0;
    int timeoutTimer_ = 0;
    int outFreeTrigger_ = 0;
    int outUsedTrigger_ = 0;
    int modemTrigger_ = 0;
    bool triggerLengthSet_ = false;

    std::mutex sessionMutex_; // one state-machine call at a time
    std::atomic<bool> abortRequested_{false};
    std::atomic<bool> ended_{false};
    std::atomic<bool> stopped_{false};
    bool aborted_ = false;
    bool callUp_ = false;
    bool sendingPageData_ = false;
    bool firstStatus_ = true;
    int state_ = 1;
    FaxClassInUse classInUse_ = ciNone;
    FaxCommandTable commands_;
    ResponseReader reader_;
    std::deque<std::uint8_t> readAhead_;

    mutable std::mutex infoMutex_;
    FaxProgress info_;
};

} // namespace qpfax
