#include "LinePath.h"

#include <algorithm>
#include <cmath>

#include <spandsp.h>

namespace faxsim {

LinePath::LinePath(const LineOptions& options, unsigned seed)
    : delay_(static_cast<std::size_t>(options.delayMs) * 8, 0),
      gain_(std::pow(10.0, -options.lossDb / 20.0)) {
    if (options.noiseDbm0) {
        noise_ =
            awgn_init_dbm0(nullptr, static_cast<int>(seed), static_cast<float>(*options.noiseDbm0));
    }
}

LinePath::~LinePath() {
    if (noise_) {
        awgn_free(noise_);
    }
}

void LinePath::Carry(std::int16_t* samples, int count) {
    for (int i = 0; i < count; ++i) {
        std::int16_t sample = samples[i];
        if (!delay_.empty()) {
            std::swap(sample, delay_[position_]);
            position_ = (position_ + 1) % delay_.size();
        }
        double value = sample * gain_;
        if (noise_) {
            value += awgn(noise_);
        }
        samples[i] = static_cast<std::int16_t>(std::clamp(value, -32768.0, 32767.0));
    }
}

void LinePath::Clear() {
    std::fill(delay_.begin(), delay_.end(), 0);
}

} // namespace faxsim
