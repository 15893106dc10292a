#pragma once

#include <cstdint>

// The modified Huffman code words of ITU-T T.4 (one-dimensional coding).
namespace t4 {

struct Code {
    std::uint16_t value; // code word as T.4 prints it, as a binary number
    std::uint16_t bits;  // its length
};

constexpr int TerminatingCount = 64; // runs 0..63
constexpr int MakeUpCount = 40;      // runs 64..2560 in steps of 64 (1792.. shared)
constexpr Code Eol = {0b000000000001, 12};
// Four fill bits and the EOL code word.
constexpr Code LineStart = {0b0000000000000001, 16};

// Tables in printed order; colour 0 is white, 1 is black.
const Code& Terminating(int colour, int run);
const Code& MakeUp(int colour, int index); // index = run / 64 - 1

// The same code words with their bits mirrored, ready to be appended to a stream that is
// packed least significant bit first with one shift and OR.
const Code& ReversedTerminating(int colour, int run);
const Code& ReversedMakeUp(int colour, int index);
Code Reversed(Code code);

} // namespace t4
