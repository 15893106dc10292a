#pragma once

#include <cstddef>
#include <cstdint>

// The coded line buffer of the page encoder: codes whole raster lines, blank top-margin
// lines and the end-of-page sequence into T.4 code words packed least significant bit
// first. Raster lines are MSB first, 1 = black.
//
// Lines are coded from the pixel changes found 64 pixels at a time; each run's code words
// (a make-up code and its terminating code joined) come from one precomputed table entry
// and go out through a 64-bit accumulator eight bytes at a time.
class FaxLineCoder {
public:
    static constexpr std::size_t BufferSize = 4096;
    // A raster line handed to CodeLine must be readable this many bytes past the page width.
    static constexpr std::size_t RasterSlack = 8;
    // Widest line the buffer takes in the worst case (every pixel a run of its own).
    static constexpr int MaxPageWidth = 4096;
    // Longest run that one table entry codes.
    static constexpr int MaxRunCode = 2560 + 63;

    FaxLineCoder();

    // Codes a raster line: line start, then the runs of pixels 0 .. W - M - 1 after a white
    // left margin of M pixels (one run of W for a blank line), then zero bits: the length
    // is bits / 8 + 2 bytes. With double width, each pixel counts twice (the margin does
    // not) and the last run is stretched or cut so the runs add up to W exactly. W is
    // taken as at most MaxPageWidth.
    std::size_t CodeLine(const std::uint8_t* raster, int pageWidth, int leftMargin,
                         bool doubleWidth);
    // A top-margin line: EOL, one white run of W, then up to the next byte (4 bytes at
    // 1728, 5 at 2048).
    std::size_t CodeBlankMarginLine(int pageWidth);
    // Line start and seven EOLs, cut to 12 bytes (return to control).
    std::size_t CodeEndOfPage();

    const std::uint8_t* Data() const { return buffer_; }

private:
    // Eight bytes of room past the longest line: the accumulator is stored whole.
    std::uint8_t buffer_[BufferSize + 16];
};
