#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "AtCommandLine.h"
#include "DleDecoder.h"
#include "FaxParameters.h"
#include "FaxSettings.h"
#include "ModemOptions.h"
#include "PageChecker.h"
#include "PageDelivery.h"
#include "PageIntake.h"
#include "Scheduler.h"
#include "TiffPageSource.h"
#include "TiffPageWriter.h"

// A Class 2 / Class 2.0 fax modem and the fax machine at the other end of its line, as a
// computer sees them over a serial port: AT commands with echo and result codes, the +F
// settings, outgoing calls (dial, the far end's ID and capabilities, page data taken at
// the line rate and checked with spandsp's T.4 decoder, post-page exchanges, hang-up
// codes) and incoming calls (RING, answer, page data made by spandsp's T.4 encoder and
// delivered at the line rate), with the faults of a FaultPlan.
//
// The modem does no I/O itself: whoever owns it feeds it the computer's bytes and the
// time, takes its output, and holds the computer back while HoldingComputer() is true
// (hardware flow control). Machine-readable event lines go to the event sink (grammar in
// README.md). Not thread-safe: call it from one thread.
class Class2Modem {
public:
    using Clock = std::chrono::steady_clock;
    using TimePoint = Clock::time_point;
    using EventSink = std::function<void(const std::string&)>;

    Class2Modem(ModemOptions options, EventSink events);

    // Checks the documents of --tx-tiff and the receive folder; false with `error` set.
    bool Prepare(std::string& error);

    // Bytes from the computer.
    void Receive(const std::uint8_t* data, std::size_t size, TimePoint now);
    // Runs what is due: protocol steps, paced page data, queued commands.
    void Advance(TimePoint now);
    // When Advance should run next at the latest.
    std::optional<TimePoint> NextWake(TimePoint now) const;
    // Bytes for the computer; the owner erases what it has written.
    std::string& Output() { return output_; }
    // True while the computer must not send (the modem's transmit buffer is full).
    bool HoldingComputer() const;
    // The computer's DTR line (on a pseudo-terminal: an output speed other than 0).
    void SetDtr(bool on, TimePoint now);
    // The far end calls: RING until the computer answers. `files` replace the documents of
    // --tx-tiff for this call. False with `error` set when no call can start now.
    bool StartIncomingCall(const std::vector<std::string>& files, TimePoint now,
                           std::string& error);

private:
    enum class Mode {
        Command,          // reading command lines
        Busy,             // a command is in progress; input waits
        Dialing,          // ATD in progress; any input aborts it
        Answering,        // ATA in progress; any input aborts it
        DataFromComputer, // page data after CONNECT of AT+FDT
        WaitStart,        // CONNECT of AT+FDR sent; waiting for DC2
        DataToComputer,   // page data to the computer
    };
    enum class Outcome { Ok, Error, Deferred };

    struct Call {
        bool up = false;
        bool outgoing = false;
        int number = 0;
        int pagesDone = 0;
        int transfers = 0;
        int currentPage = 0;
        bool trained = false;
        FaxParameters dcs;
        long protocolMs = 0;
        long dataMs = 0;
        // Outgoing: pages from the computer.
        bool awaitingPostPage = false; // Class 2 / DLE ETX: waiting for AT+FET
        bool lineLost = false;
        bool cancelPage = false;
        bool cutPage = false;
        PageChecker::Result lastPage;
        long lastPageMs = 0;
        std::vector<TiffPageWriter::Page> received;
        std::string tiffPath;
        // Incoming: pages to the computer.
        TiffPageSource source;
        int document = 0;
        int page = 0;
        bool awaitingDecision = false;
        std::size_t lastSentBytes = 0;
        long lastSentMs = 0;
    };

    // Input.
    void ProcessCommandBytes(const std::uint8_t* data, std::size_t size);
    void ProcessDataToComputerInput(const std::uint8_t* data, std::size_t size);
    void DrainQueued();
    void HandleLine(const std::string& line);
    Outcome Execute(const AtCommand& command);
    Outcome ExecuteBasic(const AtCommand& command);
    Outcome ExecuteFaxAction(const AtCommand& command);

    // Outgoing calls.
    Outcome Dial(const std::string& dialString);
    void ConnectOutgoing();
    Outcome TransmitPage();
    void AdvanceIntake();
    void PageDataEnded(DleDecoder::Marker marker);
    Outcome PostPageCommand(const std::string& argument);
    void PostPage(int message, bool fromMarker);
    void StoreReceivedPage(int page, int status);
    FaxParameters FarEndCapabilities() const;

    // Incoming calls.
    void RingOnce();
    Outcome Answer();
    void ConnectIncoming();
    Outcome ReceivePage();
    void StartDelivery();
    void AdvanceDelivery();
    void DeliveryEnded();
    FaxParameters ParametersForPage(int document, int page) const;
    int PostPageMessageAfter(int document, int page) const;
    std::vector<std::uint8_t> PageDataFor(int document, int page, const FaxParameters& dcs);

    // Call end.
    Outcome HangUp();
    Outcome Kill();
    void EndCall(int hangupCode, const std::string& finalResult, const std::string& reason);
    void FinishCall(const std::string& hangup, const std::string& reason);
    void ResetModem();

    // Output.
    void Result(const std::string& word);
    void Report(const std::string& text);
    void Send(const std::string& bytes) { output_ += bytes; }
    void Event(const std::string& text);
    std::string Quoted(const std::string& id) const;
    std::string HangupPrefix() const;
    std::string ClassName() const;

    // Time.
    Clock::duration Scaled(int milliseconds) const;
    int Later(int milliseconds, std::function<void()> action);
    void Busy(int milliseconds, std::function<void()> action);

    ModemOptions options_;
    EventSink events_;
    FaxSettings settings_;
    FaultPlan faults_;
    Scheduler scheduler_;
    TimePoint now_{};
    std::string output_;
    Mode mode_ = Mode::Command;
    std::string line_;
    bool lineOverflow_ = false;
    std::string queued_;
    bool echo_ = true;
    bool quiet_ = false;
    bool verbose_ = true;
    int xLevel_ = 4;
    std::map<int, int> registers_;
    bool dtr_ = true;

    Call call_;
    int callCounter_ = 0;
    int pendingId_ = 0;
    int xonId_ = 0;
    int startWaitId_ = 0;
    PageIntake intake_;
    bool xoffSent_ = false;
    PageDelivery delivery_;
    bool deliveryCut_ = false;
    bool deliveryCancel_ = false;

    bool ringing_ = false;
    int ringCount_ = 0;
    int ringId_ = 0;
    std::vector<std::string> ringFiles_;

    std::map<std::tuple<int, int, int>, std::vector<std::uint8_t>> encoded_;
};
