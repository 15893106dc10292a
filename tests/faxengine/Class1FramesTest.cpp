#include <gtest/gtest.h>

#include "faxcomm/core/Class1Frames.h"
#include "faxcomm/core/Class1Rates.h"
#include "faxcomm/core/DleCodec.h"

using namespace qpfax;
using Bytes = std::vector<std::uint8_t>;

namespace {

Bytes Read(Class1FrameReader& reader, const Bytes& input, std::size_t* used = nullptr) {
    const std::size_t n = reader.Feed(input.data(), input.size());
    if (used != nullptr) {
        *used = n;
    }
    return reader.Frame();
}

TrainingCheck CheckOf(std::size_t total, std::size_t nonZero) {
    Bytes data(total, 0);
    for (std::size_t i = 0; i < nonZero; ++i) {
        data[i * (total / nonZero)] = 0x5A;
    }
    data.push_back(DLE);
    data.push_back(ETX);
    TrainingCheck check;
    check.Feed(data.data(), data.size());
    return check;
}

} // namespace

TEST(Class1Frames, StationIdIsBlankPaddedAndReversed) {
    Bytes expected = {0xFF, 0x03, 0x43};
    expected.insert(expected.end(), 17, ' ');
    expected.insert(expected.end(), {'C', 'B', 'A'});
    EXPECT_EQ(Class1Frames::StationId(Class1Frames::fcfTsi, "ABC"), expected);

    // A CSI carries the same field; an ID longer than 20 characters is cut.
    const Bytes csi = Class1Frames::StationId(Class1Frames::fcfCsi, "123456789012345678901234");
    ASSERT_EQ(csi.size(), 23u);
    EXPECT_EQ(csi[2], 0x40);
    EXPECT_EQ(csi[3], '0');
    EXPECT_EQ(csi[22], '1');
    EXPECT_EQ(Class1Frames::StationIdOf(csi), "12345678901234567890");
    // Read back from the far end (with its two check bytes after the field).
    Bytes received = expected;
    received.insert(received.end(), {0x12, 0x34});
    EXPECT_EQ(Class1Frames::StationIdOf(received), "ABC");
    EXPECT_EQ(Class1Frames::StationIdOf(Class1Frames::StationId(0x43, "")), "");
}

TEST(Class1Frames, DcsForNormalPageAt9600WithScanTimeZero) {
    const Bytes dcs = Class1Frames::Dcs(4, false, false, 0);
    EXPECT_EQ(dcs, (Bytes{0xFF, 0x13, 0x83, 0x00, 0x06, 0xF8, 0x00}));
    EXPECT_EQ(Class1Frames::ForModem(dcs),
              (Bytes{0xFF, 0x13, 0x83, 0x00, 0x06, 0xF8, 0x00, DLE, ETX}));
    // Fine, wide, 14400, scan time 20 ms at normal / 10 ms at fine (code 4).
    EXPECT_EQ(Class1Frames::Dcs(6, true, true, 4),
              (Bytes{0xFF, 0x13, 0x83, 0x00, 0x62, 0xA9, 0x00}));
    // 4800 and 2400 at normal resolution.
    EXPECT_EQ(Class1Frames::Dcs(2, false, false, 5)[4], 0x0A);
    EXPECT_EQ(Class1Frames::Dcs(1, false, false, 5)[4], 0x02);
    EXPECT_EQ(Class1Frames::Dcs(1, false, false, 5)[5], 0x88);
}

TEST(Class1Frames, DisAndShortFrames) {
    EXPECT_EQ(Class1Frames::Dis(4), (Bytes{0xFF, 0x13, 0x80, 0x00, 0x4E, 0xF9, 0x00}));
    EXPECT_EQ(Class1Frames::Dis(2)[4], 0x4A);
    EXPECT_EQ(Class1Frames::Dis(1)[4], 0x42);
    // Above 9600 the offer is V.17 with V.29 and V.27ter.
    EXPECT_EQ(Class1Frames::Dis(6)[4], 0x6E);
    EXPECT_EQ(Class1Frames::Simple(Class1Frames::fcfCfr), (Bytes{0xFF, 0x13, 0x84}));
    EXPECT_EQ(Class1Frames::Simple(Class1Frames::fcfFtt), (Bytes{0xFF, 0x13, 0x44}));
    EXPECT_EQ(Class1Frames::Simple(Class1Frames::fcfMps), (Bytes{0xFF, 0x13, 0x4F}));
    EXPECT_EQ(Class1Frames::Simple(Class1Frames::fcfEop), (Bytes{0xFF, 0x13, 0x2F}));
    EXPECT_EQ(Class1Frames::Simple(Class1Frames::fcfMcf), (Bytes{0xFF, 0x13, 0x8C}));
    EXPECT_EQ(Class1Frames::Simple(Class1Frames::fcfDcn), (Bytes{0xFF, 0x13, 0xFB}));
    // A DLE inside a frame is doubled for the modem.
    Bytes tsi = Class1Frames::StationId(0x43, "A\x10");
    const Bytes wire = Class1Frames::ForModem(tsi);
    EXPECT_EQ(wire.size(), tsi.size() + 3);
    EXPECT_EQ(wire[3 + 18], DLE);
    EXPECT_EQ(wire[3 + 19], DLE);
}

TEST(Class1Frames, ReceivedControlFieldsMatchWhicheverStationCalled) {
    // The last bit only says which side made the call: both values are the same frame.
    EXPECT_TRUE(Class1Frames::Is(0x82, Class1Frames::fcfDcs));
    EXPECT_TRUE(Class1Frames::Is(0x83, Class1Frames::fcfDcs));
    EXPECT_TRUE(Class1Frames::Is(0x4E, Class1Frames::fcfMps));
    EXPECT_TRUE(Class1Frames::Is(0xFA, Class1Frames::fcfDcn));
    EXPECT_FALSE(Class1Frames::Is(0x80, Class1Frames::fcfDcs)); // DIS is not DCS
    EXPECT_FALSE(Class1Frames::Is(0x2F, Class1Frames::fcfMps)); // EOP is not MPS
    EXPECT_FALSE(Class1Frames::Is(0x8E, Class1Frames::fcfMcf));
    for (int fcf = 0; fcf < 256; ++fcf) {
        const bool expected = fcf >= 0x40 && fcf <= 0x43;
        EXPECT_EQ(Class1Frames::IsStationId(static_cast<std::uint8_t>(fcf)), expected) << fcf;
    }
}

TEST(Class1Frames, ScanTimeBitsBothWays) {
    const int decoded[8] = {5, 1, 3, 4, 7, 6, 2, 0};
    for (int bits = 0; bits < 8; ++bits) {
        EXPECT_EQ(Class1Frames::ScanTimeCode(static_cast<std::uint8_t>(bits << 4 | 0x89)),
                  decoded[bits]);
    }
    EXPECT_EQ(Class1Frames::ScanTimeBits(2, false), 0x20);
    EXPECT_EQ(Class1Frames::ScanTimeBits(2, true), 0x10);
    EXPECT_EQ(Class1Frames::ScanTimeBits(6, false), 0x40);
    EXPECT_EQ(Class1Frames::ScanTimeBits(6, true), 0x00);
    EXPECT_EQ(Class1Frames::ScanTimeBits(0, true), 0x70);
}

TEST(Class1FrameReader, DropsLeadInKeepsCheckBytesAndStopsAtDleEtx) {
    Class1FrameReader reader;
    // Line ends before the frame, a doubled DLE inside, the check bytes, then the answer.
    const Bytes input = {'\n', 0x00, 0xFF, 0x13, 0x80, DLE, DLE, 0x4E, 0xAB,
                         0xCD, DLE,  ETX,  '\r', '\n', 'O', 'K', '\r', '\n'};
    std::size_t used = 0;
    EXPECT_EQ(Read(reader, input, &used), (Bytes{0xFF, 0x13, 0x80, DLE, 0x4E, 0xAB, 0xCD}));
    EXPECT_TRUE(reader.Complete());
    EXPECT_TRUE(reader.Final());
    EXPECT_EQ(reader.Fcf(), 0x80);
    EXPECT_EQ(used, 12u); // the answer is left for the line reader
    EXPECT_EQ(Class1Frames::FifByte(reader.Frame(), 1), 0x4E);
    EXPECT_EQ(Class1Frames::FifByte(reader.Frame(), 30), 0x00);

    // A frame split across reads, and a DLE at the end of one read.
    reader.Reset();
    const Bytes part1 = {0xFF, 0x03, 0x40, DLE};
    const Bytes part2 = {DLE, DLE, ETX};
    Read(reader, part1);
    EXPECT_FALSE(reader.Complete());
    EXPECT_EQ(Read(reader, part2), (Bytes{0xFF, 0x03, 0x40, DLE}));
    EXPECT_TRUE(reader.Complete());
    EXPECT_FALSE(reader.Final());

    // DLE ETX with no frame (a listen stopped before anything came).
    reader.Reset();
    Read(reader, {DLE, ETX});
    EXPECT_TRUE(reader.Complete());
    EXPECT_TRUE(reader.Frame().empty());
    EXPECT_EQ(reader.Fcf(), 0);
}

TEST(Class1FrameReader, EndlessInputIsBounded) {
    Class1FrameReader reader;
    Bytes flood(5000, 0x55);
    flood[0] = 0xFF;
    Read(reader, flood);
    EXPECT_FALSE(reader.Complete());
    EXPECT_LE(reader.Frame().size(), 256u);
}

TEST(Class1Rates, LocalCapabilityFromModemAnswer) {
    using R = Class1Rates;
    EXPECT_EQ(R::HighestOf(R::LocalCapability("24,48,72,73,74,96,97,98,121,122,145,146")), 6);
    EXPECT_EQ(R::HighestOf(R::LocalCapability("24,48,72,96")), 4);
    EXPECT_EQ(R::HighestOf(R::LocalCapability("24,48")), 2);
    // Without a comma the answer is no list: only 2400 and 4800.
    EXPECT_EQ(R::HighestOf(R::LocalCapability("96")), 2);
    EXPECT_EQ(R::HighestOf(R::LocalCapability("")), 2);
    EXPECT_EQ(R::LocalCapability("24,48,121"), (1u << 1) | (1u << 2) | (1u << 5));
}

TEST(Class1Rates, ChoiceUnderDesiredRate) {
    using R = Class1Rates;
    const auto local = R::LocalCapability("24,48,72,96");
    const auto remote = R::RemoteCapability(0x42 | 0x0C | 0x20);
    const int chosen = R::Choose(local, remote, 9600);
    EXPECT_EQ(chosen, 4);
    EXPECT_EQ(R::Rate(chosen).code, "96");
    EXPECT_EQ(R::Rate(chosen).bitsPerSecond, 9600);

    const auto all = R::LocalCapability("24,48,72,96,121,145");
    EXPECT_EQ(R::Choose(all, remote, 14400), 6);
    EXPECT_EQ(R::Choose(all, remote, 12000), 5);
    EXPECT_EQ(R::Choose(all, remote, 7200), 3);
    // A remote with V.27ter only (4800), and one with V.29 alone.
    EXPECT_EQ(R::Choose(all, R::RemoteCapability(0x42 | 0x08), 14400), 2);
    EXPECT_EQ(R::Choose(all, R::RemoteCapability(0x42 | 0x04), 14400), 4);
    EXPECT_EQ(R::Choose(all, R::RemoteCapability(0x42), 14400), 2);
    // Asked for less than the slowest rate: the slowest common rate.
    EXPECT_EQ(R::Choose(all, remote, 1200), 1);
    EXPECT_EQ(R::Choose(0, remote, 9600), 0);
}

TEST(Class1Rates, StepDownToTheBottom) {
    using R = Class1Rates;
    const auto both = R::LocalCapability("24,48,72,96") & R::RemoteCapability(0x4E);
    EXPECT_EQ(R::StepDown(4, both), 3);
    EXPECT_EQ(R::StepDown(3, both), 2);
    EXPECT_EQ(R::StepDown(2, both), 1);
    EXPECT_EQ(R::StepDown(1, both), 0);
    // Rates the remote does not take are skipped (V.17 remote: no 12000 locally).
    const auto noTwelve = R::LocalCapability("24,48,72,96,145") & R::RemoteCapability(0x6E);
    EXPECT_EQ(R::StepDown(6, noTwelve), 4);
}

TEST(Class1Rates, DcsRateBitsAndTheirReading) {
    using R = Class1Rates;
    for (int index = R::Lowest; index <= R::Highest; ++index) {
        const Class1Rate read = R::FromDcs(static_cast<std::uint8_t>(0x02 | R::DcsRateBits(index)));
        EXPECT_EQ(read.index, index);
        EXPECT_EQ(read.code, R::Rate(index).code);
    }
    // V.17 at 9600 and 7200 take the V.17 modulations.
    EXPECT_EQ(R::FromDcs(0x42 | 0x24).code, "97");
    EXPECT_EQ(R::FromDcs(0x42 | 0x2C).code, "73");
    EXPECT_EQ(R::FromDcs(0x42 | 0x2C).bitsPerSecond, 7200);
    EXPECT_EQ(R::Rate(0).index, 0);
    EXPECT_EQ(R::Rate(7).code, "");
}

TEST(TrainingCheck, FivePercentPassesTenPercentFails) {
    const TrainingCheck five = CheckOf(1000, 50);
    EXPECT_TRUE(five.Ended());
    EXPECT_EQ(five.Total(), 1000u);
    EXPECT_EQ(five.NonZero(), 50u);
    EXPECT_TRUE(five.Good());
    EXPECT_FALSE(CheckOf(1000, 100).Good());
    EXPECT_TRUE(CheckOf(1000, 99).Good());
    EXPECT_TRUE(CheckOf(1728, 0).Good());
    // Nothing before DLE ETX is no training at all.
    EXPECT_FALSE(CheckOf(0, 0).Good());

    // A doubled DLE is one (non-zero) byte; bytes after DLE ETX are not counted.
    TrainingCheck check;
    const Bytes data = {0, 0, DLE, DLE, 0, DLE, ETX, 1, 1};
    EXPECT_EQ(check.Feed(data.data(), data.size()), 7u);
    EXPECT_EQ(check.Total(), 4u);
    EXPECT_EQ(check.NonZero(), 1u);
}

TEST(TrainingCheck, SendLengthIsOneAndAHalfSecondsCapped) {
    EXPECT_EQ(TrainingCheck::SendLength(2400), 432u);
    EXPECT_EQ(TrainingCheck::SendLength(9600), 1728u);
    EXPECT_EQ(TrainingCheck::SendLength(14400), 2592u);
    EXPECT_EQ(TrainingCheck::SendLength(100000), 8192u);
}

TEST(Class1Rates, V17PagesStartWithTheShortTraining) {
    EXPECT_EQ(Class1Rates::PageCode("145"), "146");
    EXPECT_EQ(Class1Rates::PageCode("121"), "122");
    EXPECT_EQ(Class1Rates::PageCode("97"), "98");
    EXPECT_EQ(Class1Rates::PageCode("73"), "74");
    EXPECT_EQ(Class1Rates::PageCode("96"), "96");
    EXPECT_EQ(Class1Rates::PageCode("72"), "72");
    EXPECT_EQ(Class1Rates::PageCode("24"), "24");
}
