// The byte sequences of coded lines, margins and the end-of-page record, bit for bit, and
// the coder held to a plain pixel-by-pixel coder on many lines.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "faximage/core/FaxConverterEngine.h"
#include "faximage/core/FaxLineCoder.h"
#include "faximage/core/T4Codes.h"

namespace {

std::vector<std::uint8_t> Bytes(const FaxLineCoder& coder, std::size_t length) {
    return {coder.Data(), coder.Data() + length};
}

// The code words of a line, read back from the LSB-first stream as T.4 printed bits.
std::string BitString(const std::vector<std::uint8_t>& bytes) {
    std::string bits;
    for (std::uint8_t byte : bytes) {
        for (int bit = 0; bit < 8; ++bit) {
            bits.push_back((byte >> bit) & 1 ? '1' : '0');
        }
    }
    return bits;
}

std::string CodeBits(t4::Code code) {
    std::string bits;
    for (int bit = code.bits - 1; bit >= 0; --bit) {
        bits.push_back((code.value >> bit) & 1 ? '1' : '0');
    }
    return bits;
}

std::vector<std::uint8_t> Raster() {
    return std::vector<std::uint8_t>(FaxConverterEngine::RasterBufferSize + 8, 0);
}

void SetBlack(std::vector<std::uint8_t>& raster, int from, int to) {
    for (int x = from; x < to; ++x) {
        raster[static_cast<std::size_t>(x >> 3)] |= static_cast<std::uint8_t>(0x80 >> (x & 7));
    }
}

} // namespace

TEST(FaxLineCoder, FixedSequencesAppearExactly) {
    FaxLineCoder coder;
    auto blank = Raster();
    EXPECT_EQ(Bytes(coder, coder.CodeLine(blank.data(), 1728, 50, false)),
              (std::vector<std::uint8_t>{0x00, 0x80, 0xB2, 0x59, 0x01, 0x00}));
    EXPECT_EQ(Bytes(coder, coder.CodeBlankMarginLine(1728)),
              (std::vector<std::uint8_t>{0x00, 0x28, 0x9B, 0x15}));
    EXPECT_EQ(Bytes(coder, coder.CodeBlankMarginLine(2048)),
              (std::vector<std::uint8_t>{0x00, 0x08, 0xC8, 0xAC, 0x00}));
    EXPECT_EQ(Bytes(coder, coder.CodeEndOfPage()),
              (std::vector<std::uint8_t>{0x00, 0x80, 0x00, 0x08, 0x80, 0x00, 0x08, 0x80, 0x00, 0x08,
                                         0x80, 0x00}));
}

TEST(FaxLineCoder, RunsOfMarginAndPixels) {
    // Situations: line starting black gets a white margin run of its own; a line starting
    // white merges the margin into its first run; pixel W - M is never coded.
    FaxLineCoder coder;
    const std::string start = CodeBits(t4::LineStart);
    auto run = [](int colour, int length) {
        std::string bits;
        if (length >= 64) {
            bits += CodeBits(t4::MakeUp(colour, length / 64 - 1));
        }
        return bits + CodeBits(t4::Terminating(colour, length % 64));
    };
    struct Case {
        const char* what;
        int from, to;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"black at pixel 0", 0, 10, start + run(0, 50) + run(1, 10) + run(0, 1668)},
        {"white then black", 100, 110, start + run(0, 150) + run(1, 10) + run(0, 1568)},
        {"black at the last coded pixel", 1677, 1679, start + run(0, 1727) + run(1, 1)},
    };
    for (const Case& c : cases) {
        auto raster = Raster();
        SetBlack(raster, c.from, c.to);
        const auto bytes = Bytes(coder, coder.CodeLine(raster.data(), 1728, 50, false));
        const std::string bits = BitString(bytes);
        EXPECT_EQ(bits.substr(0, c.expected.size()), c.expected) << c.what;
        EXPECT_EQ(bytes.size(), c.expected.size() / 8 + 2) << c.what;
        EXPECT_EQ(bits.find('1', c.expected.size()), std::string::npos) << c.what;
    }
}

TEST(FaxLineCoder, DoubleWidthFillsTheLineExactly) {
    // Doubled runs never overrun the page width, and the last run fills it.
    FaxLineCoder coder;
    auto raster = Raster();
    SetBlack(raster, 0, 4);
    SetBlack(raster, 830, 860); // beyond (W - M) / 2: cut off
    const auto bits = BitString(Bytes(coder, coder.CodeLine(raster.data(), 1728, 50, true)));
    auto run = [](int colour, int length) {
        std::string s;
        if (length >= 64) {
            s += CodeBits(t4::MakeUp(colour, length / 64 - 1));
        }
        return s + CodeBits(t4::Terminating(colour, length % 64));
    };
    const std::string expected =
        CodeBits(t4::LineStart) + run(0, 50) + run(1, 8) + run(0, 1652) + run(1, 18);
    EXPECT_EQ(bits.substr(0, expected.size()), expected);
}

namespace {

// A plain coder written from the rules, one pixel and one code bit at a time, to hold
// the fast coder to.
class ReferenceCoder {
public:
    std::vector<std::uint8_t> CodeLine(const std::vector<std::uint8_t>& raster, int width,
                                       int leftMargin, bool doubleWidth) {
        bytes_.clear();
        bit_ = 0;
        Put(t4::LineStart);
        const int margin = std::clamp(leftMargin, 0, width);
        bool blank = true;
        for (int index = 0; index < width / 8; ++index) {
            blank = blank && raster[static_cast<std::size_t>(index)] == 0;
        }
        if (blank || margin == width) {
            Run(0, width);
        } else if (doubleWidth) {
            DoubledRuns(raster, width, margin);
        } else {
            Runs(raster, width, margin);
        }
        // bits / 8 + 2 bytes: zero bits to the end of the byte, then zero bytes.
        bytes_.resize(bit_ / 8 + 2, 0);
        return bytes_;
    }

private:
    static bool Pixel(const std::vector<std::uint8_t>& raster, int x) {
        return (raster[static_cast<std::size_t>(x >> 3)] >> (7 - (x & 7))) & 1;
    }

    // Pixel k = 1 .. W - M: a run grows while the colour stays and k < W - M; otherwise it
    // is coded and pixel k starts the next one (pixel W - M itself is never coded).
    void Runs(const std::vector<std::uint8_t>& raster, int width, int margin) {
        int colour = 0;
        int run = margin + 1;
        if (Pixel(raster, 0)) {
            Run(0, margin);
            colour = 1;
            run = 1;
        }
        for (int k = 1; k <= width - margin; ++k) {
            if (k < width - margin && Pixel(raster, k) == Pixel(raster, k - 1)) {
                ++run;
                continue;
            }
            Run(colour, run);
            colour ^= 1;
            run = 1;
        }
    }

    // Each of the first (W - M) / 2 pixels counts twice, the margin once; the last run
    // fills the line to W.
    void DoubledRuns(const std::vector<std::uint8_t>& raster, int width, int margin) {
        const int pixels = (width - margin) / 2;
        std::vector<int> runs{0};
        for (int x = 0; x < pixels; ++x) {
            if (Pixel(raster, x) != (runs.size() % 2 == 0)) {
                runs.push_back(0);
            }
            runs.back() += 2;
        }
        runs.front() += margin;
        int coded = 0;
        for (std::size_t index = 0; index < runs.size(); ++index) {
            const int length =
                index + 1 == runs.size() ? width - coded : std::min(runs[index], width - coded);
            Run(static_cast<int>(index % 2), length);
            coded += length;
        }
    }

    void Run(int colour, int length) {
        if (length >= 64) {
            Put(t4::MakeUp(colour, length / 64 - 1));
        }
        Put(t4::Terminating(colour, length % 64));
    }

    void Put(t4::Code code) {
        for (int bit = code.bits - 1; bit >= 0; --bit) {
            if (bit_ % 8 == 0) {
                bytes_.push_back(0);
            }
            if ((code.value >> bit) & 1) {
                bytes_.back() |= static_cast<std::uint8_t>(1u << (bit_ % 8));
            }
            ++bit_;
        }
    }

    std::vector<std::uint8_t> bytes_;
    std::size_t bit_ = 0;
};

// Lines of many shapes: random ink of every density, single runs of every length at
// every bit offset, alternating pixels, ink up to and beyond the last coded pixel.
std::vector<std::vector<std::uint8_t>> VariedLines(int width) {
    std::vector<std::vector<std::uint8_t>> lines;
    std::mt19937 random(20261208);
    auto fresh = [&] {
        auto raster = Raster();
        // Bytes past the page width are never coded: fill them with noise.
        for (std::size_t index = static_cast<std::size_t>(width / 8); index < raster.size();
             ++index) {
            raster[index] = static_cast<std::uint8_t>(random());
        }
        return raster;
    };
    for (int density : {1, 3, 10, 50, 90, 97, 99}) {
        for (int repeat = 0; repeat < 40; ++repeat) {
            auto raster = fresh();
            for (int x = 0; x < width; ++x) {
                if (static_cast<int>(random() % 100) < density) {
                    SetBlack(raster, x, x + 1);
                }
            }
            lines.push_back(raster);
        }
    }
    for (int repeat = 0; repeat < 200; ++repeat) { // runs of random lengths
        auto raster = fresh();
        bool black = random() % 2;
        for (int x = 0; x < width;) {
            const int length = 1 + static_cast<int>(random() % (random() % 4 == 0 ? 700 : 20));
            if (black) {
                SetBlack(raster, x, std::min(x + length, width));
            }
            black = !black;
            x += length;
        }
        lines.push_back(raster);
    }
    for (int length : {1, 2, 7, 8, 9, 63, 64, 65, 127, 128, 640, 1727, 1728, 2047, 2048}) {
        for (int from : {0, 1, 5, 7, 8, 56, 63, 64, 65, 1000, width - length}) {
            if (from >= 0 && from + length <= width) {
                auto raster = fresh();
                SetBlack(raster, from, from + length);
                lines.push_back(raster);
            }
        }
    }
    auto alternating = fresh();
    for (int x = 0; x < width; x += 2) {
        SetBlack(alternating, x, x + 1);
    }
    lines.push_back(alternating);
    auto full = fresh();
    SetBlack(full, 0, width);
    lines.push_back(full);
    lines.push_back(fresh()); // blank
    return lines;
}

} // namespace

TEST(FaxLineCoder, SameBytesAsThePlainCoder) {
    // The table-driven coder gives exactly the bytes of a coder that follows the rules
    // pixel by pixel, for both widths, many margins and with double width.
    FaxLineCoder coder;
    ReferenceCoder reference;
    int compared = 0;
    for (int width : {1728, 2048}) {
        const auto lines = VariedLines(width);
        for (int margin : {0, 1, 50, 63, 64, 100, 1000, width - 1, width, width + 5, -3}) {
            for (bool doubled : {false, true}) {
                for (std::size_t index = 0; index < lines.size(); ++index) {
                    const auto expected = reference.CodeLine(lines[index], width, margin, doubled);
                    const auto actual =
                        Bytes(coder, coder.CodeLine(lines[index].data(), width, margin, doubled));
                    ASSERT_EQ(actual, expected)
                        << "width " << width << ", margin " << margin
                        << (doubled ? ", doubled" : "") << ", line " << index;
                    ++compared;
                }
            }
        }
    }
    EXPECT_GT(compared, 20000);
}
