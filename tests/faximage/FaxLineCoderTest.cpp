// The byte sequences of coded lines, margins and the end-of-page record, bit for bit.
#include <gtest/gtest.h>

#include <cstdint>
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
