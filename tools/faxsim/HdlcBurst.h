#pragma once

#include <cstdint>
#include <vector>

struct hdlc_tx_state_s;
struct fsk_tx_state_s;

namespace faxsim {

// One V.21 channel 2 HDLC frame as line audio, the way a fax terminal sends a control
// frame: 75 ms of silence, one second of flags, the frame with its check bytes, closing
// flags, then nothing.
class HdlcBurst {
public:
    explicit HdlcBurst(std::vector<std::uint8_t> frame);
    ~HdlcBurst();
    HdlcBurst(const HdlcBurst&) = delete;
    HdlcBurst& operator=(const HdlcBurst&) = delete;

    // Fills `samples` (zero-padded after the end); false once the whole burst is out.
    bool Transmit(std::int16_t* samples, int count);
    bool Done() const { return done_; }

private:
    static int NextBit(void* user);
    static void FrameTaken(void* user);

    std::vector<std::uint8_t> frame_;
    hdlc_tx_state_s* hdlc_ = nullptr;
    fsk_tx_state_s* fsk_ = nullptr;
    int silence_ = 0;
    bool frameQueued_ = false;
    int bitsAfterFrame_ = -1; // counts down once the frame is out; -1 before
    bool done_ = false;
};

} // namespace faxsim
