#pragma once

#include <cstdint>
#include <vector>

#include "SimOptions.h"

struct awgn_state_s;

namespace faxsim {

// One direction of the simulated telephone line: a fixed delay, a loss and white noise,
// applied to 8000 samples/s audio in place.
class LinePath {
public:
    LinePath(const LineOptions& options, unsigned seed);
    ~LinePath();
    LinePath(const LinePath&) = delete;
    LinePath& operator=(const LinePath&) = delete;

    void Carry(std::int16_t* samples, int count);
    // Forgets what is still on its way (a new call starts on a quiet line).
    void Clear();

private:
    std::vector<std::int16_t> delay_;
    std::size_t position_ = 0;
    double gain_ = 1;
    awgn_state_s* noise_ = nullptr;
};

} // namespace faxsim
