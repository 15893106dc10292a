#pragma once

#include "faxcomm/core/FaxParameters.h"
#include "faxcomm/core/FaxStateHandler.h"

namespace qpfax {

class FaxReceiveEngine;

// The Class 2 and Class 2.0 states of the receive state machine: class selection and
// capabilities, waiting for rings and answering, the caller's ID and acceptance, page
// data (DLE unstuffed; bit-reversed from Class 2 modems), page status, post-page
// results and several documents per call, and the hang-up report at the end.
class Class2ReceiveStates final : public FaxStateHandler {
public:
    explicit Class2ReceiveStates(FaxReceiveEngine& engine) : engine_(engine) {}

    FaxWait WaitOf(int state) const override;
    void Run(int state, const FaxEvent& event) override;
    bool UnexpectedAnswer(int state, const std::string& line) override;

private:
    bool Class20() const;
    void Select();
    void Initialise(int state, const std::string& line);
    void WaitForCall(const std::string& line);
    void Answer();
    void Connected(const std::string& line);
    void CallerReports(const std::string& line);
    void BeforePage(const std::string& line);
    void PageStart();
    void PageData(const FaxEvent& event);
    void AfterPage(const std::string& line);
    void AfterDocument(const std::string& line);
    void StoreHangupCode(const std::string& line);
    void Negotiated(const std::string& line);

    FaxReceiveEngine& engine_;
    FaxParameters params_;
    unsigned rings_ = 0;
    bool fetSeen_ = false;
    bool pageGood_ = false;
};

} // namespace qpfax
