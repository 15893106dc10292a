#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Page data from the far end on its way to the computer (after CONNECT of AT+FDR and the
// computer's DC2): handed out at the line rate, DLE doubled. The computer may hold it with
// XOFF and release it with XON.
class PageDelivery {
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    // The page's data bytes as the computer gets them (bit order already applied); data
    // stops after `stopAfter` bytes (a lost line or a cancelled page).
    void Start(std::vector<std::uint8_t> data, std::size_t stopAfter, double bytesPerSecond,
               TimePoint now);
    void SetHeld(bool held) { held_ = held; }
    // Appends what the time since the last call allows to `out` while `out` stays short;
    // true once every byte up to the stop went out.
    bool Advance(TimePoint now, std::string& out);

    std::size_t BytesSent() const { return position_; }
    std::size_t Size() const { return data_.size(); }
    long LineMilliseconds() const;

private:
    std::vector<std::uint8_t> data_;
    std::size_t stop_ = 0;
    std::size_t position_ = 0;
    double bytesPerSecond_ = 1200;
    double credit_ = 0;
    TimePoint start_{};
    TimePoint last_{};
    TimePoint end_{};
    bool held_ = false;
    bool done_ = false;
};
