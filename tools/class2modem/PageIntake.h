#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "DleDecoder.h"
#include "PageChecker.h"

// Page data from the computer on its way to the far end (after CONNECT of AT+FDT): the
// modem's transmit buffer, emptied at the line rate through the DLE decoder into the
// far end's T.4 check. When the buffer fills, the modem holds the computer back (flow
// control) until it has drained.
class PageIntake {
public:
    using TimePoint = std::chrono::steady_clock::time_point;
    static constexpr std::size_t HighWater = 2048;
    static constexpr std::size_t LowWater = 512;

    // A new page: its geometry, the class (for the DLE markers), whether the modem
    // reverses the bit order of page data, and the line rate in bytes per second.
    bool Start(int width, bool fine, bool class20, bool reverseBits, double bytesPerSecond,
               TimePoint now);
    // Bytes from the computer.
    void Feed(const std::uint8_t* data, std::size_t size, TimePoint now);
    // Sends what the time since the last call allows; returns the marker that ended the
    // data, or Marker::None while it goes on.
    DleDecoder::Marker Advance(TimePoint now);
    // From now on the data goes nowhere: the line is lost (paced as before) or the page
    // was cancelled (taken as fast as it comes).
    void Drop(bool paced);
    bool Dropping() const { return dropping_; }

    // True while the computer must hold its data.
    bool Holding() const { return holding_; }
    std::size_t LineBytes() const { return lineBytes_; }
    // Time from the first data byte to the end of the data, in milliseconds.
    long LineMilliseconds() const;
    // Since when the buffer has been empty with nothing coming in.
    TimePoint IdleSince() const { return idleSince_; }
    // The far end's view of the page.
    PageChecker::Result Finish();
    // Bytes that came after the end of the data (commands the computer sent next).
    std::vector<std::uint8_t> TakeLeftover();

private:
    void UpdateHolding();

    PageChecker checker_;
    DleDecoder decoder_;
    std::vector<std::uint8_t> buffer_;
    std::size_t readPos_ = 0;
    std::vector<std::uint8_t> decoded_;
    double bytesPerSecond_ = 1200;
    double credit_ = 0;
    TimePoint last_{};
    TimePoint firstData_{};
    TimePoint idleSince_{};
    TimePoint end_{};
    bool started_ = false;
    bool ended_ = false;
    bool reverse_ = false;
    bool holding_ = false;
    bool dropping_ = false;
    bool paced_ = true;
    std::size_t lineBytes_ = 0;
};
