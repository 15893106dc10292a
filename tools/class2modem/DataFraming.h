#pragma once

#include <cstdint>
#include <vector>

// Byte-level helpers for page data between modem and computer.
namespace framing {

// The byte with its bit order reversed (bit 0 becomes bit 7).
std::uint8_t ReverseBits(std::uint8_t byte);
// The data with every DLE (16) doubled, as it goes over the serial line.
std::vector<std::uint8_t> DleStuff(const std::vector<std::uint8_t>& data);

} // namespace framing
