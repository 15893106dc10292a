#pragma once

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "faxcomm/core/FaxEngine.h"
#include "faxcomm/core/FaxStateHandler.h"
#include "faxcomm/core/FaxTextRenderer.h"
#include "faximage/core/ApfPageHeader.h"
#include "faximage/core/ApfReader.h"

namespace qpfax {

// The send state machine: one fax after another as the component names them, each dialed,
// negotiated, sent page by page (a cover first, a header line on every page) and ended.
// The driver runs the states every class shares: 1 (next fax), 9 and 10 (dial, busy
// redial), 44 (fax finished), 45 (run finished), 46 (error); the class handler runs the
// rest. Class 2 and 2.0 states are in Class2SendStates.
class FaxSendEngine final : public FaxEngine {
public:
    enum SharedState : int {
        ssNextFax = 1,
        ssDial = 9,
        ssRedialWait = 10,
        ssFinished = 44,
        ssNoMoreFaxes = 45,
        ssError = 46,
    };

    FaxSendEngine(FaxClient& client, FaxEngineOptions options);
    ~FaxSendEngine() override;

    // Helpers for the class states (dispatcher thread).
    void DialNumber();
    // A busy (or unanswered) dial: redial after DialRetryWait, or -8074 when the attempts
    // are used up.
    void BusyAttempt();
    bool CoverPending() const { return coverPages_ > 0 && sendingCover_; }
    bool SendingCover() const { return sendingCover_; }
    bool CoverIsApf() const { return coverIsApf_; }
    // The header of the page about to be sent (cover or fax page).
    const ApfPageHeader& Page() const { return page_; }
    bool PageIsFine() const { return page_.IsFine(); }
    bool PageIsWide() const { return page_.IsWide(); }
    // True when pages follow the one being sent.
    bool MorePagesFollow() const;
    // Moves to the next page; false when none is left.
    bool AdvancePage();
    // Positions the current page's data for (re)sending.
    int RewindPage();
    // Sends the 8 white lines and the header line at the top of a page.
    void SendPageTop(const FaxParameters& params);
    // Opens the text cover and prepares its renderer.
    int OpenTextCover();
    // Sends text cover lines while output space allows; true at its end.
    bool SendTextCoverLines(const FaxParameters& params);
    // Sends page data blocks while output space allows; true when the page's data is out.
    bool SendPageBlocks(const FaxParameters& params);
    int& Retransmissions() { return retransmissions_; }
    // Bytes to the port, DLE-stuffed unless `stuffed` is false; waits for room if needed.
    int Put(const std::vector<std::uint8_t>& bytes);
    void PadLine(std::vector<std::uint8_t>& line, const FaxParameters& params) const;
    void TopUpOutput();
    void CloseFiles();

protected:
    int StartSession() override;
    FaxWait WaitOf(int state) const override;
    void RunState(int state, const FaxEvent& event) override;
    int ErrorState() const override { return ssError; }
    bool UnexpectedAnswer(int state, const std::string& line) override;

private:
    void NextFax();
    int OpenFaxFile();
    int ReadPageHeader(ApfReader& reader, unsigned page);
    void CheckResolution();
    void FaxDone();
    void FaxFailed();
    HeaderValues Tokens() const;
    void SendCodedLines(FaxTextRenderer& renderer, const std::string& text,
                        const FaxParameters& params);

    std::unique_ptr<FaxStateHandler> classStates_;
    ApfReader fax_;
    ApfReader coverApf_;
    std::FILE* coverText_ = nullptr;
    FaxTextRenderer renderer_;
    bool coverIsApf_ = false;
    bool sendingCover_ = false;
    int coverPages_ = 0;
    unsigned pageNumber_ = 0; // page of the fax file (1..), 0 while the cover is sent
    unsigned totalPages_ = 0;
    ApfPageHeader page_;
    std::uint64_t pageRemaining_ = 0;
    std::optional<bool> lastResolution_; // of the page sent before, over the whole run
    int retransmissions_ = 0;
    unsigned attempts_ = 0;
    bool faxOpen_ = false;
};

} // namespace qpfax
