#include "faximage/core/FaxLineCoder.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace {

// The first pixel at or after x (below limit) whose colour differs from `colour`, else limit.
inline __attribute__((always_inline)) int NextChange(const std::uint8_t* raster, int x, int limit,
                                                     int colour) {
    const std::uint64_t flip = colour ? ~0ull : 0ull;
    while (x < limit) {
        std::uint64_t word;
        std::memcpy(&word, raster + (x >> 3), sizeof word);
        word = (__builtin_bswap64(word) ^ flip) << (x & 7);
        if (word) {
            return std::min(x + __builtin_clzll(word), limit);
        }
        x += 64 - (x & 7);
    }
    return limit;
}

bool IsBlank(const std::uint8_t* raster, int bytes) {
    int index = 0;
    for (; index + 8 <= bytes; index += 8) {
        std::uint64_t word;
        std::memcpy(&word, raster + index, sizeof word);
        if (word) {
            return false;
        }
    }
    for (; index < bytes; ++index) {
        if (raster[index]) {
            return false;
        }
    }
    return true;
}

constexpr int MaxRunCode = FaxLineCoder::MaxRunCode;

// For every run length up to 2623, its make-up and terminating code words joined into one
// mirrored code word of up to 25 bits.
using RunCodeTable = FaxLineCoder::RunCodeTable;
const RunCodeTable& RunCodes() {
    static const RunCodeTable table = [] {
        RunCodeTable codes{};
        for (int colour = 0; colour < 2; ++colour) {
            for (int length = 0; length <= MaxRunCode; ++length) {
                const t4::Code term = t4::ReversedTerminating(colour, length % 64);
                if (length < 64) {
                    codes[colour][length] = {term.value, term.bits};
                    continue;
                }
                const t4::Code makeUp = t4::ReversedMakeUp(colour, length / 64 - 1);
                codes[colour][length] = {makeUp.value | (std::uint32_t{term.value} << makeUp.bits),
                                         static_cast<unsigned>(makeUp.bits + term.bits)};
            }
        }
        return codes;
    }();
    return table;
}

} // namespace

FaxLineCoder::FaxLineCoder()
    : runCodes_(&RunCodes()), eol_(t4::Reversed(t4::Eol)), lineStart_(t4::Reversed(t4::LineStart)) {
    std::memset(buffer_, 0, sizeof buffer_);
}

void FaxLineCoder::Clear() {
    accumulator_ = 0;
    accumulatorBits_ = 0;
    storedBytes_ = 0;
}

// The bytes after the last code bit come out zero: the accumulator's upper bits are.
void FaxLineCoder::Finish() {
    __builtin_memcpy(buffer_ + storedBytes_, &accumulator_, sizeof accumulator_);
    const std::size_t bits = storedBytes_ * 8 + accumulatorBits_;
    bytePosition_ = bits / 8;
    bitPosition_ = static_cast<unsigned>(bits % 8);
}

void FaxLineCoder::PutLongRun(int colour, int length) {
    while (length > MaxRunCode) {
        Put((*runCodes_)[colour][MaxRunCode - 63]);
        length -= MaxRunCode - 63;
    }
    Put((*runCodes_)[colour][length]);
}

std::size_t FaxLineCoder::CodeLine(const std::uint8_t* raster, int pageWidth, int leftMargin,
                                   bool doubleWidth) {
    Clear();
    Put(lineStart_);
    const int margin = std::clamp(leftMargin, 0, pageWidth);
    if (IsBlank(raster, pageWidth / 8) || margin == pageWidth) {
        PutRun(0, pageWidth);
    } else if (doubleWidth) {
        CodeDoubledRuns(raster, pageWidth, margin);
    } else {
        CodeRuns(raster, pageWidth - margin, margin);
    }
    Finish();
    return bytePosition_ + 2;
}

void FaxLineCoder::CodeRuns(const std::uint8_t* raster, int pixels, int leftMargin) {
    int x = 0;
    int colour = 1;
    if (raster[0] & 0x80) {
        PutRun(0, leftMargin);
    } else {
        x = NextChange(raster, 0, pixels, 0);
        PutRun(0, leftMargin + x);
    }
    while (x < pixels) {
        const int end = NextChange(raster, x, pixels, colour);
        PutRun(colour, end - x);
        x = end;
        colour ^= 1;
    }
}

void FaxLineCoder::CodeDoubledRuns(const std::uint8_t* raster, int pageWidth, int leftMargin) {
    const int pixels = (pageWidth - leftMargin) / 2;
    int coded = 0;
    int colour = 0;
    int x = 0;
    int end = (raster[0] & 0x80) ? 0 : NextChange(raster, 0, pixels, 0);
    int length = leftMargin + 2 * end;
    for (;;) {
        const bool last = end >= pixels;
        length = last ? pageWidth - coded : std::min(length, pageWidth - coded);
        PutRun(colour, length);
        coded += length;
        if (last) {
            return;
        }
        x = end;
        colour ^= 1;
        end = NextChange(raster, x, pixels, colour);
        length = 2 * (end - x);
    }
}

std::size_t FaxLineCoder::CodeBlankMarginLine(int pageWidth) {
    Clear();
    Put(eol_);
    PutRun(0, pageWidth);
    Finish();
    return bytePosition_ + 1;
}

std::size_t FaxLineCoder::CodeEndOfPage() {
    Clear();
    Put(lineStart_);
    for (int count = 0; count < 7; ++count) {
        Put(eol_);
    }
    Finish();
    return bytePosition_;
}
