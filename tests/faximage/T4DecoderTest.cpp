// The T.4 decoder held to a plain bit-by-bit decoder that follows the decoding rules
// literally, on valid, damaged and random streams fed in blocks of every size.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "FaxTestSupport.h"
#include "faximage/core/FaxConverterEngine.h"
#include "faximage/core/FaxLineCoder.h"
#include "faximage/core/T4Codes.h"
#include "faximage/core/T4Decoder.h"

using namespace faxtest;

namespace {

struct Decoded {
    std::vector<Bytes> lines;
    unsigned invalidCodes = 0;
    bool pageEnded = false;
    bool operator==(const Decoded&) const = default;
};

std::string Printed(t4::Code code) {
    std::string bits;
    for (int bit = code.bits - 1; bit >= 0; --bit) {
        bits.push_back((code.value >> bit) & 1 ? '1' : '0');
    }
    return bits;
}

// One bit at a time: the code word read so far is matched against the code words of the
// current colour as strings of printed bits.
class ReferenceDecoder {
public:
    ReferenceDecoder() {
        for (int colour = 0; colour < 2; ++colour) {
            for (int run = 0; run < t4::TerminatingCount; ++run) {
                Add(colour, Printed(t4::Terminating(colour, run)), run);
            }
            for (int index = 0; index < t4::MakeUpCount; ++index) {
                Add(colour, Printed(t4::MakeUp(colour, index)), (index + 1) * 64);
            }
            Add(colour, Printed(t4::Eol), kEol);
        }
    }

    Decoded Decode(const Bytes& stream) {
        Decoded result;
        std::vector<std::uint8_t> line(512 + 8, 0);
        unsigned position = 0;
        int colour = 0;
        bool ignoring = false;
        bool eolSeen = false;
        unsigned eolCount = 0;
        std::string code;
        for (std::size_t bit = 0; bit < stream.size() * 8 && !result.pageEnded; ++bit) {
            const bool one = (stream[bit / 8] >> (bit % 8)) & 1;
            if (ignoring) {
                if (one) {
                    continue;
                }
                ignoring = false;
            }
            code.push_back(one ? '1' : '0');
            const auto found = codes_[colour].find(code);
            if (found == codes_[colour].end()) {
                if (code == std::string(12, '0')) {
                    code.pop_back(); // fill zeros before an EOL
                } else if (!prefixes_[colour].count(code)) {
                    ++result.invalidCodes;
                    ignoring = true;
                    code.clear();
                }
                continue;
            }
            code.clear();
            const int run = found->second;
            if (run == kEol) {
                if (position > 0 && (position / 8 == 216 || position / 8 == 256)) {
                    result.lines.emplace_back(line.begin(), line.begin() + position / 8);
                }
                std::fill(line.begin(), line.end(), 0);
                position = 0;
                colour = 0;
                eolSeen = true;
                result.pageEnded = ++eolCount >= 3;
                continue;
            }
            if (eolSeen && position / 8 + static_cast<unsigned>(run) / 8 < 512) {
                for (int x = 0; x < run && colour == 1; ++x) {
                    line[(position + x) / 8] |=
                        static_cast<std::uint8_t>(0x80 >> ((position + x) % 8));
                }
                position += static_cast<unsigned>(run);
            }
            colour ^= run < 64 ? 1 : 0;
            eolCount = 0;
        }
        return result;
    }

private:
    static constexpr int kEol = -1;

    void Add(int colour, const std::string& bits, int run) {
        codes_[colour][bits] = run;
        for (std::size_t length = 1; length < bits.size(); ++length) {
            prefixes_[colour].insert({bits.substr(0, length), 0});
        }
    }

    std::map<std::string, int> codes_[2];
    std::map<std::string, int> prefixes_[2];
};

// The decoder under test, fed the stream in blocks of the given sizes (cycled).
Decoded DecodeInBlocks(const Bytes& stream, const std::vector<std::size_t>& blocks) {
    Decoded result;
    T4Decoder decoder;
    decoder.SetLineSink([&result](const std::uint8_t* line, unsigned length) {
        result.lines.emplace_back(line, line + length);
        return 0;
    });
    decoder.Restart();
    std::size_t at = 0;
    for (std::size_t index = 0; at < stream.size() && !decoder.PageEnded(); ++index) {
        const std::size_t size = std::min(blocks[index % blocks.size()], stream.size() - at);
        decoder.Feed(stream.data() + at, size);
        at += size;
    }
    result.invalidCodes = decoder.InvalidCodes();
    result.pageEnded = decoder.PageEnded();
    return result;
}

// Coded lines as the converter writes them, from random rasters of text-like runs.
Bytes CodedPage(std::mt19937& random, int width, int lines) {
    FaxLineCoder coder;
    Bytes stream;
    for (int y = 0; y < lines; ++y) {
        std::vector<std::uint8_t> raster(FaxConverterEngine::RasterBufferSize + 8, 0);
        const int style = static_cast<int>(random() % 4);
        for (int x = 0; x < width && style != 0;) {
            const int length = 1 + static_cast<int>(random() % (style == 1   ? 6
                                                                : style == 2 ? 40
                                                                             : 900));
            if (random() % 2) {
                for (int p = x; p < std::min(x + length, width); ++p) {
                    raster[static_cast<std::size_t>(p / 8)] |=
                        static_cast<std::uint8_t>(0x80 >> (p % 8));
                }
            }
            x += length;
        }
        const std::size_t size =
            coder.CodeLine(raster.data(), width, static_cast<int>(random() % 60), false);
        stream.insert(stream.end(), coder.Data(), coder.Data() + size);
    }
    const std::size_t size = coder.CodeEndOfPage();
    stream.insert(stream.end(), coder.Data(), coder.Data() + size);
    return stream;
}

} // namespace

TEST(T4Decoder, SameLinesAsTheBitByBitDecoder) {
    // Valid pages of both widths, the same pages damaged (flipped bits, bits left out or
    // put in, runs of fill zeros), lines of every run length, and random bytes: the
    // decoder keeps exactly the lines, counts exactly the invalid codes and ends the page
    // exactly where the bit-by-bit decoder does, however the stream is split into blocks.
    ReferenceDecoder reference;
    std::mt19937 random(19);
    std::vector<Bytes> streams;
    for (int page = 0; page < 12; ++page) {
        streams.push_back(CodedPage(random, page % 2 ? 2048 : 1728, 40 + page * 10));
    }
    for (int page = 0; page < 40; ++page) {
        Bytes damaged = CodedPage(random, page % 3 ? 1728 : 2048, 30);
        const int faults = 1 + static_cast<int>(random() % 6);
        for (int fault = 0; fault < faults; ++fault) {
            const std::size_t at = random() % (damaged.size() * 8);
            switch (random() % 4) {
            case 0: // a flipped bit
                damaged[at / 8] ^= static_cast<std::uint8_t>(1u << (at % 8));
                break;
            case 1: // a byte left out
                damaged.erase(damaged.begin() + static_cast<long>(at / 8));
                break;
            case 2: // a byte put in
                damaged.insert(damaged.begin() + static_cast<long>(at / 8),
                               static_cast<std::uint8_t>(random()));
                break;
            default: // a run of fill zeros
                damaged.insert(damaged.begin() + static_cast<long>(at / 8), 1 + random() % 9, 0);
                break;
            }
        }
        streams.push_back(damaged);
    }
    T4Stream runs; // every run length of both colours, lines too long for the buffer
    for (int length = 0; length <= 2560; length += 1 + length / 40) {
        runs.Line({length, 1 + length % 70, 1728}).Line({1728 - length % 1728});
    }
    runs.Line({2560, 2560, 2560, 2560}).Line({2048});
    streams.push_back(runs.Data());
    for (int density : {10, 50, 90}) {
        for (int repeat = 0; repeat < 8; ++repeat) {
            Bytes noise = T4Stream().Eol().Data();
            for (int index = 0; index < 3000; ++index) {
                std::uint8_t byte = 0;
                for (int bit = 0; bit < 8; ++bit) {
                    byte |= static_cast<std::uint8_t>((static_cast<int>(random() % 100) < density)
                                                      << bit);
                }
                noise.push_back(byte);
            }
            streams.push_back(noise);
        }
    }
    const std::vector<std::vector<std::size_t>> splits = {
        {1 << 20}, {1}, {7, 1, 13}, {4096}, {3, 64, 5, 9, 200}};
    for (std::size_t index = 0; index < streams.size(); ++index) {
        const Decoded expected = reference.Decode(streams[index]);
        for (const auto& split : splits) {
            const Decoded actual = DecodeInBlocks(streams[index], split);
            ASSERT_EQ(actual.lines.size(), expected.lines.size()) << "stream " << index;
            ASSERT_TRUE(actual == expected) << "stream " << index << ", blocks of " << split[0];
        }
    }
}
