#pragma once

#include <cstddef>
#include <cstdint>

#include "faximage/core/T4Codes.h"

// The coded line buffer of the page encoder: appends T.4 code words to a bit stream
// packed least significant bit first and codes whole raster lines, blank top-margin lines
// and the end-of-page sequence. Raster lines are MSB first, 1 = black.
class FaxLineCoder {
public:
    static constexpr std::size_t BufferSize = 4096;
    // A raster line handed to CodeLine must be readable this many bytes past the page width.
    static constexpr std::size_t RasterSlack = 8;

    FaxLineCoder();

    // Codes a raster line: line start, then the runs of pixels 0 .. W - M - 1 after a white
    // left margin of M pixels (one run of W for a blank line), then zero bits: the length
    // is bits / 8 + 2 bytes. With double width, each pixel counts twice (the margin does
    // not) and the last run is stretched or cut so the runs add up to W exactly.
    std::size_t CodeLine(const std::uint8_t* raster, int pageWidth, int leftMargin,
                         bool doubleWidth);
    // A top-margin line: EOL, one white run of W, then up to the next byte (4 bytes at
    // 1728, 5 at 2048).
    std::size_t CodeBlankMarginLine(int pageWidth);
    // Line start and seven EOLs, cut to 12 bytes (return to control).
    std::size_t CodeEndOfPage();

    const std::uint8_t* Data() const { return buffer_; }

private:
    void Clear();
    void Put(t4::Code reversed) {
        std::uint64_t word;
        __builtin_memcpy(&word, buffer_ + bytePosition_, sizeof word);
        word |= static_cast<std::uint64_t>(reversed.value) << bitPosition_;
        __builtin_memcpy(buffer_ + bytePosition_, &word, sizeof word);
        bitPosition_ += reversed.bits;
        bytePosition_ += bitPosition_ >> 3;
        bitPosition_ &= 7;
    }
    void PutRun(int colour, int length);
    void CodeRuns(const std::uint8_t* raster, int pixels, int leftMargin);
    void CodeDoubledRuns(const std::uint8_t* raster, int pageWidth, int leftMargin);

    std::size_t bytePosition_ = 0;
    unsigned bitPosition_ = 0;
    std::size_t usedBytes_ = 0;
    t4::Code eol_;
    t4::Code lineStart_;
    std::uint8_t buffer_[BufferSize + 16];
};
