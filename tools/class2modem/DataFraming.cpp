#include "DataFraming.h"

namespace framing {

std::uint8_t ReverseBits(std::uint8_t byte) {
    std::uint8_t result = 0;
    for (int bit = 0; bit < 8; ++bit) {
        result = static_cast<std::uint8_t>((result << 1) | ((byte >> bit) & 1));
    }
    return result;
}

std::vector<std::uint8_t> DleStuff(const std::vector<std::uint8_t>& data) {
    std::vector<std::uint8_t> result;
    result.reserve(data.size() + data.size() / 64 + 2);
    for (const std::uint8_t byte : data) {
        result.push_back(byte);
        if (byte == 0x10) {
            result.push_back(0x10);
        }
    }
    return result;
}

} // namespace framing
