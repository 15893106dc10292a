#pragma once

#include <chrono>
#include <string>

#include "faxcomm/core/Class1FrameLink.h"
#include "faxcomm/core/Class1Rates.h"
#include "faxcomm/core/FaxParameters.h"
#include "faxcomm/core/FaxStateHandler.h"

namespace qpfax {

class FaxReceiveEngine;

// The Class 1 states of the receive state machine: after the rings the program answers,
// sends CSI and DIS (again, up to three times, while the caller stays silent), reads TSI
// and DCS, checks the training and answers CFR or FTT, takes each page with "AT+FRM=",
// reads the post-page message, answers MCF and waits for the caller's DCN.
class Class1ReceiveStates final : public FaxStateHandler {
public:
    // `localRates`: what the modem takes, from its "AT+FRM=?" answer.
    Class1ReceiveStates(FaxReceiveEngine& engine, Class1Rates::IndexSet localRates);

    FaxWait WaitOf(int state) const override;
    void Run(int state, const FaxEvent& event) override;
    bool UnexpectedAnswer(int state, const std::string& line) override;

private:
    void Select();
    void WaitForCall(const std::string& line);
    void Answer();
    void Answered(const FaxEvent& event);
    void SendCapabilities(const std::string& line);
    void CallerFrames(const FaxEvent& event);
    void RetryCapabilities();
    void TrainingData(const FaxEvent& event);
    void SendTrainingFailed(const std::string& line);
    void SendConfirmation(const std::string& line);
    void PageStart();
    void PageData(const FaxEvent& event);
    void PostPageFrames(const FaxEvent& event);
    void SendPageConfirmation(const std::string& line);
    void FinalFrames(const FaxEvent& event);
    // Reads frame bytes; true when a frame was complete and acted on.
    bool ReadFrameData();
    void ActOnFrame();
    // Listens for a new message; the caller's frames must come within `ticks`.
    void ListenAgain(long ticks);
    // Listens for the next frame of the message being read, within `ticks`.
    void ListenForNextFrame(long ticks);
    // Listens once more for the frame asked for last by ListenAgain, within what is left
    // of its time; false when that time is up (the caller has gone).
    bool ListenWithinDeadline();
    void SendTrainingCommand();
    void SendPageCommand();

    FaxReceiveEngine& engine_;
    Class1FrameLink link_;
    Class1Rates::IndexSet local_;
    Class1Rate rate_;
    FaxParameters params_;
    TrainingCheck training_;
    unsigned rings_ = 0;
    int capabilityTries_ = 0;
    bool morePages_ = false;
    std::chrono::steady_clock::time_point listenDeadline_{};
};

} // namespace qpfax
