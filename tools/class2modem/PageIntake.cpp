#include "PageIntake.h"

#include <algorithm>

#include "DataFraming.h"

bool PageIntake::Start(int width, bool fine, bool class20, bool reverseBits, double bytesPerSecond,
                       TimePoint now) {
    decoder_ = DleDecoder(class20);
    buffer_.clear();
    readPos_ = 0;
    bytesPerSecond_ = bytesPerSecond;
    credit_ = 0;
    last_ = now;
    firstData_ = now;
    idleSince_ = now;
    end_ = now;
    started_ = false;
    ended_ = false;
    reverse_ = reverseBits;
    holding_ = false;
    dropping_ = false;
    paced_ = true;
    lineBytes_ = 0;
    return checker_.Start(width, fine);
}

void PageIntake::Feed(const std::uint8_t* data, std::size_t size, TimePoint now) {
    if (size == 0) {
        return;
    }
    if (!started_) {
        started_ = true;
        firstData_ = now;
        last_ = now;
        credit_ = 0;
    }
    idleSince_ = now;
    buffer_.insert(buffer_.end(), data, data + size);
    UpdateHolding();
}

DleDecoder::Marker PageIntake::Advance(TimePoint now) {
    if (ended_ || !started_) {
        last_ = now;
        return DleDecoder::Marker::None;
    }
    const double seconds = std::chrono::duration<double>(now - last_).count();
    last_ = now;
    // A short underrun is filled on the line and not made up later; a late call of this
    // function (a busy machine) is.
    const bool waiting = buffer_.size() > readPos_;
    if (waiting) {
        idleSince_ = now;
    }
    const double limit = waiting ? bytesPerSecond_ : std::max(64.0, bytesPerSecond_ * 0.05);
    credit_ = std::min(credit_ + seconds * bytesPerSecond_, limit);
    std::size_t allowance = static_cast<std::size_t>(credit_);
    if (!paced_) {
        allowance = buffer_.size() - readPos_ + 1;
    }
    DleDecoder::Marker marker = DleDecoder::Marker::None;
    decoded_.clear();
    const std::size_t used = decoder_.Decode(buffer_.data() + readPos_, buffer_.size() - readPos_,
                                             allowance, decoded_, marker);
    readPos_ += used;
    if (paced_) {
        credit_ -= static_cast<double>(decoded_.size());
    }
    lineBytes_ += decoded_.size();
    if (!dropping_) {
        if (reverse_) {
            for (std::uint8_t& byte : decoded_) {
                byte = framing::ReverseBits(byte);
            }
        }
        checker_.Put(decoded_.data(), decoded_.size());
    }
    if (readPos_ > 65536 && readPos_ * 2 > buffer_.size()) {
        buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<long>(readPos_));
        readPos_ = 0;
    }
    UpdateHolding();
    if (marker != DleDecoder::Marker::None) {
        ended_ = true;
        end_ = now;
        holding_ = false;
    }
    return marker;
}

void PageIntake::Drop(bool paced) {
    dropping_ = true;
    paced_ = paced;
}

long PageIntake::LineMilliseconds() const {
    if (!started_) {
        return 0;
    }
    const TimePoint end = ended_ ? end_ : last_;
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(end - firstData_).count());
}

PageChecker::Result PageIntake::Finish() {
    return checker_.Finish();
}

std::vector<std::uint8_t> PageIntake::TakeLeftover() {
    std::vector<std::uint8_t> rest(buffer_.begin() + static_cast<long>(readPos_), buffer_.end());
    buffer_.clear();
    readPos_ = 0;
    return rest;
}

void PageIntake::UpdateHolding() {
    const std::size_t waiting = buffer_.size() - readPos_;
    if (waiting >= HighWater) {
        holding_ = true;
    } else if (waiting <= LowWater) {
        holding_ = false;
    }
}
