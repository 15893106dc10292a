// The simulator's parts on their own: options, number rules, command classification, the
// way the computer's input is cut for spandsp's modem, the mending of the modem's output,
// the line, the DCN burst and the TIFF joiner.
#include <cmath>
#include <gtest/gtest.h>
#include <spandsp.h>

#include "AtCommand.h"
#include "DteInput.h"
#include "HdlcBurst.h"
#include "LinePath.h"
#include "ModemOutput.h"
#include "NumberRules.h"
#include "SimOptions.h"
#include "TestPages.h"
#include "TestPaths.h"
#include "TiffJoiner.h"

using namespace faxsim;

namespace {

std::optional<SimOptions> Parse(std::vector<std::string> args, std::string* error = nullptr) {
    return ParseOptions(args, error);
}

std::string Bytes(std::initializer_list<int> values) {
    std::string bytes;
    for (int value : values) {
        bytes += static_cast<char>(value);
    }
    return bytes;
}

// Feeds modem output text to a ModemOutput and returns what reaches the computer.
std::string Through(ModemOutput& output, const std::string& text) {
    output.Process(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    return output.Take();
}

} // namespace

// Options: every value is checked, and the far end's defaults are what a test expects.
TEST(FaxsimOptions, AcceptsGoodValuesAndRefusesBadOnes) {
    const auto options = Parse({"--link",
                                "/tmp/x",
                                "--rate",
                                "9600",
                                "--resolutions",
                                "normal",
                                "--no-ecm",
                                "--busy=2",
                                "--ftt",
                                "2",
                                "--dcn-after-page",
                                "3",
                                "--damage-page",
                                "1",
                                "--mute-after-page",
                                "2",
                                "--noise",
                                "-50",
                                "--delay",
                                "20",
                                "--time-factor",
                                "10",
                                "--modem-rates",
                                "24,48,72,96",
                                "--tx-tiff",
                                "a.tif,b.tif"});
    ASSERT_TRUE(options);
    EXPECT_EQ(options->farEnd.maxRate, 9600);
    EXPECT_FALSE(options->farEnd.fine);
    EXPECT_FALSE(options->farEnd.ecm);
    EXPECT_EQ(options->exchange.busyCount, 2);
    EXPECT_EQ(options->farEnd.failTraining, 2);
    EXPECT_EQ(options->farEnd.hangUpAfterPage, 3);
    EXPECT_EQ(options->farEnd.muteAfterPage, 2);
    EXPECT_EQ(options->farEnd.damagePages, 1);
    EXPECT_DOUBLE_EQ(*options->line.noiseDbm0, -50.0);
    EXPECT_EQ(options->line.delayMs, 20);
    EXPECT_DOUBLE_EQ(options->timeFactor, 10.0);
    EXPECT_EQ(options->modemRates, (std::vector<std::string>{"24", "48", "72", "96"}));
    EXPECT_EQ(options->farEnd.txTiffs, (std::vector<std::string>{"a.tif", "b.tif"}));

    const auto defaults = Parse({"--link", "/tmp/x"});
    ASSERT_TRUE(defaults);
    EXPECT_EQ(defaults->farEnd.maxRate, 14400);
    EXPECT_TRUE(defaults->farEnd.fine);
    EXPECT_EQ(defaults->exchange.plan.outcome, DialOutcome::Answer);
    EXPECT_DOUBLE_EQ(defaults->timeFactor, 1.0);

    const std::vector<std::vector<std::string>> bad = {
        {},                                             // no link
        {"--link", "/tmp/x", "--rate", "5000"},         // not a fax rate
        {"--link", "/tmp/x", "--resolutions", "fine"},  // normal is always offered
        {"--link", "/tmp/x", "--modem-rates", "24,99"}, // unknown modulation
        {"--link", "/tmp/x", "--time-factor", "0.5"},   // slower than real time
        {"--link", "/tmp/x", "--noise", "loud"},
        {"--link", "/tmp/x", "--remote-id", std::string(21, 'x')},
        {"--link", "/tmp/x", "--rx-tiff", "a", "--rx-dir", "b"},
        {"--link", "/tmp/x", "--link2", "/tmp/x"},
        {"--link", "/tmp/x", "--number-rules", "*0=explode"},
        {"--link", "/tmp/x", "--bogus"},
        {"--link"},
    };
    for (const auto& args : bad) {
        std::string error;
        EXPECT_FALSE(Parse(args, &error)) << (args.empty() ? "" : args.back());
        EXPECT_FALSE(error.empty());
    }
}

// The dialled number decides busy, no answer and the ring count; the first rule wins and
// only digits count.
TEST(FaxsimNumberRules, MatchByDigitsAndPreset) {
    std::string error;
    const auto rules = NumberRules::Parse("555*=busy; *9 = no-answer; 1?\?=rings:3", &error);
    ASSERT_TRUE(rules) << error;
    EXPECT_EQ(rules->Match("T555-0199")->outcome, DialOutcome::Busy); // first rule wins
    EXPECT_EQ(rules->Match("4449")->outcome, DialOutcome::NoAnswer);
    EXPECT_EQ(rules->Match("1,23")->rings, 3);
    EXPECT_FALSE(rules->Match("1234"));
    EXPECT_FALSE(rules->Match(""));

    const auto preset = NumberRules::Parse("test-line", &error);
    ASSERT_TRUE(preset);
    EXPECT_EQ(preset->Match("5550120")->outcome, DialOutcome::Busy);
    EXPECT_EQ(preset->Match("5550129")->outcome, DialOutcome::NoAnswer);
    EXPECT_EQ(preset->Match("5550128")->outcome, DialOutcome::NoDialtone);
    EXPECT_EQ(preset->Match("5550123")->outcome, DialOutcome::Answer);
    EXPECT_EQ(preset->Match("5550123")->rings, 3);

    EXPECT_TRUE(NumberRules::Matches("*", ""));
    EXPECT_TRUE(NumberRules::Matches("1*2*3", "1002003"));
    EXPECT_FALSE(NumberRules::Matches("1*2*3", "10020034"));
    EXPECT_FALSE(NumberRules::Parse("12a=busy", &error));
    EXPECT_FALSE(NumberRules::Parse("*=rings:0", &error));
    EXPECT_FALSE(NumberRules::Parse("busy", &error));
}

// Command lines: the modem must know which command hands the line to data and which one
// the computer waits on.
TEST(FaxsimAtCommand, ClassifiesTheCommandsOfAClassOneProgram) {
    struct Case {
        std::string line;
        AtKind kind;
        std::string argument;
    };
    const std::vector<Case> cases = {
        {"ATE0Q0V1X4S0=0S2=43", AtKind::Other, ""},
        {"AT+FCLASS=1", AtKind::Other, ""},
        {"AT+FCLASS=?", AtKind::Other, ""},
        {"ATDT5550199", AtKind::Dial, "T5550199"},
        {"atd 555 0199;", AtKind::Dial, "555 0199;"},
        {"ATA", AtKind::Answer, ""},
        {"ATS0=0A", AtKind::Answer, ""},
        {"ATH", AtKind::HangUp, ""},
        {"+++ATH0", AtKind::HangUp, ""},
        {"ATH1", AtKind::Other, ""},
        {"AT+FTH=3", AtKind::SendFrames, "3"},
        {"at+frh=3", AtKind::ReceiveFrames, "3"},
        {"AT+FTM=96", AtKind::SendData, "96"},
        {"AT+FRM=145", AtKind::ReceiveData, "145"},
        {"AT+FTM=?", AtKind::QuerySendRates, ""},
        {"AT+FRM=?", AtKind::QueryReceiveRates, ""},
        {"AT+FTS=8", AtKind::SendSilence, "8"},
        {"AT+FRS=7", AtKind::WaitSilence, "7"},
        {"AT&FE0+FCLASS=1;+FRH=3", AtKind::ReceiveFrames, "3"},
        {"AT", AtKind::Other, ""},
        {"TH", AtKind::Other, ""},
        {"", AtKind::Other, ""},
    };
    for (const Case& c : cases) {
        const AtCommand command = AtCommand::Parse(c.line);
        EXPECT_EQ(command.kind, c.kind) << c.line;
        EXPECT_EQ(command.argument, c.argument) << c.line;
    }
    EXPECT_TRUE(AtCommand::Parse("AT+FRH=3").ComputerWaits());
    EXPECT_TRUE(AtCommand::Parse("ATD1").ComputerWaits());
    EXPECT_FALSE(AtCommand::Parse("AT+FTH=3").ComputerWaits());
    EXPECT_FALSE(AtCommand::Parse("AT+FTM=96").ComputerWaits());
}

// A command and what follows it must reach spandsp in separate pieces, or the modem
// misreads the rest of the buffer; a line feed after the carriage return is no data.
TEST(FaxsimDteInput, CommandLinesComeOneAtATime) {
    DteInput input(260);
    const std::string text = "ATE0\r\nAT+FTH=3\r" + Bytes({0xFF, 0x13, 0xFB, 0x10, 0x03});
    input.Append(text.data(), text.size());

    auto first = input.Next(DteInput::Mode::Command, 256);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->type, DteInput::Piece::Type::CommandLine);
    EXPECT_EQ(first->bytes, "ATE0\r");
    EXPECT_EQ(first->line, "ATE0");
    auto second = input.Next(DteInput::Mode::Command, 256);
    ASSERT_TRUE(second);
    EXPECT_EQ(second->bytes, "AT+FTH=3\r"); // the line feed is gone
    // Now the modem sends frames: the rest is one frame.
    auto frame = input.Next(DteInput::Mode::Frames, 256);
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->type, DteInput::Piece::Type::Frame);
    EXPECT_EQ(frame->frame, (std::vector<std::uint8_t>{0xFF, 0x13, 0xFB}));
    EXPECT_EQ(input.Buffered(), 0u);

    // An unfinished line waits; backspace edits it.
    input.Append("ATX\b4", 5);
    EXPECT_FALSE(input.Next(DteInput::Mode::Command, 256));
    input.Append("\r", 1);
    EXPECT_EQ(input.Next(DteInput::Mode::Command, 256)->line, "AT4");
}

// HDLC frames: stuffed DLEs are undone, a frame is handed over only once complete, and a
// frame longer than the modem's buffer is refused without reaching it.
TEST(FaxsimDteInput, FramesAreWholeAndBounded) {
    DteInput input(8);
    const std::string part1 = Bytes({0xFF, 0x13, 0x10});
    const std::string part2 = Bytes({0x10, 0x42, 0x10, 0x03});
    input.Append(part1.data(), part1.size());
    EXPECT_FALSE(input.Next(DteInput::Mode::Frames, 256));
    input.Append(part2.data(), part2.size());
    auto frame = input.Next(DteInput::Mode::Frames, 256);
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->frame, (std::vector<std::uint8_t>{0xFF, 0x13, 0x10, 0x42}));
    EXPECT_EQ(frame->bytes, part1 + part2);

    // 12 bytes into a buffer of 8, arriving in two parts, then a good frame.
    const std::string longA = std::string(6, 'a');
    const std::string longB =
        std::string(6, 'b') + Bytes({0x10, 0x03, 0xFF, 0x13, 0xFA, 0x10, 0x03});
    input.Append(longA.data(), longA.size());
    EXPECT_FALSE(input.Next(DteInput::Mode::Frames, 256));
    input.Append(longB.data(), longB.size());
    auto refused = input.Next(DteInput::Mode::Frames, 256);
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->type, DteInput::Piece::Type::RefusedFrame);
    EXPECT_EQ(refused->refusedLength, 12u);
    EXPECT_TRUE(refused->bytes.empty());
    auto next = input.Next(DteInput::Mode::Frames, 256);
    ASSERT_TRUE(next);
    EXPECT_EQ(next->frame, (std::vector<std::uint8_t>{0xFF, 0x13, 0xFA}));
}

// Page data goes over in small blocks; the block with DLE ETX ends there (spandsp drops
// the rest of a block after it); a training check can be damaged on the way.
TEST(FaxsimDteInput, DataInBlocksEndingAtDleEtx) {
    DteInput input(260);
    std::string data(10, '\0');
    data += Bytes({0x10, 0x10, 0x00, 0x10, 0x03});
    data += "AT\r";
    input.Append(data.data(), data.size());
    auto a = input.Next(DteInput::Mode::Data, 11); // ends between DLE and DLE
    ASSERT_TRUE(a);
    EXPECT_EQ(a->bytes.size(), 11u);
    EXPECT_FALSE(a->endOfData);
    auto b = input.Next(DteInput::Mode::Data, 100);
    ASSERT_TRUE(b);
    EXPECT_TRUE(b->endOfData);
    EXPECT_EQ(b->bytes, Bytes({0x10, 0x00, 0x10, 0x03}));
    EXPECT_EQ(input.Next(DteInput::Mode::Command, 256)->line, "AT");

    DteInput training(260);
    std::string zeros(400, '\0');
    zeros += Bytes({0x10, 0x10, 0x10, 0x03});
    training.Append(zeros.data(), zeros.size());
    auto damaged = training.Next(DteInput::Mode::Data, 1000, true);
    ASSERT_TRUE(damaged);
    std::size_t nonZero = 0;
    for (char c : damaged->bytes.substr(0, 400)) {
        nonZero += c != 0 ? 1 : 0;
    }
    EXPECT_EQ(nonZero, 100u);                                               // every fourth byte
    EXPECT_EQ(damaged->bytes.substr(400), Bytes({0x10, 0x10, 0x10, 0x03})); // escapes intact

    // While the modem receives, any byte aborts: one byte at a time.
    input.Append("ATH\r", 4);
    auto abort = input.Next(DteInput::Mode::Receiving, 256);
    ASSERT_TRUE(abort);
    EXPECT_EQ(abort->type, DteInput::Piece::Type::Abort);
    EXPECT_EQ(abort->bytes, "A");
    input.DropRestOfLine();
    EXPECT_EQ(input.Buffered(), 0u);
}

// Received frames are reported with the modem's verdict; a CONNECT that spandsp repeats in
// front of a frame and a DLE ETX in front of an abort's OK do not reach the computer.
TEST(FaxsimModemOutput, ReceivedFramesAndSpandspRepeats) {
    ModemOutput output;
    std::vector<std::pair<std::vector<std::uint8_t>, bool>> frames;
    output.onFrame = [&](const std::vector<std::uint8_t>& frame, bool good) {
        frames.emplace_back(frame, good);
    };
    output.CommandStarted(AtCommand::Parse("AT+FRH=3"));
    EXPECT_TRUE(output.ComputerWaits());
    const std::string frame = Bytes({0xFF, 0x13, 0x80, 0x10, 0x10, 0x42, 0x10, 0x03});
    EXPECT_EQ(Through(output, "\r\nCONNECT\r\n\r\nCONNECT\r\n" + frame + "\r\nOK\r\n"),
              "\r\nCONNECT\r\n" + frame + "\r\nOK\r\n");
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].first, (std::vector<std::uint8_t>{0xFF, 0x13, 0x80, 0x10, 0x42}));
    EXPECT_TRUE(frames[0].second);
    EXPECT_FALSE(output.ComputerWaits());

    output.CommandStarted(AtCommand::Parse("AT+FRH=3"));
    Through(output, "\r\nCONNECT\r\n" + Bytes({0xFF, 0x13, 0x84, 0x10, 0x03}) + "\r\nERROR\r\n");
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_FALSE(frames[1].second);

    // Data that only starts like a CONNECT line passes unchanged.
    output.CommandStarted(AtCommand::Parse("AT+FRM=96"));
    const std::string data = "\r\nCONX" + Bytes({0x10, 0x03});
    EXPECT_EQ(Through(output, "\r\nCONNECT\r\n" + data + "\r\nNO CARRIER\r\n"),
              "\r\nCONNECT\r\n" + data + "\r\nNO CARRIER\r\n");

    output.CommandStarted(AtCommand::Parse("AT+FRH=3"));
    EXPECT_EQ(Through(output, Bytes({0x10, 0x03}) + "\r\nOK\r\n"), "\r\nOK\r\n");
}

// Sending frames: spandsp's second CONNECT (no frame handed over yet) is dropped, the one
// asking for the next frame is kept; a refused frame ends with ERROR instead of OK.
TEST(FaxsimModemOutput, SendingFramesAndReplacedResults) {
    ModemOutput output;
    output.CommandStarted(AtCommand::Parse("AT+FTH=3"));
    EXPECT_EQ(Through(output, "\r\nCONNECT\r\n"), "\r\nCONNECT\r\n");
    EXPECT_TRUE(output.WaitsForFrame());
    EXPECT_EQ(Through(output, "\r\nCONNECT\r\n"), "");
    output.FrameSent();
    EXPECT_FALSE(output.WaitsForFrame());
    EXPECT_EQ(Through(output, "\r\nCONNECT\r\n"), "\r\nCONNECT\r\n");
    output.FrameSent();
    output.ReplaceNextFinal("ERROR");
    EXPECT_EQ(Through(output, "\r\nCONNECT\r\n\r\nOK\r\n"), "\r\nERROR\r\n");
    EXPECT_FALSE(output.AwaitingFinal());
    EXPECT_EQ(Through(output, "\r\nRING\r\n"), "\r\nRING\r\n");

    output.CommandStarted(AtCommand::Parse("ATA"));
    EXPECT_TRUE(output.ComputerWaits());
    Through(output, "\r\nCONNECT\r\n");
    EXPECT_FALSE(output.ComputerWaits()); // now the modem waits for the first frame
    EXPECT_TRUE(output.AwaitingFinal());
    output.InjectResult("NO CARRIER");
    EXPECT_FALSE(output.AwaitingFinal());
    EXPECT_EQ(output.Take(), "\r\nNO CARRIER\r\n");
}

// A damaged training check on its way to the computer has a quarter of its bytes set,
// with DLE escapes left intact; the next data block is not damaged.
TEST(FaxsimModemOutput, DamagesOnlyTheNextReceivedData) {
    ModemOutput output;
    output.GarbleNextData();
    output.CommandStarted(AtCommand::Parse("AT+FRM=96"));
    std::string tcf(800, '\0');
    tcf += Bytes({0x10, 0x10, 0x10, 0x03});
    const std::string out = Through(output, "\r\nCONNECT\r\n" + tcf + "\r\nNO CARRIER\r\n");
    const std::string body = out.substr(std::string("\r\nCONNECT\r\n").size(), 800);
    EXPECT_EQ(std::count(body.begin(), body.end(), '\xFF'), 200);
    EXPECT_NE(out.find(Bytes({0x10, 0x10, 0x10, 0x03})), std::string::npos);

    output.CommandStarted(AtCommand::Parse("AT+FRM=96"));
    const std::string clean = Through(output, "\r\nCONNECT\r\n" + tcf + "\r\nNO CARRIER\r\n");
    EXPECT_EQ(std::count(clean.begin(), clean.end(), '\xFF'), 0);
}

// The line: samples arrive after the delay, attenuated by the loss; noise has about the
// requested power.
TEST(FaxsimLinePath, DelayLossAndNoise) {
    LineOptions options;
    options.delayMs = 20;
    options.lossDb = 6.0206; // half the amplitude
    LinePath path(options, 1);
    std::vector<std::int16_t> block(160, 0);
    block[0] = 10000;
    path.Carry(block.data(), 160);
    EXPECT_TRUE(std::all_of(block.begin(), block.end(), [](std::int16_t s) { return s == 0; }));
    std::vector<std::int16_t> next(160, 0);
    path.Carry(next.data(), 160);
    EXPECT_NEAR(next[0], 5000, 2); // 160 samples = 20 ms later
    path.Clear();
    std::vector<std::int16_t> quiet(160, 0);
    path.Carry(quiet.data(), 160);
    EXPECT_EQ(quiet[0], 0);

    LineOptions noisy;
    noisy.delayMs = 0;
    noisy.noiseDbm0 = -30;
    LinePath noise(noisy, 7);
    std::vector<std::int16_t> samples(8000, 0);
    noise.Carry(samples.data(), 8000);
    double power = 0;
    for (std::int16_t s : samples) {
        power += static_cast<double>(s) * s;
    }
    // 0 dBm0 is 6.16 dB below a full-scale square wave (G.711's reference).
    const double dbm0 = 10 * std::log10(power / samples.size() / (32768.0 * 32768.0)) + 6.16;
    EXPECT_NEAR(dbm0, -30, 1);
}

namespace {
std::vector<std::vector<std::uint8_t>> decodedFrames;
void CollectFrame(void*, const std::uint8_t* frame, int length, int ok) {
    if (length > 0 && ok) {
        decodedFrames.emplace_back(frame, frame + length);
    }
}
} // namespace

// The far end's DCN is real V.21 HDLC: spandsp's own receiver decodes it, and the burst
// ends after about a second of preamble.
TEST(FaxsimHdlcBurst, DecodesAsOneGoodFrame) {
    decodedFrames.clear();
    HdlcBurst burst({0xFF, 0x13, 0xFA});
    hdlc_rx_state_t* hdlc = hdlc_rx_init(nullptr, FALSE, FALSE, 5, CollectFrame, nullptr);
    fsk_rx_state_t* fsk = fsk_rx_init(nullptr, &preset_fsk_specs[FSK_V21CH2], FSK_FRAME_MODE_SYNC,
                                      reinterpret_cast<put_bit_func_t>(hdlc_rx_put_bit), hdlc);
    std::int16_t samples[160];
    int blocks = 0;
    while (burst.Transmit(samples, 160) && blocks < 500) {
        fsk_rx(fsk, samples, 160);
        ++blocks;
    }
    fsk_rx(fsk, samples, 160);
    fsk_rx_free(fsk);
    hdlc_rx_free(hdlc);
    EXPECT_TRUE(burst.Done());
    EXPECT_GT(blocks, 50); // 75 ms silence + ~1 s of flags
    EXPECT_LT(blocks, 80);
    ASSERT_EQ(decodedFrames.size(), 1u);
    EXPECT_EQ(decodedFrames[0], (std::vector<std::uint8_t>{0xFF, 0x13, 0xFA}));
}

// Several TIFF files become one file with all their pages, pixels kept (min-is-black
// pages are turned into min-is-white); a missing or non-TIFF file is an error.
TEST(FaxsimTiffJoiner, JoinsPagesAndRefusesBadInput) {
    qptest::ScratchDir dir("faxsim-tiff");
    const std::string one = dir.file("one.tif");
    const std::string three = dir.file("three.tif");
    ASSERT_TRUE(WriteTestTiff(one, {{30, false, true, 1}}));
    ASSERT_TRUE(
        WriteTestTiff(three, {{20, true, false, 2}, {25, false, false, 3}, {10, false, false, 4}}));
    const std::string joined = dir.file("joined.tif");
    std::string error;
    ASSERT_TRUE(JoinTiffPages({one, three}, joined, &error)) << error;
    EXPECT_EQ(CountTiffPages(joined), 4);
    EXPECT_EQ(ReadRows(joined, 1), ReadRows(one, 1));
    EXPECT_EQ(ReadRows(joined, 4), ReadRows(three, 3));
    EXPECT_EQ(ReadRows(joined, 2).size(), 20u);

    const std::string text = dir.file("text.tif");
    FILE* file = std::fopen(text.c_str(), "w");
    std::fputs("not a picture", file);
    std::fclose(file);
    EXPECT_FALSE(JoinTiffPages({one, text}, dir.file("bad.tif"), &error));
    EXPECT_NE(error.find("text.tif"), std::string::npos);
    EXPECT_FALSE(JoinTiffPages({one, dir.file("missing.tif")}, dir.file("bad2.tif"), &error));
    EXPECT_EQ(CountTiffPages(text), -1);
}
