#include "faxcomm/core/DleCodec.h"

namespace qpfax {

void AppendStuffed(std::vector<std::uint8_t>& out, const std::uint8_t* data, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
        out.push_back(data[i]);
        if (data[i] == DLE) {
            out.push_back(DLE);
        }
    }
}

std::uint8_t ReverseBits(std::uint8_t byte) {
    byte = static_cast<std::uint8_t>((byte & 0xF0) >> 4 | (byte & 0x0F) << 4);
    byte = static_cast<std::uint8_t>((byte & 0xCC) >> 2 | (byte & 0x33) << 2);
    byte = static_cast<std::uint8_t>((byte & 0xAA) >> 1 | (byte & 0x55) << 1);
    return byte;
}

void DleUnstuffer::Store(std::uint8_t byte, std::vector<std::uint8_t>& out) const {
    out.push_back(reverse_ ? ReverseBits(byte) : byte);
}

std::size_t DleUnstuffer::Decode(const std::uint8_t* data, std::size_t size,
                                 std::vector<std::uint8_t>& out) {
    std::size_t i = 0;
    while (i < size && !ended_) {
        const std::uint8_t byte = data[i++];
        if (pendingDle_) {
            pendingDle_ = false;
            if (byte == ETX) {
                ended_ = true;
            } else {
                Store(byte, out);
            }
        } else if (byte == DLE) {
            pendingDle_ = true;
        } else {
            Store(byte, out);
        }
    }
    return i;
}

} // namespace qpfax
