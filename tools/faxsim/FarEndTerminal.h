#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "SimOptions.h"

struct fax_state_s;
struct t30_state_s;

namespace faxsim {

class EventSink;
class HdlcBurst;

// The far end's fax machine: spandsp's T.30 terminal with its own modems, answering (it
// receives pages into a TIFF file) or calling (it sends the pages of a TIFF file). It
// reports its progress and its final T.30 result as events. On request it hangs up after
// a given page: instead of its answer to that page's post-page message (as receiver) or
// instead of the next page (as sender) it sends DCN and leaves the line.
class FarEndTerminal {
public:
    // `file`: the TIFF to send (calling) or to write (answering). An answering terminal
    // deletes the file at the end when no page arrived, or always when it is `temporary`.
    FarEndTerminal(const FarEndOptions& options, bool calling, std::string file, bool temporary,
                   EventSink& events, bool verbose);
    ~FarEndTerminal();
    FarEndTerminal(const FarEndTerminal&) = delete;
    FarEndTerminal& operator=(const FarEndTerminal&) = delete;

    // Line audio: what the terminal hears, and what it sends (zero-padded to `count`).
    void Receive(std::int16_t* samples, int count);
    void Transmit(std::int16_t* samples, int count);

    // The line dropped before the terminal finished: it reports its result now.
    void Terminate();
    // True once the terminal has reported its final result.
    bool Finished() const { return finished_; }
    bool Calling() const { return calling_; }

    // Called when the terminal sends DCS (a training check of its own follows).
    std::function<void()> onDcsSent;

private:
    static int PhaseB(t30_state_s* t30, void* user, int result);
    static int PhaseD(t30_state_s* t30, void* user, int result);
    static void PhaseE(t30_state_s* t30, void* user, int result);
    static void Frame(t30_state_s* t30, void* user, int incoming, const std::uint8_t* frame,
                      int length);

    void ReportResult(int code);
    void StartHangUp();
    int PagesDone() const;

    FarEndOptions options_;
    bool calling_;
    std::string file_;
    bool temporary_;
    EventSink& events_;
    fax_state_s* fax_ = nullptr;
    t30_state_s* t30_ = nullptr;
    bool finished_ = false;
    bool muted_ = false;                // fell silent after a page (--mute-after-page)
    std::unique_ptr<HdlcBurst> hangUp_; // the DCN being sent instead of the terminal's audio
};

} // namespace faxsim
