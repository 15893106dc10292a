#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "faximage/core/T4DecodeTree.h"

// Decodes a one-dimensional T.4 (modified Huffman) bit stream, packed least significant
// bit first, fed in blocks of any size. Lines are kept only when their runs end in byte
// 216 or 256 (1728..1735 or 2048..2055 pixels); data before the first EOL is skipped;
// invalid codes are counted and skipped up to the next 0 bit; three EOLs in a row end the
// page. The result equals a walk of the decoding trees one bit at a time.
//
// Code words are looked up in tables, 9 bits at a time (13 for the few longer ones), and
// from white a white and a black terminating code together 12 bits at a time. The line is
// kept as the places where the colour changes, one bit each, and turned into pixels when
// the line ends.
class T4Decoder {
public:
    static constexpr unsigned LineBufferSize = 512;

    // Called with each kept line (MSB first, 1 = black) and its length in bytes (216 or
    // 256). A nonzero return stops decoding.
    using LineSink = std::function<int(const std::uint8_t* line, unsigned length)>;

    T4Decoder();

    void SetLineSink(LineSink sink) { sink_ = std::move(sink); }
    // Starts a new page: white, no EOL seen, empty line, counters cleared.
    void Restart();
    // Decodes a block. Returns the sink's nonzero result, or 0.
    int Feed(const std::uint8_t* data, std::size_t size);

    bool PageEnded() const { return pageEnded_; }
    unsigned InvalidCodes() const { return invalidCodes_; }
    unsigned EolCount() const { return eolCount_; }

private:
    // Pixels a line may reach: runs stop at the buffer's end, the last may overhang it by
    // up to 7 pixels.
    static constexpr unsigned kChangeWords = (LineBufferSize * 8 + 64) / 64 + 1;

    struct BitReader;
    void DecodeRuns(BitReader& in);
    int SlowStep(BitReader& in);
    int OnLeaf(const T4DecodeTree::Node& node);
    int OnEol();
    void OnRun(unsigned length);
    void ClearLine();
    void MarkChange(unsigned position, unsigned change) {
        changes_[position >> 6] ^= static_cast<std::uint64_t>(change) << (63 - (position & 63));
    }
    void PixelsFromChanges(unsigned bytes);

    const T4DecodeTree* trees_[2];
    int colour_ = 0; // 0 white, 1 black
    int node_ = 0;
    bool ignoring_ = false;
    bool eolSeen_ = false;
    bool pageEnded_ = false;
    unsigned eolCount_ = 0;
    unsigned invalidCodes_ = 0;
    unsigned position_ = 0; // pixels in the line so far
    LineSink sink_;
    // Bit 63 - (x mod 64) of word x / 64 is set where pixel x has another colour than
    // pixel x - 1 (pixel -1 white).
    std::uint64_t changes_[kChangeWords];
    std::uint8_t line_[LineBufferSize + 8];
};
