#pragma once

#include <array>
#include <bitset>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "faxcomm/core/PortConstants.h"

namespace qpcomm {

class ReceiveBuffer;

// What the trigger evaluation needs to know about a port at one moment.
struct PortConditions {
    std::uint8_t modemLines = 0;               // high nibble of the modem status shadow
    std::array<std::uint32_t, 4> lineErrors{}; // overrun, parity, framing, break counts
    std::size_t outputUsed = 0;                // bytes queued for output
    std::size_t outputFree = 0;                // free output space
    std::uint64_t blocksWritten = 0;           // device writes so far
};

// The triggers of one port: the data-available threshold, 10 timers, 20 data-match
// triggers and 10 status triggers, reached through handles 2..41 (lowest free first), and
// the scanning state of the received data. Pure logic: the port record's lock guards it
// and the dispatcher feeds it the time, the receive buffer and the port's conditions.
class TriggerTable {
public:
    using Clock = std::chrono::steady_clock;

    // Each returns the new handle, or -5001 when the handles or the kind's table are
    // exhausted. AddData also refuses an empty text (-1002) and one longer than
    // MaxDataTriggerLength (-5002); AddStatus a kind outside 0..5 (-1002).
    int AddTimer();
    int AddData(const std::string& text, bool ignoreCase);
    int AddStatus(int kind);
    // 0, or -5003 for a handle not in use.
    int Remove(int handle);
    void RemoveAll();
    // A copy holding only the triggers `handles` (others' triggers left out), every timer
    // and status trigger disarmed, nothing scanned: what survives a close and reopen.
    TriggerTable SetUpOf(const std::vector<int>& handles) const;

    // Arms the timer for `ticks` ticks of 55 ms from `now` (active with ticks 0: its last
    // count), or disarms it. -5003 when `handle` is not a timer.
    int SetTimer(int handle, long ticks, bool active, Clock::time_point now);
    // Arms a status trigger with its condition value (see StatusTriggerKind), remembering
    // the current conditions, or disarms it. -5003 when `handle` is not a status trigger.
    int ActivateStatus(int handle, bool active, std::uint32_t value, const PortConditions& now);

    void SetAvailThreshold(std::size_t bytes) { availThreshold_ = bytes; }
    std::size_t AvailThreshold() const { return availThreshold_; }

    // Forgets partial data matches and what was scanned and reported (input flushed).
    void ResetDataScan();
    // `count` bytes were taken from the head of the receive buffer.
    void BytesTaken(std::size_t count);

    // Starts a dispatcher pass: within one pass each status trigger fires at most once.
    void BeginPass();
    // Finds the next trigger that fires, disarming one-shot triggers as they fire: timers
    // first, then status triggers, then the received data (see the .cpp for the order of
    // data-available and data-match messages). Nothing when no trigger fires.
    std::optional<TriggerMessage> NextFiring(Clock::time_point now, const PortConditions& port,
                                             const ReceiveBuffer& received);
    // Whether this pass held back a status trigger that fired once already and would fire
    // again (re-armed by its handler while its condition holds).
    bool HeldBack() const { return heldBack_; }

    // Earliest deadline of an armed timer, if any.
    std::optional<Clock::time_point> NextTimerDeadline() const;

    int UsedHandles() const;
    // The kind of a status trigger (StatusTriggerKind), or -5003 for another handle.
    int StatusKind(int handle) const;

private:
    enum class Kind : std::uint8_t { Free, Timer, Data, Status };
    struct HandleEntry {
        Kind kind = Kind::Free;
        int slot = -1;
    };
    struct Timer {
        int handle = 0;
        long ticks = 0;
        bool active = false;
        Clock::time_point deadline{};
    };
    struct DataTrigger {
        int handle = 0;
        std::string text;
        bool ignoreCase = false;
        std::string window; // the last bytes seen, at most text.size()
    };
    struct StatusTrigger {
        int handle = 0;
        int kind = 0;
        bool active = false;
        std::uint32_t value = 0;
        PortConditions baseline;
    };
    struct PendingMatch {
        int handle;
    };

    int AllocateHandle(Kind kind, int slot);
    const HandleEntry* Entry(int handle) const;
    std::optional<TriggerMessage> FiringTimer(Clock::time_point now);
    std::optional<TriggerMessage> FiringStatus(const PortConditions& port);
    std::optional<TriggerMessage> FiringData(const ReceiveBuffer& received);
    bool StatusConditionMet(const StatusTrigger& trigger, const PortConditions& port,
                            std::uint16_t& data) const;
    bool AdvanceDataTrigger(DataTrigger& trigger, std::uint8_t byte);

    std::array<HandleEntry, LastTriggerHandle - FirstTriggerHandle + 1> handles_{};
    std::array<std::optional<Timer>, MaxTimerTriggers> timers_{};
    std::array<std::optional<DataTrigger>, MaxDataTriggers> dataTriggers_{};
    std::array<std::optional<StatusTrigger>, MaxStatusTriggers> statusTriggers_{};
    std::size_t availThreshold_ = 1;
    std::size_t scanned_ = 0;  // bytes from the head already run past the data triggers
    std::size_t reported_ = 0; // bytes from the head covered by the last data-available
    std::deque<int> pendingMatches_;
    std::bitset<LastTriggerHandle + 1> firedThisPass_;
    bool heldBack_ = false;
};

} // namespace qpcomm
