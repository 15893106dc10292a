#pragma once

#include <cstdint>
#include <vector>

namespace qpfax {

constexpr std::uint8_t DLE = 16;
constexpr std::uint8_t ETX = 3;
constexpr std::uint8_t XON = 17;
constexpr std::uint8_t DC2 = 18;

// Appends `data` to `out` with every DLE doubled, as page data goes to the modem.
void AppendStuffed(std::vector<std::uint8_t>& out, const std::uint8_t* data, std::size_t size);

// Takes page data from the modem: DLE ETX ends the page, DLE DLE is one DLE, DLE and any
// other byte is that byte. With `reverseBits` every stored byte's bit order is reversed.
// A DLE at the end of one block is remembered for the next.
class DleUnstuffer {
public:
    explicit DleUnstuffer(bool reverseBits = false) : reverse_(reverseBits) {}

    // Decodes bytes from `data`, appending the page bytes to `out`; returns how many input
    // bytes were used (fewer than `size` when DLE ETX came, which is then consumed).
    std::size_t Decode(const std::uint8_t* data, std::size_t size, std::vector<std::uint8_t>& out);
    bool Ended() const { return ended_; }
    void Reset() {
        pendingDle_ = false;
        ended_ = false;
    }

private:
    void Store(std::uint8_t byte, std::vector<std::uint8_t>& out) const;

    bool reverse_;
    bool pendingDle_ = false;
    bool ended_ = false;
};

std::uint8_t ReverseBits(std::uint8_t byte);

} // namespace qpfax
