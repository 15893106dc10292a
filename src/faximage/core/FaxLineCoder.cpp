#include "faximage/core/FaxLineCoder.h"

#include <algorithm>
#include <cstring>

namespace {

// The first pixel at or after x (below limit) whose colour differs from `colour`, else limit.
int NextChange(const std::uint8_t* raster, int x, int limit, int colour) {
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

} // namespace

FaxLineCoder::FaxLineCoder()
    : eol_(t4::Reversed(t4::Eol)), lineStart_(t4::Reversed(t4::LineStart)) {
    std::memset(buffer_, 0, sizeof buffer_);
}

void FaxLineCoder::Clear() {
    std::memset(buffer_, 0, std::min(usedBytes_ + 8, sizeof buffer_));
    bytePosition_ = 0;
    bitPosition_ = 0;
}

void FaxLineCoder::PutRun(int colour, int length) {
    while (length > 2560 + 63) {
        Put(t4::ReversedMakeUp(colour, 2560 / 64 - 1));
        Put(t4::ReversedTerminating(colour, 0));
        length -= 2560;
    }
    if (length >= 64) {
        Put(t4::ReversedMakeUp(colour, length / 64 - 1));
    }
    Put(t4::ReversedTerminating(colour, length % 64));
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
    usedBytes_ = bytePosition_ + 2;
    return usedBytes_;
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
    usedBytes_ = bytePosition_ + 1;
    return usedBytes_;
}

std::size_t FaxLineCoder::CodeEndOfPage() {
    Clear();
    Put(lineStart_);
    for (int count = 0; count < 7; ++count) {
        Put(eol_);
    }
    usedBytes_ = bytePosition_;
    return usedBytes_;
}
