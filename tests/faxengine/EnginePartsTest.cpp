#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "EngineHarness.h"
#include "TestPages.h"
#include "TestPaths.h"
#include "faxcomm/core/DleCodec.h"
#include "faxcomm/core/FaxCommandTable.h"
#include "faxcomm/core/FaxHistory.h"
#include "faxcomm/core/FaxParameters.h"
#include "faxcomm/core/FaxTextRenderer.h"
#include "faxcomm/core/ModemCommander.h"
#include "faxcomm/core/ReceivedFaxFile.h"
#include "faxcomm/core/ResponseReader.h"
#include "faximage/core/ApfFileHeader.h"
#include "faximage/core/ApfPageHeader.h"

using namespace qpfax;

TEST(FaxEngineParts, ResponseLinesDropControlBytesAndKeepTheLast128Characters) {
    // Modem lines: control bytes and line feeds are dropped, empty lines never end, a
    // 200-character line keeps its last 128 characters.
    ResponseReader reader;
    std::string lines;
    const std::string input = "\r\n\r\nO\x11K\r\n\r";
    for (char c : input) {
        if (reader.Feed(static_cast<std::uint8_t>(c))) {
            lines += reader.Line() + "|";
        }
    }
    EXPECT_EQ(lines, "OK|");
    std::string longLine;
    for (int i = 0; i < 200; ++i) {
        longLine += static_cast<char>('A' + i % 26);
    }
    bool complete = false;
    for (char c : longLine + "\r") {
        complete = reader.Feed(static_cast<std::uint8_t>(c));
    }
    ASSERT_TRUE(complete);
    EXPECT_EQ(reader.Line(), longLine.substr(72));
}

TEST(FaxEngineParts, ClassListsResolveAsTheModemNamesThem) {
    // "AT+FCLASS=?" answers: 2.0 with or without 2, lists with prefixes and blanks.
    struct Case {
        const char* answer;
        FaxClassSet classes;
        TFaxClass best;
    };
    const Case cases[] = {
        {"0,1,2,2.0", ClassBit(fcClass1) | ClassBit(fcClass2) | ClassBit(fcClass2_0), fcClass2_0},
        {"0,1,2.0", ClassBit(fcClass1) | ClassBit(fcClass2_0), fcClass2_0},
        {"+FCLASS: 0,2", ClassBit(fcClass2), fcClass2},
        {" (0,1) ", ClassBit(fcClass1), fcClass1},
        {"0", 0, fcUnknown},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ModemCommander::ParseClassList(c.answer), c.classes) << c.answer;
        EXPECT_EQ(ModemCommander::BestClass(c.classes), c.best) << c.answer;
    }
}

TEST(FaxEngineParts, ResetAndInitCommandsFollowTheOptions) {
    // The X option follows blind dialing and busy detection; ModemInit gets "AT" unless
    // it starts with "A", and is uppercased.
    EXPECT_EQ(ModemCommander::ResetCommand(false, true), "ATE0Q0V1X4S0=0S2=43");
    EXPECT_EQ(ModemCommander::ResetCommand(true, true), "ATE0Q0V1X3S0=0S2=43");
    EXPECT_EQ(ModemCommander::ResetCommand(false, false), "ATE0Q0V1X2S0=0S2=43");
    EXPECT_EQ(ModemCommander::ResetCommand(true, false), "ATE0Q0V1X1S0=0S2=43");
    EXPECT_EQ(ModemCommander::InitCommand("&f1m0"), "AT&F1M0");
    EXPECT_EQ(ModemCommander::InitCommand("at&c1"), "AT&C1");
    EXPECT_EQ(ModemCommander::InitCommand("&d2"), "AT&D2");
}

TEST(FaxEngineParts, CommandTablesOfBothClasses) {
    // The class-specific commands and reports, hang-up reports without "+F".
    const FaxCommandTable c2(ciClass2);
    const FaxCommandTable c20(ciClass2_0);
    EXPECT_EQ(c2.Text(FaxCommandTable::SelectClass), "AT+FCLASS=2");
    EXPECT_EQ(c20.Text(FaxCommandTable::SelectClass), "AT+FCLASS=2.0");
    EXPECT_EQ(c2.Text(FaxCommandTable::SessionParameters), "AT+FDIS");
    EXPECT_EQ(c20.Text(FaxCommandTable::LocalId), "AT+FLI");
    EXPECT_EQ(c20.Text(FaxCommandTable::Capabilities), "AT+FCC");
    EXPECT_EQ(c2.Text(FaxCommandTable::ModelQuery), "AT+FMDL?");
    EXPECT_EQ(c20.Text(FaxCommandTable::RevisionQuery), "AT+FMR?");
    EXPECT_EQ(c2.Text(FaxCommandTable::HangupReport), "FHNG");
    EXPECT_EQ(c20.Text(FaxCommandTable::HangupReport), "FHS");
    EXPECT_TRUE(c20.Has("+FCO", FaxCommandTable::ConnectReport));
    EXPECT_TRUE(c2.Has("+FPTS:1,2200", FaxCommandTable::PageStatusReport));
    EXPECT_FALSE(c2.Has("+FDCS:0,5", FaxCommandTable::RemoteCapabilitiesReport));
    EXPECT_EQ(c2.After("+FHNG:52", FaxCommandTable::HangupReport), ":52");
    EXPECT_TRUE(FaxCommandTable(ciClass1).Text(FaxCommandTable::SelectClass).empty());
}

TEST(FaxEngineParts, ParametersFromTheirPositionsAndTheScanTimeTable) {
    // Positions 1, 3, 5, 11, 15 of the list; minimum bytes per line from the scan time.
    const FaxParameters p = FaxParameters::Parse(":1,5,1,2,0,1,0,4");
    EXPECT_TRUE(p.highResolution);
    EXPECT_EQ(p.bitRate, 14400);
    EXPECT_TRUE(p.wide);
    EXPECT_TRUE(p.errorCorrection);
    EXPECT_EQ(p.scanTimeCode, 4);
    EXPECT_EQ(p.MinimumLineMs(), 10);
    EXPECT_EQ(p.MinimumBytesPerLine(), 18);
    const FaxParameters q = FaxParameters::Parse("=0,3,0,2,0,0,0,6");
    EXPECT_EQ(q.bitRate, 9600);
    EXPECT_EQ(q.MinimumLineMs(), 40);
    EXPECT_EQ(q.MinimumBytesPerLine(), 48);
    EXPECT_EQ(FaxParameters::Parse(":0,9").bitRate, 9600);
    EXPECT_EQ(FaxParameters::Parse(":0").MinimumBytesPerLine(), 0);
    const std::pair<int, char> rates[] = {{2400, '0'},  {4800, '1'},  {7200, '2'}, {9600, '3'},
                                          {12000, '4'}, {14400, '5'}, {19200, '3'}};
    for (auto [bps, code] : rates) {
        EXPECT_EQ(BitRateCode(bps), code) << bps;
    }
}

TEST(FaxEngineParts, StationIdsLoseQuotesAndOuterBlanks) {
    EXPECT_EQ(ParseStationId(":\"   +1 555 0199\""), "+1 555 0199");
    EXPECT_EQ(ParseStationId(": \"  ACME Corp  \" "), "ACME Corp");
    EXPECT_EQ(ParseStationId(":ABCDEFGHIJKLMNOPQRSTUVWXYZ"), "ABCDEFGHIJKLMNOPQRST");
    EXPECT_EQ(ParseStationId(":\"\""), "");
}

TEST(FaxEngineParts, DleFramingBothWays) {
    // DLE is doubled going out; coming in DLE DLE is one DLE, DLE ETX ends the page even
    // when the DLE ends one block and ETX starts the next; Class 2 data is bit-reversed.
    const std::uint8_t data[] = {1, DLE, 2};
    std::vector<std::uint8_t> out;
    AppendStuffed(out, data, sizeof data);
    EXPECT_EQ(out, (std::vector<std::uint8_t>{1, DLE, DLE, 2}));

    DleUnstuffer plain(false);
    std::vector<std::uint8_t> page;
    const std::uint8_t first[] = {0x01, DLE, DLE, 0x80, DLE};
    EXPECT_EQ(plain.Decode(first, sizeof first, page), sizeof first);
    EXPECT_FALSE(plain.Ended());
    const std::uint8_t second[] = {ETX, 'O', 'K'};
    EXPECT_EQ(plain.Decode(second, sizeof second, page), 1u);
    EXPECT_TRUE(plain.Ended());
    EXPECT_EQ(page, (std::vector<std::uint8_t>{0x01, DLE, 0x80}));

    DleUnstuffer reversed(true);
    page.clear();
    const std::uint8_t third[] = {0x01, DLE, 0x1A, 0xF0, DLE, ETX};
    reversed.Decode(third, sizeof third, page);
    EXPECT_EQ(page, (std::vector<std::uint8_t>{0x80, 0x58, 0x0F}));
}

TEST(FaxEngineParts, HeaderTokensReplaceWholeWords) {
    HeaderValues v;
    v.date = "08/12/26";
    v.time = "14:05";
    v.stationId = "QP 1";
    v.totalPages = 4;
    v.page = 2;
    v.recipient = "Ada";
    v.title = "Offer";
    v.sender = "Quill";
    EXPECT_EQ(ExpandHeaderTokens("$D $T FROM $f TO $R: $S PAGE $P OF $N ID $I", v),
              "08/12/26 14:05 FROM Quill TO Ada Offer PAGE 2 OF 4 ID QP 1");
    EXPECT_EQ(ExpandHeaderTokens("$P/$N x$P $Q end", v), "2 x$P  end");
}

TEST(FaxEngineParts, HistoryLinesOfEveryCode) {
    FaxHistoryEntry e;
    e.faxFile = "/tmp/A.APF";
    e.phoneNumber = "555";
    e.remoteId = "FAR";
    e.errorCode = -8074;
    e.hangupCode = 52;
    const std::string t = "TIME";
    const std::pair<int, std::string> lines[] = {
        {1, "Transmit /tmp/A.APF to 555 started at TIME"},
        {2, "Transmit to FAR finished OK at TIME 52\r\n"},
        {3, "Transmit failed at TIME\r\n  (Called fax number was busy) 52\r\n"},
        {4, "Receive /tmp/A.APF from FAR started at TIME"},
        {5, "Receive finished OK at TIME\r\n"},
        {6, "Receive skipped at TIME\r\n"},
        {7, "Receive failed at TIME\r\n  (Called fax number was busy)\r\n"},
    };
    for (const auto& [code, text] : lines) {
        e.code = code;
        EXPECT_EQ(FaxHistoryText(e, t), text) << code;
    }
}

TEST(FaxEngineParts, HistoryFileIsAppendedAndAnUnwritableOneReported) {
    qptest::ScratchDir dir("history");
    FaxHistoryEntry e;
    e.code = flReceiveSkipped;
    ASSERT_EQ(AppendFaxHistory(dir.file("QPFAX.HIS"), e), 0);
    ASSERT_EQ(AppendFaxHistory(dir.file("QPFAX.HIS"), e), 0);
    std::ifstream in(dir.file("QPFAX.HIS"), std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 4);
    EXPECT_EQ(text.substr(text.size() - 4), "\r\n\r\n");
    EXPECT_LT(AppendFaxHistory(dir.file("missing/QPFAX.HIS"), e), 0);
}

TEST(FaxEngineParts, ReceivedFilesKeepOnlyFinishedPages) {
    // Finished pages stay, a discarded page is cut off, an unfinished page is dropped on
    // close; the header carries the remote ID padded to 20 and the page count.
    qptest::ScratchDir dir("received");
    const std::string path = dir.file("FAX0001.APF");
    ReceivedFaxFile file;
    ASSERT_EQ(file.Create(path, "REMOTE"), 0);
    const std::uint8_t a[] = {1, 2, 3};
    ASSERT_EQ(file.StartPage(1), 0);
    ASSERT_EQ(file.Append(a, 3), 0);
    ASSERT_EQ(file.FinishPage(), 0);
    ASSERT_EQ(file.StartPage(1), 0);
    ASSERT_EQ(file.Append(a, 2), 0);
    ASSERT_EQ(file.DiscardPage(), 0);
    EXPECT_EQ(std::filesystem::file_size(path), 64u + 16 + 3);
    ASSERT_EQ(file.StartPage(3), 0);
    ASSERT_EQ(file.Append(a, 3), 0);
    ASSERT_EQ(file.FinishPage(), 0);
    ASSERT_EQ(file.StartPage(1), 0);
    ASSERT_EQ(file.Append(a, 1), 0);
    file.Close();
    EXPECT_EQ(std::filesystem::file_size(path), 64u + 2 * (16 + 3));
    ApfFileHeader header;
    std::ifstream in(path, std::ios::binary);
    std::uint8_t bytes[64];
    in.read(reinterpret_cast<char*>(bytes), 64);
    ASSERT_TRUE(ApfFileHeader::HasSignature(bytes));
    header = ApfFileHeader::Parse(bytes);
    EXPECT_EQ(header.pageCount, 2);
    EXPECT_EQ(header.stationId, "REMOTE              ");
    EXPECT_EQ(bytes[10], 20);
    EXPECT_EQ(enginetest::ApfPageData(path, 2), (std::vector<std::uint8_t>{1, 2, 3}));
}

TEST(FaxEngineParts, LineRecordPagesReadBackRowForRow) {
    // Pages written as line records, as the converter writes them, read back as the same
    // pages: every row, in order, none lost to the record lengths between the lines.
    qptest::ScratchDir dir("records");
    const std::string path = dir.file("pages.apf");
    const std::vector<FaxRaster> pages = {testpages::Pattern(1728, 300, 3),
                                          testpages::Pattern(2048, 120, 4)};
    enginetest::WriteApf(path, pages, true);
    std::vector<std::uint16_t> flags;
    const auto read = enginetest::ReadApfPages(path, &flags);
    ASSERT_EQ(read.size(), pages.size());
    for (std::size_t page = 0; page < pages.size(); ++page) {
        EXPECT_TRUE(flags[page] & ApfPageHeader::FlagLineRecords);
        EXPECT_EQ(enginetest::Difference(read[page], pages[page]), "") << "page " << page + 1;
    }
}

TEST(FaxEngineParts, AFullDiskIsAWriteError) {
    // Writing a received fax onto a full device fails with "Device write error".
    if (!std::filesystem::exists("/dev/full")) {
        GTEST_SKIP() << "no /dev/full";
    }
    ReceivedFaxFile file;
    EXPECT_EQ(file.Create("/dev/full", "X"), -160);
}

TEST(FaxEngineParts, TextRowsStartAtTheMarginAndFitThePage) {
    FaxTextRenderer renderer;
    ASSERT_EQ(renderer.Prepare(FaxFont::ffSmall, false, 1728), 0);
    const auto rows = renderer.RasterRows("I");
    ASSERT_EQ(static_cast<int>(rows.size()), renderer.Rows());
    bool black = false;
    for (const auto& row : rows) {
        for (int x = 0; x < FaxTextRenderer::LeftMargin; ++x) {
            EXPECT_EQ((row[static_cast<std::size_t>(x / 8)] >> (7 - x % 8)) & 1, 0);
        }
        for (std::uint8_t b : row) {
            black = black || b != 0;
        }
    }
    EXPECT_TRUE(black);
    ASSERT_EQ(renderer.Prepare(FaxFont::ffSmall, true, 1728), 0);
    EXPECT_EQ(static_cast<int>(renderer.RasterRows(std::string(500, 'W')).size()), renderer.Rows());
}
