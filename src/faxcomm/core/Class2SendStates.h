#pragma once

#include "faxcomm/core/FaxParameters.h"
#include "faxcomm/core/FaxStateHandler.h"

namespace qpfax {

class FaxSendEngine;

// The Class 2 and Class 2.0 states of the send state machine: class selection and local
// ID, session parameters, the dial answers, negotiation reports, page data with DLE
// stuffing and its end (DLE ETX and "AT+FET=n" in Class 2, DLE "," / DLE "." in 2.0), the
// page status and retransmission of rejected pages.
class Class2SendStates final : public FaxStateHandler {
public:
    explicit Class2SendStates(FaxSendEngine& engine) : engine_(engine) {}

    FaxWait WaitOf(int state) const override;
    void Run(int state, const FaxEvent& event) override;
    bool UnexpectedAnswer(int state, const std::string& line) override;

private:
    bool Class20() const;
    void SelectClass();
    void AfterSelect(const std::string& line);
    void SessionParameters(const std::string& line);
    void DialAnswer(const std::string& line);
    void Negotiation(const std::string& line);
    void WaitForXon(const FaxEvent& event);
    void StartPageData();
    void PageTop();
    void StartCover();
    void TextCover();
    void SendBlocks();
    void EndPageData();
    void PostPageOk(const std::string& line);
    void PageStatus(const std::string& line);
    void Retransmit(const std::string& line);
    void NextPage();
    void Class20PageResult(const std::string& line);
    void StoreHangupCode(const std::string& line);
    void EnterOutputWait(int state);

    FaxSendEngine& engine_;
    FaxParameters params_;
};

} // namespace qpfax
