#include "faximage/core/FaxLineCoder.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#include "faximage/core/T4Codes.h"

static_assert(std::endian::native == std::endian::little,
              "the coded stream is stored through little-endian words");

namespace {

// A code word ready to append: its bits mirrored (first bit lowest) in bits 0..26, its
// length in bits 27..31.
using PackedCode = std::uint32_t;
constexpr unsigned kLengthShift = 27;
constexpr PackedCode kValueMask = (PackedCode{1} << kLengthShift) - 1;

constexpr PackedCode Pack(std::uint32_t mirrored, unsigned bits) {
    return mirrored | (static_cast<PackedCode>(bits) << kLengthShift);
}

PackedCode Pack(t4::Code reversed) {
    return Pack(reversed.value, reversed.bits);
}

constexpr int kMaxRunCode = FaxLineCoder::MaxRunCode;
// Entry 2 * length + colour.
using RunCodeTable = std::array<PackedCode, 2 * (kMaxRunCode + 1)>;

// For every run length of each colour up to 2623, its make-up and terminating code words
// joined into one code of up to 25 bits. Built once.
const RunCodeTable& RunCodes() {
    static const RunCodeTable table = [] {
        RunCodeTable codes{};
        for (int colour = 0; colour < 2; ++colour) {
            for (int length = 0; length <= kMaxRunCode; ++length) {
                const t4::Code term = t4::ReversedTerminating(colour, length % 64);
                PackedCode& code = codes[static_cast<std::size_t>(2 * length + colour)];
                if (length < 64) {
                    code = Pack(term);
                    continue;
                }
                const t4::Code makeUp = t4::ReversedMakeUp(colour, length / 64 - 1);
                code = Pack(makeUp.value | (std::uint32_t{term.value} << makeUp.bits),
                            static_cast<unsigned>(makeUp.bits + term.bits));
            }
        }
        return codes;
    }();
    return table;
}

// Appends code words to a buffer. Between calls fewer than 8 bits wait in the
// accumulator; each call stores the accumulator whole (the bytes past its bits come out
// zero) and moves on by the whole bytes written.
class BitWriter {
public:
    BitWriter(std::uint8_t* buffer, const RunCodeTable& runCodes)
        : start_(buffer), out_(buffer), runCodes_(runCodes) {}

    void Put(PackedCode code) {
        pending_ |= static_cast<std::uint64_t>(code & kValueMask) << count_;
        count_ += code >> kLengthShift;
        std::memcpy(out_, &pending_, sizeof pending_);
        out_ += count_ >> 3;
        pending_ >>= count_ & ~7u;
        count_ &= 7;
    }
    void PutRun(int colour, int length) {
        if (length > kMaxRunCode) [[unlikely]] {
            PutLongRun(colour, length);
            return;
        }
        Put(runCodes_[static_cast<std::size_t>(2 * length + colour)]);
    }
    // Stores the last bits; returns the index of the byte holding the next free bit.
    std::size_t Finish() {
        std::memcpy(out_, &pending_, sizeof pending_);
        return static_cast<std::size_t>(out_ - start_);
    }

private:
    void PutLongRun(int colour, int length) {
        while (length > kMaxRunCode) {
            PutRun(colour, kMaxRunCode - 63);
            length -= kMaxRunCode - 63;
        }
        PutRun(colour, length);
    }

    std::uint8_t* start_;
    std::uint8_t* out_;
    const RunCodeTable& runCodes_;
    std::uint64_t pending_ = 0;
    unsigned count_ = 0;
};

const PackedCode kEol = Pack(t4::Reversed(t4::Eol));
const PackedCode kLineStart = Pack(t4::Reversed(t4::LineStart));

// 64 pixels from pixel x on (x a multiple of 8), pixel x in the top bit.
inline std::uint64_t PixelWord(const std::uint8_t* raster, int x) {
    std::uint64_t word;
    std::memcpy(&word, raster + (x >> 3), sizeof word);
    return __builtin_bswap64(word);
}

// The first pixel at or after x (below limit) whose colour differs from `colour`, else limit.
int NextChange(const std::uint8_t* raster, int x, int limit, int colour) {
    const std::uint64_t flip = colour ? ~0ull : 0ull;
    while (x < limit) {
        const std::uint64_t word = (PixelWord(raster, x & ~7) ^ flip) << (x & 7);
        if (word) {
            return std::min(x + __builtin_clzll(word), limit);
        }
        x += 64 - (x & 7);
    }
    return limit;
}

// Eight raster bytes as they lie in memory.
inline std::uint64_t RasterBytes(const std::uint8_t* raster, int x) {
    std::uint64_t word;
    std::memcpy(&word, raster + (x >> 3), sizeof word);
    return word;
}

// The 64 pixels of RasterBytes with the first in bit 0: each byte's bits mirrored.
inline std::uint64_t PixelsFirstLow(std::uint64_t word) {
    word = ((word >> 1) & 0x5555555555555555ull) | ((word & 0x5555555555555555ull) << 1);
    word = ((word >> 2) & 0x3333333333333333ull) | ((word & 0x3333333333333333ull) << 2);
    return ((word >> 4) & 0x0F0F0F0F0F0F0F0Full) | ((word & 0x0F0F0F0F0F0F0F0Full) << 4);
}

// The runs of pixels 0 .. pixels - 1 after a white margin. Every pixel whose colour
// differs from the one before it (pixel 0 from white) ends a run; the changes are found
// 64 pixels at a time and taken lowest first.
void CodeRuns(BitWriter& out, const std::uint8_t* raster, int pixels, int margin) {
    int start = -margin; // where the current run began; the margin counts into the first
    int colour = 0;
    std::uint64_t previous = 0; // the pixel before the word, in bit 0
    for (int base = 0; base < pixels; base += 64) {
        const std::uint64_t bytes = RasterBytes(raster, base);
        if ((bytes | previous) == 0) {
            continue; // 64 white pixels after a white one: no change
        }
        const std::uint64_t word = PixelsFirstLow(bytes);
        std::uint64_t changes = word ^ ((word << 1) | previous);
        previous = word >> 63;
        if (pixels - base < 64) {
            changes &= ~(~0ull << (pixels - base));
        }
        while (changes) {
            const int end = base + __builtin_ctzll(changes);
            changes &= changes - 1;
            out.PutRun(colour, end - start);
            start = end;
            colour ^= 1;
        }
    }
    out.PutRun(colour, pixels - start);
}

// Each pixel of 0 .. (W - M) / 2 - 1 counts twice, the margin once; the last run fills
// the line to W exactly.
void CodeDoubledRuns(BitWriter& out, const std::uint8_t* raster, int pageWidth, int margin) {
    const int pixels = (pageWidth - margin) / 2;
    int coded = 0;
    int colour = 0;
    int x = 0;
    int end = (raster[0] & 0x80) ? 0 : NextChange(raster, 0, pixels, 0);
    int length = margin + 2 * end;
    for (;;) {
        const bool last = end >= pixels;
        length = last ? pageWidth - coded : std::min(length, pageWidth - coded);
        out.PutRun(colour, length);
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

} // namespace

FaxLineCoder::FaxLineCoder() {
    std::memset(buffer_, 0, sizeof buffer_);
    RunCodes(); // build the table now rather than in the first line
}

std::size_t FaxLineCoder::CodeLine(const std::uint8_t* raster, int pageWidth, int leftMargin,
                                   bool doubleWidth) {
    const int width = std::clamp(pageWidth, 0, MaxPageWidth);
    const int margin = std::clamp(leftMargin, 0, width);
    BitWriter out(buffer_, RunCodes());
    out.Put(kLineStart);
    if (doubleWidth && margin < width) {
        CodeDoubledRuns(out, raster, width, margin);
    } else {
        // A blank line (or one all margin) comes out as one white run of W.
        CodeRuns(out, raster, width - margin, margin);
    }
    return out.Finish() + 2;
}

std::size_t FaxLineCoder::CodeBlankMarginLine(int pageWidth) {
    BitWriter out(buffer_, RunCodes());
    out.Put(kEol);
    out.PutRun(0, std::clamp(pageWidth, 0, MaxPageWidth));
    return out.Finish() + 1;
}

std::size_t FaxLineCoder::CodeEndOfPage() {
    BitWriter out(buffer_, RunCodes());
    out.Put(kLineStart);
    for (int count = 0; count < 7; ++count) {
        out.Put(kEol);
    }
    return out.Finish();
}
