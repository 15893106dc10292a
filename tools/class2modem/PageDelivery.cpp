#include "PageDelivery.h"

#include <algorithm>

namespace {

// Output not yet taken by the computer beyond which no more is produced.
constexpr std::size_t OutputLimit = 512;

} // namespace

void PageDelivery::Start(std::vector<std::uint8_t> data, std::size_t stopAfter,
                         double bytesPerSecond, TimePoint now) {
    data_ = std::move(data);
    stop_ = std::min(stopAfter, data_.size());
    position_ = 0;
    bytesPerSecond_ = bytesPerSecond;
    credit_ = 0;
    start_ = now;
    last_ = now;
    end_ = now;
    held_ = false;
    done_ = false;
}

bool PageDelivery::Advance(TimePoint now, std::string& out) {
    if (done_) {
        return true;
    }
    const double seconds = std::chrono::duration<double>(now - last_).count();
    last_ = now;
    if (held_ || out.size() >= OutputLimit) {
        // The computer is not taking data: the line does not wait, but nothing is made up.
        credit_ = 0;
        return false;
    }
    credit_ = std::min(credit_ + seconds * bytesPerSecond_, bytesPerSecond_);
    while (credit_ >= 1.0 && position_ < stop_ && out.size() < OutputLimit + 64) {
        const std::uint8_t byte = data_[position_++];
        out.push_back(static_cast<char>(byte));
        if (byte == 0x10) {
            out.push_back(static_cast<char>(byte));
        }
        credit_ -= 1.0;
    }
    if (position_ >= stop_) {
        done_ = true;
        end_ = now;
    }
    return done_;
}

long PageDelivery::LineMilliseconds() const {
    const TimePoint end = done_ ? end_ : last_;
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(end - start_).count());
}
