#pragma once

#include <memory>
#include <string>
#include <vector>

#include "faxcomm/core/DleCodec.h"
#include "faxcomm/core/FaxEngine.h"
#include "faxcomm/core/FaxParameters.h"
#include "faxcomm/core/FaxStateHandler.h"
#include "faxcomm/core/ReceivedFaxFile.h"

namespace qpfax {

// The receive state machine: waits for calls, answers, lets the component accept or
// refuse the caller and writes every received document into an APF file of its own. The
// driver runs the states every class shares: 35 (call finished) and 36 (error); the class
// handler runs the rest. Class 2 and 2.0 states are in Class2ReceiveStates.
class FaxReceiveEngine final : public FaxEngine {
public:
    enum SharedState : int { rsCallFinished = 35, rsError = 36 };

    FaxReceiveEngine(FaxClient& client, FaxEngineOptions options);
    ~FaxReceiveEngine() override;

    // Helpers for the class states (dispatcher thread).
    // Resets the per-call values (page 0, no remote ID, no file).
    void ResetCall();
    // Asks whether to take the call; accepted: creates the first file (status 41, log 4).
    // Refused: "AT+FKS", -6011, hang-up, log 6. False when the call does not go on.
    bool AcceptCall(const std::string& remoteId);
    bool CallAccepted() const { return accepted_; }
    // Starts a page as the last post-page result says (page header, or a new file first).
    int StartPage(const FaxParameters& params);
    // Takes page data; true at DLE ETX (the page's data then written).
    int TakePageData(bool& ended);
    void FinishPage();
    void DiscardPage();
    // Ends the document: file closed, log 5, name cleared.
    void EndDocument();
    void SetPostPageResult(char digit) { postPageResult_ = digit; }
    char PostPageResult() const { return postPageResult_; }
    void HungUp() { hungUp_ = true; }

protected:
    int StartSession() override;
    FaxWait WaitOf(int state) const override;
    void RunState(int state, const FaxEvent& event) override;
    int ErrorState() const override { return rsError; }
    bool UnexpectedAnswer(int state, const std::string& line) override;

private:
    int CreateFile();
    int FlushPageBuffer();
    void CallFinished();
    void CallFailed();

    std::unique_ptr<FaxStateHandler> classStates_;
    ReceivedFaxFile file_;
    DleUnstuffer unstuffer_;
    std::vector<std::uint8_t> pageBuffer_;
    char postPageResult_ = '0';
    bool accepted_ = false;
    bool hungUp_ = false;
    int pagesDone_ = 0;
};

} // namespace qpfax
