#pragma once

#include "faxcomm/core/Class1FrameLink.h"
#include "faxcomm/core/Class1Rates.h"
#include "faxcomm/core/FaxParameters.h"
#include "faxcomm/core/FaxStateHandler.h"

namespace qpfax {

class FaxSendEngine;

// The Class 1 states of the send state machine: the program runs the fax procedure
// itself. It reads the called station's frames (CSI, DIS), sends TSI and DCS, trains
// with a training check and falls back one rate on FTT, sends each page with "AT+FTM=",
// ends it with MPS or EOP and acts on the answer (MCF next page, RTP next page after a
// new training, RTN the same page again one rate lower), then sends DCN and hangs up.
class Class1SendStates final : public FaxStateHandler {
public:
    // `localRates`: what the modem takes, from its "AT+FTM=?" answer.
    Class1SendStates(FaxSendEngine& engine, Class1Rates::IndexSet localRates);

    FaxWait WaitOf(int state) const override;
    void Run(int state, const FaxEvent& event) override;
    bool UnexpectedAnswer(int state, const std::string& line) override;

    int RateIndex() const { return rateIndex_; }

private:
    void DialAnswer(const std::string& line);
    void AfterTraining(const std::string& line);
    void PostPageAnswer(const FaxEvent& event);
    void ReadFrameData();
    void ActOnFrame();
    void TakeDis();
    void StepDown(bool rejectedPage);
    void SendTrainingCheck();
    void SendPostPageMessage();
    void StartPageData();
    void StartCover();
    void TextCover();
    void SendBlocks();
    void EndPageData();
    void NextPageAfter(bool retrain);
    void EnterOutputWait(int state);
    void SetRate(int index);
    void SendTrainingCommand();
    void SendPageCommand();

    FaxSendEngine& engine_;
    Class1FrameLink link_;
    Class1Rates::IndexSet local_;
    Class1Rates::IndexSet remote_ = 0;
    int rateIndex_ = 0;
    FaxParameters params_;
    bool trained_ = false;
    bool frameComing_ = false;
    int postPageTries_ = 0;
};

} // namespace qpfax
