// The emulated Class 2 / 2.0 modem over its pseudo-terminal, driven the way a fax program
// drives a real modem: the dialogues of both classes for sending and receiving, the pages
// checked on the far side and handed back in the bit order each class uses.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "ComputerSide.h"
#include "Emulator.h"
#include "TestPages.h"

using namespace std::chrono_literals;
using Lines = std::vector<std::string>;

namespace {

const std::vector<std::uint8_t> DleEtx = {0x10, 0x03};

std::vector<std::uint8_t> operator+(std::vector<std::uint8_t> a,
                                    const std::vector<std::uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::vector<std::uint8_t> Marker(char c) {
    return {0x10, static_cast<std::uint8_t>(c)};
}

// The page as the computer sends it: coded, DLE doubled.
std::vector<std::uint8_t> Wire(const FaxRaster& page) {
    return testpages::Stuffed(testpages::Code(page));
}

// An answer without the RING reports that may come before it on a slow machine.
Lines WithoutRings(Lines lines) {
    lines.erase(std::remove(lines.begin(), lines.end(), "RING"), lines.end());
    return lines;
}

void Reset(ComputerSide& pc) {
    // The reset command is echoed (E1 at power-on) before ATE0 takes effect.
    EXPECT_EQ(pc.Exchange("ATE0Q0V1X4S0=0S2=43"), (Lines{"ATE0Q0V1X4S0=0S2=43", "OK"}));
}

} // namespace

TEST(Class2ModemDialogue, Class2SendOfTwoFinePagesArrivesPixelForPixel) {
    // The whole Class 2 send dialogue of a real modem, and the far end's copy of the pages.
    Emulator modem;
    ASSERT_TRUE(modem.Start({"--rx-tiff", modem.File("rx.tif"), "--time-factor", "20"}));
    ComputerSide pc;
    ASSERT_TRUE(pc.Open(modem.Device()));
    Reset(pc);
    EXPECT_EQ(pc.Exchange("AT+FCLASS=?"), (Lines{"0,1,2,2.0", "OK"}));
    EXPECT_EQ(pc.Exchange("AT+FCLASS=2"), (Lines{"OK"}));
    EXPECT_EQ(pc.Exchange("AT+FLID=\"QP TEST\""), (Lines{"OK"}));
    EXPECT_EQ(pc.Exchange("AT+FDIS=1,5,0,2,0,0,0,0"), (Lines{"OK"}));
    EXPECT_EQ(pc.Exchange("ATDT5550199"),
              (Lines{"+FCON", "+FCSI:\"         +1 555 0199\"", "+FDIS:1,5,0,2,0,0,0,0", "OK"}));

    const FaxRaster page1 = testpages::Pattern(1728, 140, 1);
    const FaxRaster page2 = testpages::Pattern(1728, 90, 2);
    const auto coded1 = testpages::Code(page1);
    ASSERT_NE(std::find(coded1.begin(), coded1.end(), 0x10), coded1.end())
        << "the page should hold DLE bytes to show the doubling";

    EXPECT_EQ(pc.Exchange("AT+FDT"), (Lines{"+FDCS:1,5,0,2,0,0,0,0", "CONNECT"}));
    EXPECT_TRUE(pc.AwaitControl(0x11)) << "a Class 2 modem says XON when it is ready";
    ASSERT_TRUE(pc.Write(Wire(page1) + DleEtx));
    EXPECT_EQ(pc.Lines(), (Lines{"OK"}));
    EXPECT_EQ(pc.Exchange("AT+FET=0"), (Lines{"+FPTS:1", "OK"}));
    pc.ClearControlBytes();
    EXPECT_EQ(pc.Exchange("AT+FDT"), (Lines{"CONNECT"})) << "no new negotiation for page 2";
    EXPECT_TRUE(pc.AwaitControl(0x11));
    ASSERT_TRUE(pc.Write(Wire(page2) + DleEtx));
    EXPECT_EQ(pc.Lines(), (Lines{"OK"}));
    EXPECT_EQ(pc.Exchange("AT+FET=2"), (Lines{"+FPTS:1", "+FHNG:0", "OK"}));

    const auto first = modem.Event("page 1 ");
    ASSERT_TRUE(first);
    EXPECT_EQ(EventValue(*first, "rows"), "140");
    EXPECT_EQ(EventValue(*first, "bad"), "0");
    EXPECT_EQ(EventValue(*first, "res"), "fine");
    EXPECT_EQ(EventValue(*first, "tiff"), modem.File("rx.tif"));
    ASSERT_TRUE(modem.Event("page 2 "));
    EXPECT_TRUE(modem.Event("call end hangup=0 pages=2"));
    EXPECT_EQ(modem.Event("result ").value_or(""), "result ok pages=2");

    float yResolution = 0;
    const auto received = testpages::ReadTiff(modem.File("rx.tif"), &yResolution);
    ASSERT_EQ(received.size(), 2u);
    EXPECT_TRUE(received[0] == page1);
    EXPECT_TRUE(received[1] == page2);
    EXPECT_FLOAT_EQ(yResolution, 196.0f);
}

TEST(Class2ModemDialogue, Class20SendEndsPagesWithDleMarkersAndNoXon) {
    // Class 2.0: reports only after AT+FNR, no XON, DLE "," and DLE "." end the pages.
    Emulator modem;
    ASSERT_TRUE(modem.Start(
        {"--rx-tiff", modem.File("rx.tif"), "--time-factor", "20", "--remote-id", "REMOTE 2"}));
    ComputerSide pc;
    ASSERT_TRUE(pc.Open(modem.Device()));
    Reset(pc);
    EXPECT_EQ(pc.Exchange("AT+FCLASS=2.0"), (Lines{"OK"}));
    EXPECT_EQ(pc.Exchange("AT+FLI=\"QP TEST\""), (Lines{"OK"}));
    EXPECT_EQ(pc.Exchange("AT+FLO=2"), (Lines{"OK"}));
    EXPECT_EQ(pc.Exchange("AT+FNR=1,1,1,0"), (Lines{"OK"}));
    EXPECT_EQ(pc.Exchange("AT+FIS=0,5,0,2,0,0,0,0"), (Lines{"OK"}));
    EXPECT_EQ(pc.Exchange("ATD5550199"),
              (Lines{"+FCO", "+FCI:\"            REMOTE 2\"", "+FIS:1,5,0,2,0,0,0,0,0", "OK"}));
    const FaxRaster page1 = testpages::Pattern(1728, 60, 3);
    const FaxRaster page2 = testpages::Pattern(1728, 40, 4);
    EXPECT_EQ(pc.Exchange("AT+FDT"), (Lines{"+FCS:0,5,0,2,0,0,0,0,0", "CONNECT"}));
    ASSERT_TRUE(pc.Write(Wire(page1) + Marker(',')));
    EXPECT_EQ(pc.Lines(), (Lines{"OK"}));
    EXPECT_EQ(pc.Exchange("AT+FDT"), (Lines{"CONNECT"}));
    ASSERT_TRUE(pc.Write(Wire(page2) + Marker('.')));
    EXPECT_EQ(pc.Lines(), (Lines{"+FHS:00", "OK"}));
    EXPECT_EQ(pc.ControlBytes(), "") << "Class 2.0 sends no XON";

    EXPECT_TRUE(modem.Event("page-end class2.0 DLE-,"));
    EXPECT_TRUE(modem.Event("page-end class2.0 DLE-."));
    EXPECT_EQ(modem.Event("result ").value_or(""), "result ok pages=2");
    float yResolution = 0;
    const auto received = testpages::ReadTiff(modem.File("rx.tif"), &yResolution);
    ASSERT_EQ(received.size(), 2u);
    EXPECT_TRUE(received[0] == page1);
    EXPECT_TRUE(received[1] == page2);
    EXPECT_FLOAT_EQ(yResolution, 98.0f);
}

TEST(Class2ModemDialogue, Class20WithoutReportSwitchesLeavesTheReportsOut) {
    // Without AT+FNR a Class 2.0 modem keeps the ID and capability reports to itself.
    Emulator modem;
    ASSERT_TRUE(modem.Start({}));
    ComputerSide pc;
    ASSERT_TRUE(pc.Open(modem.Device()));
    Reset(pc);
    EXPECT_EQ(pc.Exchange("AT+FCLASS=2.0"), (Lines{"OK"}));
    EXPECT_EQ(pc.Exchange("ATDT5550199"), (Lines{"+FCO", "OK"}));
    EXPECT_EQ(pc.Exchange("AT+FDT"), (Lines{"CONNECT"}));
}

namespace {

struct ReceivedCall {
    std::vector<std::vector<std::uint8_t>> pages;
    std::vector<Lines> postPage;
};

// Answers a call and takes pages with AT+FDR until the modem reports the hang-up.
ReceivedCall ReceiveCall(ComputerSide& pc, const std::string& lastLine) {
    ReceivedCall call;
    for (int guard = 0; guard < 10; ++guard) {
        const Lines answer = pc.Exchange("AT+FDR");
        if (answer.back() != "CONNECT") {
            EXPECT_EQ(answer.front(), lastLine);
            EXPECT_EQ(answer.back(), "OK");
            return call;
        }
        pc.Write(std::string(1, 0x12));
        const auto data = pc.PageData();
        if (!data) {
            ADD_FAILURE() << "no page data";
            return call;
        }
        call.pages.push_back(*data);
        call.postPage.push_back(pc.Lines());
    }
    ADD_FAILURE() << "the call does not end";
    return call;
}

} // namespace

TEST(Class2ModemDialogue, Class2ReceiveOfTwoDocumentsComesMostSignificantBitFirst) {
    // An incoming call with two documents (2 fine pages, 1 normal page) on a Class 2 modem:
    // the data arrives bit-reversed, post-page messages MPS, EOM, EOP.
    Emulator modem;
    const std::vector<FaxRaster> documentA = {testpages::Pattern(1728, 80, 5),
                                              testpages::Pattern(1728, 50, 6)};
    const std::vector<FaxRaster> documentB = {testpages::Pattern(1728, 30, 7)};
    ASSERT_TRUE(testpages::WriteTiff(modem.File("a.tif"), documentA, true));
    ASSERT_TRUE(testpages::WriteTiff(modem.File("b.tif"), documentB, false));
    ASSERT_TRUE(modem.Start({"--tx-tiff", modem.File("a.tif") + "," + modem.File("b.tif"),
                             "--time-factor", "20", "--remote-id", "CALLER"}));
    ComputerSide pc;
    ASSERT_TRUE(pc.Open(modem.Device()));
    Reset(pc);
    EXPECT_EQ(pc.Exchange("AT+FCLASS=2"), (Lines{"OK"}));
    EXPECT_EQ(pc.Exchange("AT+FDCC=1,5,0,2,0,0,0,0"), (Lines{"OK"}));
    EXPECT_EQ(pc.Exchange("AT+FCR=1"), (Lines{"OK"}));
    EXPECT_EQ(pc.Exchange("AT+FLID=\"QP RCVFAX\""), (Lines{"OK"}));
    ASSERT_TRUE(modem.Send("ring"));
    EXPECT_EQ(pc.Line().value_or(""), "RING");
    EXPECT_EQ(WithoutRings(pc.Exchange("ATA")),
              (Lines{"+FCON", "+FTSI:\"              CALLER\"", "+FDCS:1,5,0,2,0,0,0,0", "OK"}));
    EXPECT_EQ(modem.Event("local-id ").value_or(""), "local-id QP RCVFAX");

    const ReceivedCall call = ReceiveCall(pc, "+FHNG:0");
    ASSERT_EQ(call.pages.size(), 3u);
    EXPECT_EQ(call.postPage[0], (Lines{"+FPTS:1,80,0,0,0", "+FET:0", "OK"}));
    EXPECT_EQ(call.postPage[1], (Lines{"+FPTS:1,50,0,0,0", "+FET:1", "OK"}));
    EXPECT_EQ(call.postPage[2], (Lines{"+FPTS:1,30,0,0,0", "+FET:2", "OK"}));
    const std::vector<FaxRaster> expected = {documentA[0], documentA[1], documentB[0]};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_TRUE(testpages::Decode(testpages::Reversed(call.pages[i]), 1728) == expected[i])
            << "page " << i + 1;
        EXPECT_FALSE(testpages::Decode(call.pages[i], 1728) == expected[i])
            << "page " << i + 1 << " must not arrive least significant bit first";
    }
    EXPECT_EQ(modem.Event("result ").value_or(""), "result ok pages=3");
}

TEST(Class2ModemDialogue, Class20ReceiveComesLeastSignificantBitFirstWithHexCounts) {
    // The same call on a Class 2.0 modem: data as the APF files store it, +FPS counts in hex.
    Emulator modem;
    const std::vector<FaxRaster> document = {testpages::Pattern(1728, 26, 8),
                                             testpages::Pattern(1728, 12, 9)};
    ASSERT_TRUE(testpages::WriteTiff(modem.File("a.tif"), document, false));
    ASSERT_TRUE(modem.Start({"--time-factor", "20"}));
    ComputerSide pc;
    ASSERT_TRUE(pc.Open(modem.Device()));
    Reset(pc);
    EXPECT_EQ(pc.Exchange("AT+FCLASS=2.0"), (Lines{"OK"}));
    EXPECT_EQ(pc.Exchange("AT+FCC=1,3,0,2,0,0,0,0"), (Lines{"OK"}));
    EXPECT_EQ(pc.Exchange("AT+FLO=2"), (Lines{"OK"}));
    EXPECT_EQ(pc.Exchange("AT+FNR=1,1,1,0"), (Lines{"OK"}));
    EXPECT_EQ(pc.Exchange("AT+FCR=1"), (Lines{"OK"}));
    ASSERT_TRUE(modem.Send("call " + modem.File("a.tif")));
    EXPECT_EQ(pc.Line().value_or(""), "RING");
    EXPECT_EQ(WithoutRings(pc.Exchange("ATA")),
              (Lines{"+FCO", "+FTI:\"         +1 555 0199\"", "+FCS:0,3,0,2,0,0,0,0,0", "OK"}));
    const ReceivedCall call = ReceiveCall(pc, "+FHS:00");
    ASSERT_EQ(call.pages.size(), 2u);
    EXPECT_EQ(call.postPage[0], (Lines{"+FPS:1,1A,0,0,0", "+FET:0", "OK"}));
    EXPECT_EQ(call.postPage[1], (Lines{"+FPS:1,C,0,0,0", "+FET:2", "OK"}));
    EXPECT_TRUE(testpages::Decode(call.pages[0], 1728) == document[0]);
    EXPECT_TRUE(testpages::Decode(call.pages[1], 1728) == document[1]);
    const auto dcs = modem.Event("dcs ");
    ASSERT_TRUE(dcs);
    EXPECT_EQ(EventValue(*dcs, "bps"), "9600") << "the receiver's AT+FCC limits the rate";
}

TEST(Class2ModemDialogue, CommandsOfTheOtherClassAndBadValuesAreErrors) {
    // A real modem refuses what its selected class does not have; so does the emulator.
    Emulator modem;
    ASSERT_TRUE(modem.Start({"--classes", "0,1,2"}));
    ComputerSide pc;
    ASSERT_TRUE(pc.Open(modem.Device()));
    Reset(pc);
    EXPECT_EQ(pc.Exchange("AT+FLID=\"X\""), (Lines{"ERROR"})) << "no fax class selected yet";
    EXPECT_EQ(pc.Exchange("AT+FCLASS=2.0"), (Lines{"ERROR"})) << "not in --classes";
    EXPECT_EQ(pc.Exchange("AT+FCLASS?"), (Lines{"0", "OK"}));
    EXPECT_EQ(pc.Exchange("AT+FCLASS=2"), (Lines{"OK"}));
    EXPECT_EQ(pc.Exchange("AT+FLO=2"), (Lines{"ERROR"}));
    EXPECT_EQ(pc.Exchange("AT+FNR=1,1,1,0"), (Lines{"ERROR"}));
    EXPECT_EQ(pc.Exchange("AT+FDIS=1,6,0,2,0,0,0,0"), (Lines{"ERROR"})) << "rate code 6";
    EXPECT_EQ(pc.Exchange("AT+FDIS=1,5,0,2,0,0,0,0,0"), (Lines{"ERROR"})) << "nine values";
    EXPECT_EQ(pc.Exchange("AT+FLID=\"TWENTY-ONE CHARACTERS\""), (Lines{"ERROR"}));
    EXPECT_EQ(pc.Exchange("AT+FDIS=,3"), (Lines{"OK"}));
    EXPECT_EQ(pc.Exchange("AT+FDIS?"), (Lines{"1,3,0,2,0,0,0,0", "OK"}));
    EXPECT_EQ(pc.Exchange("AT+FDT"), (Lines{"ERROR"})) << "no call";
    EXPECT_EQ(pc.Exchange("AT+FET=0"), (Lines{"ERROR"}));
    EXPECT_EQ(pc.Exchange("AT+FDIS=?"),
              (Lines{"(0,1),(0-5),(0-2),(0-2),(0-3),(0-2),(0,1),(0-7)", "OK"}));
    EXPECT_EQ(pc.Exchange("AT+FCLASS=2;+FLID=\"A;B\";+FLID?"), (Lines{"\"A;B\"", "OK"}));
    EXPECT_EQ(pc.Exchange("AT&&"), (Lines{"ERROR"}));
    EXPECT_EQ(pc.Exchange("ATA"), (Lines{"NO CARRIER"})) << "nobody is calling";
    // Lines without AT are not commands; a modem stays silent.
    pc.Command("HELLO");
    EXPECT_TRUE(pc.Quiet(200ms));
}

TEST(Class2ModemDialogue, EchoNumericAndQuietResultsFollowTheBasicCommands) {
    // E, V and Q change how the modem answers, and ATZ brings power-on values back.
    Emulator modem;
    ASSERT_TRUE(modem.Start({}));
    ComputerSide pc;
    ASSERT_TRUE(pc.Open(modem.Device()));
    EXPECT_EQ(pc.Exchange("AT"), (Lines{"AT", "OK"}));
    EXPECT_EQ(pc.Exchange("ATE0"), (Lines{"ATE0", "OK"}));
    pc.Command("ATV0");
    EXPECT_EQ(pc.Line().value_or(""), "0");
    pc.Command("ATS7?");
    EXPECT_EQ(pc.Line().value_or(""), "050");
    EXPECT_EQ(pc.Line().value_or(""), "0");
    pc.Command("AT+FCLASS=9");
    EXPECT_EQ(pc.Line().value_or(""), "4");
    pc.Command("ATV1Q1");
    EXPECT_TRUE(pc.Quiet(200ms)) << "Q1 answers nothing";
    EXPECT_EQ(pc.Exchange("ATZ"), (Lines{"OK"})) << "E0 and Q1 hold until the reset";
    EXPECT_EQ(pc.Exchange("AT"), (Lines{"AT", "OK"})) << "echo is back after ATZ";
}

TEST(Class2ModemDialogue, EachCallGetsItsOwnFileInTheReceiveFolder) {
    // --rx-dir: one TIFF per call; a wide page goes through when both ends take wide pages.
    Emulator modem;
    ASSERT_TRUE(std::filesystem::create_directory(modem.File("rx")));
    ASSERT_TRUE(modem.Start(
        {"--rx-dir", modem.File("rx"), "--wide", "1", "--scan-time", "3", "--time-factor", "20"}));
    ComputerSide pc;
    ASSERT_TRUE(pc.Open(modem.Device()));
    Reset(pc);
    EXPECT_EQ(pc.Exchange("AT+FCLASS=2;+FDIS=0,5,1,2,0,0,0,0"), (Lines{"OK"}));
    const FaxRaster wide = testpages::Pattern(2048, 20, 22);
    const FaxRaster narrow = testpages::Pattern(1728, 20, 23);
    std::vector<std::string> files;
    for (const FaxRaster& page : {wide, narrow}) {
        EXPECT_EQ(pc.Exchange("ATDT5550199").back(), "OK");
        const Lines connect = pc.Exchange("AT+FDT");
        EXPECT_EQ(connect.front(),
                  page.Width() == 2048 ? "+FDCS:0,5,1,2,0,0,0,3" : "+FDCS:0,5,0,2,0,0,0,3");
        pc.Write(Wire(page) + DleEtx);
        EXPECT_EQ(pc.Lines(), (Lines{"OK"}));
        EXPECT_EQ(pc.Exchange("AT+FET=2").back(), "OK");
        const auto event = modem.Event("page 1 ");
        ASSERT_TRUE(event);
        files.push_back(EventValue(*event, "tiff"));
        EXPECT_EQ(modem.Event("result ").value_or(""), "result ok pages=1");
        EXPECT_EQ(pc.Exchange("AT+FDIS=,,0"), (Lines{"OK"}));
    }
    ASSERT_EQ(files.size(), 2u);
    EXPECT_NE(files[0], files[1]);
    EXPECT_EQ(files[0].rfind(modem.File("rx") + "/rx-", 0), 0u) << files[0];
    const auto first = testpages::ReadTiff(files[0]);
    const auto second = testpages::ReadTiff(files[1]);
    ASSERT_EQ(first.size(), 1u);
    ASSERT_EQ(second.size(), 1u);
    EXPECT_TRUE(first[0] == wide);
    EXPECT_TRUE(second[0] == narrow);
}
