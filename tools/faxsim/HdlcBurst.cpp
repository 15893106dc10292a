#include "HdlcBurst.h"

#include <algorithm>

#include <spandsp.h>

namespace faxsim {

namespace {

constexpr int kSilenceSamples = 600; // 75 ms at 8000 samples/s
constexpr int kPreambleFlags = 38;   // one second at 300 bit/s
constexpr int kClosingBits = 24;     // the closing flag and two more

} // namespace

HdlcBurst::HdlcBurst(std::vector<std::uint8_t> frame)
    : frame_(std::move(frame)), silence_(kSilenceSamples) {
    hdlc_ = hdlc_tx_init(nullptr, FALSE, 1, FALSE, &HdlcBurst::FrameTaken, this);
    hdlc_tx_flags(hdlc_, kPreambleFlags);
    fsk_ = fsk_tx_init(nullptr, &preset_fsk_specs[FSK_V21CH2], &HdlcBurst::NextBit, this);
}

HdlcBurst::~HdlcBurst() {
    fsk_tx_free(fsk_);
    hdlc_tx_free(hdlc_);
}

int HdlcBurst::NextBit(void* user) {
    auto* self = static_cast<HdlcBurst*>(user);
    if (self->bitsAfterFrame_ == 0) {
        return SIG_STATUS_END_OF_DATA;
    }
    const int bit = hdlc_tx_get_bit(self->hdlc_);
    // The frame is queued once the preamble has started; queued earlier it would go out
    // without its opening flags.
    if (!self->frameQueued_) {
        self->frameQueued_ = true;
        hdlc_tx_frame(self->hdlc_, self->frame_.data(), self->frame_.size());
    }
    if (self->bitsAfterFrame_ > 0) {
        --self->bitsAfterFrame_;
    }
    return bit;
}

void HdlcBurst::FrameTaken(void* user) {
    auto* self = static_cast<HdlcBurst*>(user);
    if (self->frameQueued_ && self->bitsAfterFrame_ < 0) {
        self->bitsAfterFrame_ = kClosingBits;
    }
}

bool HdlcBurst::Transmit(std::int16_t* samples, int count) {
    int produced = 0;
    if (silence_ > 0) {
        produced = std::min(silence_, count);
        std::fill(samples, samples + produced, 0);
        silence_ -= produced;
    }
    if (!done_ && produced < count) {
        const int n = fsk_tx(fsk_, samples + produced, count - produced);
        produced += std::max(n, 0);
        done_ = produced < count;
    }
    std::fill(samples + produced, samples + count, 0);
    return !done_;
}

} // namespace faxsim
