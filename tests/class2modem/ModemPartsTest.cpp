// The emulated modem's parts in-process: parameter lists, DLE framing, the AT line
// parser, the fault plan, the +F settings, spandsp's T.4 coding and checking with TIFF
// files, and the modem logic on a synthetic clock (no pseudo-terminal).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

#include "AtCommandLine.h"
#include "Class2Modem.h"
#include "DleDecoder.h"
#include "FaultPlan.h"
#include "FaxParameters.h"
#include "FaxSettings.h"
#include "PageChecker.h"
#include "TestPages.h"
#include "TestPaths.h"
#include "TiffPageSource.h"
#include "TiffPageWriter.h"

using namespace std::chrono_literals;

namespace {

std::vector<std::uint8_t> Bytes(const std::string& text) {
    return std::vector<std::uint8_t>(text.begin(), text.end());
}

} // namespace

TEST(Class2ModemParts, ParameterListsKeepEmptyFieldsAndRefuseBadValues) {
    // "AT+FDIS=,3" changes only the rate; out-of-range values and a ninth field in
    // Class 2 leave the list as it was.
    FaxParameters p;
    EXPECT_TRUE(p.Apply(",3", false));
    EXPECT_EQ(p.Format(false), "1,3,0,2,0,0,0,0");
    EXPECT_TRUE(p.Apply("0,,1,,,,,7", false));
    EXPECT_EQ(p.Format(false), "0,3,1,2,0,0,0,7");
    for (const char* bad :
         {"2", "0,6", "0,3,3", "0,3,0,2,0,0,0,8", "x", "1,5,0,2,0,0,0,0,0", "-1"}) {
        EXPECT_FALSE(p.Apply(bad, false)) << bad;
    }
    EXPECT_EQ(p.Format(false), "0,3,1,2,0,0,0,7");
    EXPECT_TRUE(p.Apply("1,5,0,2,0,0,0,0,0", true)) << "Class 2.0 has a ninth field";
    EXPECT_EQ(p.Format(true), "1,5,0,2,0,0,0,0,0");
    EXPECT_FALSE(p.Apply("1,5,0,2,0,0,0,0,0,0", true));
    EXPECT_FALSE(p.Apply("A", true)) << "hexadecimal, but out of range";
}

TEST(Class2ModemParts, NegotiationTakesTheLowerCapabilityAndTheReceiversScanTime) {
    FaxParameters wanted;
    wanted.values = {1, 5, 1, 2, 1, 1, 0, 0, 0};
    FaxParameters offered;
    offered.values = {0, 3, 0, 2, 0, 0, 0, 4, 0};
    const FaxParameters dcs = FaxParameters::Negotiate(wanted, offered);
    EXPECT_EQ(dcs.Format(false), "0,3,0,2,0,0,0,4");
    EXPECT_EQ(FaxParameters::BitsPerSecond(dcs.br()), 9600);
    EXPECT_EQ(FaxParameters::BitsPerSecond(9), 9600);
    EXPECT_EQ(FaxParameters::RateCode(12000).value_or(-1), 4);
    EXPECT_FALSE(FaxParameters::RateCode(9601));
    // T.30 scan times: codes 2, 4 and 6 halve at fine resolution.
    const int normal[] = {0, 5, 10, 10, 20, 20, 40, 40};
    const int fine[] = {0, 5, 5, 10, 10, 20, 20, 40};
    for (int code = 0; code < 8; ++code) {
        EXPECT_EQ(FaxParameters::MinimumScanMilliseconds(code, false), normal[code]) << code;
        EXPECT_EQ(FaxParameters::MinimumScanMilliseconds(code, true), fine[code]) << code;
    }
}

TEST(Class2ModemParts, DleFramingIsTakenApartAcrossChunks) {
    // Each case: input chunks, class, data expected, marker expected.
    struct Case {
        std::vector<std::string> chunks;
        bool class20;
        std::string data;
        DleDecoder::Marker marker;
    };
    using M = DleDecoder::Marker;
    const std::vector<Case> cases = {
        {{"ab\x10\x10"
          "c\x10\x03"},
         false,
         "ab\x10"
         "c",
         M::Etx},
        {{"ab\x10",
          "\x10"
          "c\x10",
          "\x03"},
         false,
         "ab\x10"
         "c",
         M::Etx},
        {{"a\x10\x1A"
          "b\x10\x03"},
         false,
         "a\x10\x10"
         "b",
         M::Etx},
        {{"a\x10,"
          "b\x10\x03"},
         false,
         "ab",
         M::Etx},
        {{"a\x10,"}, true, "a", M::MorePages},
        {{"a\x10;"}, true, "a", M::NewDocument},
        {{"a\x10."}, true, "a", M::LastPage},
        {{"a\x10\x18"}, false, "a", M::Cancel},
        {{"a\x10"
          "Zb\x11\x13\x10\x03"},
         false,
         "ab\x11\x13",
         M::Etx},
    };
    for (const Case& c : cases) {
        DleDecoder decoder(c.class20);
        std::vector<std::uint8_t> out;
        M marker = M::None;
        for (const std::string& chunk : c.chunks) {
            const auto bytes = Bytes(chunk);
            const std::size_t used = decoder.Decode(bytes.data(), bytes.size(), 1000, out, marker);
            EXPECT_EQ(used, bytes.size()) << c.data;
        }
        EXPECT_EQ(std::string(out.begin(), out.end()), c.data);
        EXPECT_EQ(marker, c.marker) << c.data;
    }
    // The data limit stops decoding; the marker and what follows it stay for later.
    DleDecoder decoder;
    const auto bytes = Bytes("abcd\x10\x03"
                             "AT");
    std::vector<std::uint8_t> out;
    M marker = M::None;
    EXPECT_EQ(decoder.Decode(bytes.data(), bytes.size(), 2, out, marker), 2u);
    EXPECT_EQ(marker, M::None);
    EXPECT_EQ(decoder.Decode(bytes.data() + 2, bytes.size() - 2, 100, out, marker), 4u);
    EXPECT_EQ(marker, M::Etx);
    EXPECT_EQ(std::string(out.begin(), out.end()), "abcd");
}

TEST(Class2ModemParts, AtLinesSplitIntoCommandsAsModemsReadThem) {
    const auto reset = ParseAtCommands("E0Q0V1X4S0=0S2=43");
    ASSERT_TRUE(reset);
    std::vector<std::string> names;
    for (const AtCommand& c : *reset) {
        names.push_back(c.name + (c.op == AtCommand::Op::Set ? "=" : "") + c.argument);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"E0", "Q0", "V1", "X4", "S0=0", "S2=43"}));

    const auto mixed = ParseAtCommands("+fclass=2;+FLID=\"A;b\";+FDIS?;+FDCC=?;s7?;dT555,1;");
    ASSERT_TRUE(mixed);
    ASSERT_EQ(mixed->size(), 6u);
    EXPECT_EQ((*mixed)[0].name, "+FCLASS");
    EXPECT_EQ((*mixed)[1].argument, "\"A;b\"") << "quotes keep the semicolon and the case";
    EXPECT_EQ((*mixed)[2].op, AtCommand::Op::Read);
    EXPECT_EQ((*mixed)[3].op, AtCommand::Op::Test);
    EXPECT_EQ((*mixed)[4].name, "S7");
    EXPECT_EQ((*mixed)[5].name, "D");
    EXPECT_EQ((*mixed)[5].argument, "T555,1;") << "the dial string runs to the end";

    for (const char* bad : {"S", "S7", "&", "&1", "+", "#"}) {
        EXPECT_FALSE(ParseAtCommands(bad)) << bad;
    }
    EXPECT_TRUE(ParseAtCommands("")) << "plain AT";
}

TEST(Class2ModemParts, FaultCountsRunOutAndMisspeltFaultsChangeNothing) {
    FaultPlan plan;
    std::string error;
    ASSERT_TRUE(plan.Add("busy:2,rtn:1,pagestatus:5:3,hangup:52:post:2,silent:+fdt:1", error));
    EXPECT_EQ(plan.TakeDialFault(), FaultPlan::DialFault::Busy);
    EXPECT_EQ(plan.TakeDialFault(), FaultPlan::DialFault::Busy);
    EXPECT_EQ(plan.TakeDialFault(), FaultPlan::DialFault::None);
    EXPECT_TRUE(plan.TakeRejection());
    EXPECT_FALSE(plan.TakeRejection());
    EXPECT_FALSE(plan.TakePageStatus(2));
    EXPECT_EQ(plan.TakePageStatus(3).value_or(0), 5);
    EXPECT_FALSE(plan.TakePageStatus(3)) << "used once";
    EXPECT_FALSE(plan.TakeHangup(FaultPlan::Where::PostPage, 1));
    EXPECT_FALSE(plan.TakeHangup(FaultPlan::Where::PageStart, 2));
    EXPECT_EQ(plan.TakeHangup(FaultPlan::Where::PostPage, 2).value_or(0), 52);
    EXPECT_FALSE(plan.TakeSilence("AT+FDR"));
    EXPECT_TRUE(plan.TakeSilence("at+fdt"));
    EXPECT_FALSE(plan.TakeSilence("AT+FDT"));

    FaultPlan always;
    ASSERT_TRUE(always.Add("voice", error));
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(always.TakeDialFault(), FaultPlan::DialFault::Voice);
    }

    FaultPlan untouched;
    EXPECT_FALSE(untouched.Add("busy:1,nonsense", error));
    EXPECT_NE(error.find("nonsense"), std::string::npos);
    EXPECT_EQ(untouched.TakeDialFault(), FaultPlan::DialFault::None)
        << "the good part of a refused argument is not kept";
}

TEST(Class2ModemParts, SettingsAnswerUnderTheirClassNames) {
    FaxSettings settings("0,1,2,2.0");
    std::vector<std::string> info;
    const auto run = [&](const std::string& line) {
        info.clear();
        const auto commands = ParseAtCommands(line);
        return commands && !commands->empty() ? settings.Execute(commands->front(), info)
                                              : FaxSettings::Outcome::Error;
    };
    using O = FaxSettings::Outcome;
    EXPECT_EQ(run("+FCLASS=2"), O::Ok);
    EXPECT_EQ(settings.FormatHangup(0), "0");
    EXPECT_EQ(settings.FormatHangup(52), "52");
    EXPECT_EQ(run("+FPHCTO=30"), O::Ok);
    EXPECT_EQ(run("+FCT=1E"), O::NotParameter);
    EXPECT_EQ(run("+FMFR?"), O::Ok);
    EXPECT_EQ(info, (std::vector<std::string>{"Quillpost"}));
    EXPECT_EQ(run("+FDT"), O::NotParameter) << "an action for the modem itself";

    EXPECT_EQ(run("+FCLASS=2.0"), O::Ok);
    EXPECT_EQ(settings.FormatHangup(0), "00");
    EXPECT_EQ(settings.FormatHangup(2), "02");
    EXPECT_EQ(settings.FormatHangup(100), "A0");
    EXPECT_EQ(run("+FCT=1E"), O::Ok) << "hexadecimal in Class 2.0";
    EXPECT_EQ(run("+FCT?"), O::Ok);
    EXPECT_EQ(info, (std::vector<std::string>{"1E"}));
    EXPECT_EQ(run("+FNR=1,1"), O::Ok);
    EXPECT_TRUE(settings.ReportReceiverParameters());
    EXPECT_TRUE(settings.ReportTransmitterParameters());
    EXPECT_FALSE(settings.ReportIds());
    EXPECT_EQ(run("+FNR=1,1,1,1,1"), O::Error);
    EXPECT_EQ(run("+FNR=2"), O::Error);
    EXPECT_EQ(run("+FLI=\"unclosed"), O::Error);
    EXPECT_EQ(run("+FLO=1"), O::Ok);
    EXPECT_TRUE(settings.SoftwareFlow());
    EXPECT_EQ(run("+FCS=0,0,0,0,0,0,0,0"), O::Error) << "negotiated values are read-only";
}

TEST(Class2ModemParts, Spandsp1DPagesRoundTripThroughTiffFiles) {
    // A TIFF page coded by spandsp's encoder decodes with the project's own decoder, and
    // spandsp's checker sees every row and no bad row; the writer's file reads back equal.
    qptest::ScratchDir dir("t4");
    const FaxRaster normal = testpages::Pattern(1728, 40, 40);
    const FaxRaster fine = testpages::Pattern(2048, 30, 41);
    ASSERT_TRUE(testpages::WriteTiff(dir.file("a.tif"), {normal}, false));
    ASSERT_TRUE(testpages::WriteTiff(dir.file("b.tif"), {fine, fine}, true));
    TiffPageSource source;
    std::string error;
    ASSERT_TRUE(source.Open({dir.file("a.tif"), dir.file("b.tif")}, error)) << error;
    EXPECT_EQ(source.Documents(), 2);
    EXPECT_EQ(source.TotalPages(), 3);
    EXPECT_EQ(source.Info(1, 1).width, 2048);
    EXPECT_TRUE(source.Info(1, 1).fine);
    EXPECT_EQ(source.Info(0, 0).rows, 40);

    const auto coded = source.Encode(1, 1, 0, error);
    ASSERT_FALSE(coded.empty()) << error;
    EXPECT_TRUE(testpages::Decode(coded, 2048) == fine);
    const auto padded = source.Encode(0, 0, 14400 * 20 / 1000, error);
    EXPECT_GE(padded.size(), 40u * 288 / 8) << "each row at least 20 ms at 14400 bit/s";
    EXPECT_TRUE(testpages::Decode(padded, 1728) == normal);

    PageChecker checker;
    ASSERT_TRUE(checker.Start(2048, true));
    checker.Put(coded.data(), coded.size() / 2);
    checker.Put(coded.data() + coded.size() / 2, coded.size() - coded.size() / 2);
    const PageChecker::Result result = checker.Finish();
    EXPECT_EQ(result.rows, 30);
    EXPECT_EQ(result.badRows, 0);
    EXPECT_EQ(result.bytes, coded.size());
    ASSERT_EQ(result.image.size(), 30u * 256);

    ASSERT_TRUE(TiffPageWriter::Write(dir.file("out.tif"),
                                      {TiffPageWriter::Page{2048, true, result.image},
                                       TiffPageWriter::Page{2048, true, result.image}},
                                      error))
        << error;
    float yResolution = 0;
    const auto back = testpages::ReadTiff(dir.file("out.tif"), &yResolution);
    ASSERT_EQ(back.size(), 2u);
    EXPECT_TRUE(back[1] == fine);
    EXPECT_FLOAT_EQ(yResolution, 196.0f);
}

TEST(Class2ModemParts, DamagedPagesAndFilesAreReportedNotHidden) {
    // Garbage instead of page data gives bad rows; a TIFF of another width or no TIFF at
    // all is refused; a file that cannot be written leaves nothing half-written.
    qptest::ScratchDir dir("bad");
    PageChecker checker;
    ASSERT_TRUE(checker.Start(1728, false));
    std::vector<std::uint8_t> garbage(3000);
    unsigned state = 7;
    for (std::uint8_t& byte : garbage) {
        state = state * 1103515245u + 12345u;
        byte = static_cast<std::uint8_t>(state >> 16);
    }
    checker.Put(garbage.data(), garbage.size());
    const PageChecker::Result result = checker.Finish();
    EXPECT_GT(result.badRows, 0);

    ASSERT_TRUE(testpages::WriteTiff(dir.file("narrow.tif"), {FaxRaster(1000, 10)}, false));
    std::ofstream(dir.file("text.tif")) << "not a TIFF file";
    TiffPageSource source;
    std::string error;
    EXPECT_FALSE(source.Open({dir.file("narrow.tif")}, error));
    EXPECT_NE(error.find("1000"), std::string::npos) << error;
    EXPECT_FALSE(source.Open({dir.file("text.tif")}, error));
    EXPECT_FALSE(source.Open({dir.file("missing.tif")}, error));

    ASSERT_EQ(::mkdir(dir.file("locked").c_str(), 0500), 0);
    const std::string target = dir.file("locked") + "/rx.tif";
    if (::access(dir.file("locked").c_str(), W_OK) != 0) { // root may write anywhere
        EXPECT_FALSE(TiffPageWriter::Write(target, {TiffPageWriter::Page{}}, error));
    }
    EXPECT_FALSE(
        TiffPageWriter::Write(dir.file("nofolder") + "/rx.tif", {TiffPageWriter::Page{}}, error));
    EXPECT_FALSE(std::filesystem::exists(dir.file("nofolder") + "/rx.tif.part"));
}

TEST(Class2ModemParts, PageChecksLeaveOtherFilesAlone) {
    // spandsp deletes the file its decoder was opened with when it ends; the checker must
    // never name a file that exists (it once named /dev/null).
    qptest::ScratchDir dir("tmp");
    const char* previous = std::getenv("TMPDIR");
    const std::string saved = previous ? previous : "";
    ::setenv("TMPDIR", dir.path().c_str(), 1);
    std::vector<std::string> bystanders;
    for (int i = 0; i < 4; ++i) {
        bystanders.push_back(dir.file("class2modem-check-" + std::to_string(::getpid()) + "-" +
                                      std::to_string(i) + ".tif"));
        std::ofstream(bystanders.back()) << "keep";
    }
    for (int i = 0; i < 3; ++i) {
        PageChecker checker;
        ASSERT_TRUE(checker.Start(1728, false));
        const std::vector<std::uint8_t> line = {0x00, 0x80, 0xB2, 0x59, 0x01, 0x00};
        const std::vector<std::uint8_t> rtc = {0x00, 0x80, 0x00, 0x08, 0x80, 0x00,
                                               0x08, 0x80, 0x00, 0x08, 0x80, 0x00};
        for (int row = 0; row < 4; ++row) {
            checker.Put(line.data(), line.size());
        }
        checker.Put(rtc.data(), rtc.size());
        EXPECT_EQ(checker.Finish().rows, 4);
    }
    if (previous) {
        ::setenv("TMPDIR", saved.c_str(), 1);
    } else {
        ::unsetenv("TMPDIR");
    }
    for (const std::string& file : bystanders) {
        EXPECT_TRUE(std::filesystem::exists(file)) << file;
    }
    struct stat info {};
    ASSERT_EQ(::stat("/dev/null", &info), 0);
    EXPECT_TRUE(S_ISCHR(info.st_mode));
}

namespace {

// The modem logic alone, on a clock the test moves.
struct Bench {
    Class2Modem::TimePoint now{};
    std::vector<std::string> events;
    Class2Modem modem;

    explicit Bench(ModemOptions options)
        : modem(std::move(options), [this](const std::string& e) { events.push_back(e); }) {}

    void Type(const std::string& text) {
        const auto bytes = Bytes(text);
        modem.Receive(bytes.data(), bytes.size(), now);
        modem.Advance(now);
    }
    // Moves the clock in 10 ms steps; returns the output produced meanwhile.
    std::string Wait(std::chrono::milliseconds span) {
        const auto end = now + span;
        while (now < end) {
            now += 10ms;
            modem.Advance(now);
        }
        return Take();
    }
    std::string Take() {
        std::string out = modem.Output();
        modem.Output().clear();
        return out;
    }
};

ModemOptions FastOptions() {
    ModemOptions options;
    options.delays = ModemDelays::Fast();
    options.echo = false;
    return options;
}

} // namespace

TEST(Class2ModemParts, AKeyPressAbandonsADialAndV0AnswersInDigits) {
    Bench bench(FastOptions());
    bench.Type("AT+FCLASS=2\r");
    EXPECT_EQ(bench.Take(), "\r\nOK\r\n");
    bench.Type("ATDT5550199\r");
    bench.Wait(20ms);
    bench.Type("x");
    EXPECT_EQ(bench.Take(), "\r\nNO CARRIER\r\n");
    EXPECT_EQ(bench.Wait(500ms), "") << "no connect after the abort";
    bench.Type("ATV0\r");
    EXPECT_EQ(bench.Take(), "0\r");
    bench.Type("AT+FDT\r");
    EXPECT_EQ(bench.Take(), "4\r") << "no call";
}

TEST(Class2ModemParts, AutoAnswerTakesTheCallAtTheRingCountOfS0) {
    qptest::ScratchDir dir("auto");
    ASSERT_TRUE(testpages::WriteTiff(dir.file("a.tif"), {testpages::Pattern(1728, 5, 42)}, false));
    ModemOptions options = FastOptions();
    options.txTiffs = {dir.file("a.tif")};
    Bench bench(options);
    bench.Type("AT+FCLASS=2;+FCR=1;S0=2\r");
    EXPECT_EQ(bench.Take(), "\r\nOK\r\n");
    std::string error;
    ASSERT_TRUE(bench.modem.StartIncomingCall({}, bench.now, error)) << error;
    EXPECT_FALSE(bench.modem.StartIncomingCall({}, bench.now, error)) << "already ringing";
    const std::string out = bench.Wait(400ms);
    EXPECT_EQ(out.substr(0, 16), "\r\nRING\r\n\r\nRING\r\n");
    EXPECT_NE(out.find("+FCON"), std::string::npos) << out;
    EXPECT_NE(std::find(bench.events.begin(), bench.events.end(), "auto-answer"),
              bench.events.end());
}

TEST(Class2ModemParts, PageDataIsTakenAtTheLineRateAndTheComputerIsHeldWhenFull) {
    // On the synthetic clock: 12000 bytes at 9600 bit/s take 10 s; the computer is held
    // while more than 2 KB wait and released once the buffer is nearly empty.
    ModemOptions options = FastOptions();
    options.rateBps = 9600;
    Bench bench(options);
    bench.Type("AT+FCLASS=2\r");
    bench.Type("ATD1\r");
    bench.Wait(200ms);
    bench.Type("AT+FDT\r");
    EXPECT_NE(bench.Wait(200ms).find("CONNECT"), std::string::npos);
    const std::vector<std::uint8_t> line = {0x00, 0x80, 0xB2, 0x59, 0x01, 0x00};
    std::string page;
    for (int i = 0; i < 2000; ++i) {
        page.append(line.begin(), line.end());
    }
    bench.Type(page.substr(0, 3000));
    EXPECT_TRUE(bench.modem.HoldingComputer());
    bench.Wait(2000ms); // 2400 bytes went out; 600 wait
    EXPECT_TRUE(bench.modem.HoldingComputer()) << "600 bytes still above the low mark";
    bench.Wait(100ms);
    EXPECT_FALSE(bench.modem.HoldingComputer());
    bench.Type(page.substr(3000) + "\x10\x03");
    std::string out;
    int steps = 0;
    while (out.find("OK") == std::string::npos && steps < 2000) {
        out += bench.Wait(10ms);
        ++steps;
    }
    // 12000 bytes in all: 10 s; 2.1 s passed before the rest was written.
    EXPECT_NEAR(steps * 10, 10000 - 2100, 30);
}
