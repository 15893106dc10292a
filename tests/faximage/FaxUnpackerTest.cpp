// The unpacker: finding pages, decoding rules, blank-line compression, aspect handling,
// pictures and scaling, and what damaged files give.
#include <gtest/gtest.h>

#include <filesystem>

#include "FaxTestSupport.h"
#include "TestPaths.h"
#include "faximage/core/ApfReader.h"
#include "faximage/core/FaxImageResult.h"
#include "faximage/core/LittleEndian.h"

using namespace faxtest;

namespace {

constexpr std::uint16_t kFine = 1;
constexpr std::uint16_t kRecords = 4;

// A page line of 1728 pixels: white 100, black `black`, white rest.
std::vector<int> TextRuns(int black = 10) {
    return {100, black, 1728 - 100 - black};
}

T4Stream EndOfPage(T4Stream stream) {
    return stream.Eol().Eol().Eol();
}

std::string WriteApf(const qptest::ScratchDir& dir, const std::string& name,
                     const std::vector<ApfPage>& pages, int pageCount = -1) {
    const std::string path = dir.file(name);
    WriteFile(path, MakeApf(pages, pageCount));
    return path;
}

} // namespace

TEST(FaxUnpacker, KeepsOnlyLinesEndingInByte216Or256) {
    // Lines of 1727 and 1736 pixels are dropped; 1728..1735 and 2048 are kept.
    qptest::ScratchDir dir;
    T4Stream stream;
    stream.Line({1727}).Line({1728}).Line({1735}).Line({1736}).Line({2048}).Line({100, 5, 1000});
    const auto apf = WriteApf(dir, "w.apf", {{kFine, EndOfPage(stream).Data()}});
    const auto decoded = DecodeLines(apf, 1);
    ASSERT_EQ(decoded.result, 0);
    ASSERT_EQ(decoded.lines.size(), 3u);
    EXPECT_EQ(decoded.lines[0].size(), 216u);
    EXPECT_EQ(decoded.lines[1].size(), 216u);
    EXPECT_EQ(decoded.lines[2].size(), 256u);

    T4Stream short1727;
    for (int line = 0; line < 5; ++line) {
        short1727.Line({100, 10, 1617});
    }
    const auto empty = WriteApf(dir, "e.apf", {{kFine, EndOfPage(short1727).Data()}});
    EXPECT_TRUE(DecodeLines(empty, 1).lines.empty());
}

TEST(FaxUnpacker, PageBoundariesInTheStream) {
    // Data before the first EOL is skipped; three EOLs end the page though data follows;
    // fill zeros before an EOL are allowed.
    qptest::ScratchDir dir;
    T4Stream stream;
    stream.Run(0, 1728); // before any EOL: ignored
    stream.Bits("0000000").Line(TextRuns()).Line(TextRuns(20));
    stream.Eol().Eol().Eol();
    stream.Line(TextRuns(30)).Eol(); // after the end of the page
    const auto apf = WriteApf(dir, "p.apf", {{kFine, stream.Data()}});
    const auto decoded = DecodeLines(apf, 1);
    ASSERT_EQ(decoded.lines.size(), 2u);
    EXPECT_EQ(decoded.lines[0][12], 0x0F) << "pixels 100..103 black";
    EXPECT_EQ(decoded.lines[1][13], 0xFF);
}

TEST(FaxUnpacker, InvalidCodesAreCountedAndSkipped) {
    // "000000001" starts no white code word: it is counted, the 1 bits after it are
    // skipped, and the next EOL decodes normally; the line it interrupted is still whole.
    qptest::ScratchDir dir;
    T4Stream stream;
    stream.Line(TextRuns())
        .Bits("000000001"
              "1111")
        .Line(TextRuns(4));
    stream.Bits("000000001").Line({1000}); // a damaged short line is dropped
    const auto apf = WriteApf(dir, "i.apf", {{kFine, EndOfPage(stream).Data()}});
    const auto decoded = DecodeLines(apf, 1);
    EXPECT_EQ(decoded.result, 0);
    EXPECT_EQ(decoded.invalidCodes, 2u);
    ASSERT_EQ(decoded.lines.size(), 2u);
    EXPECT_EQ(decoded.lines[0][12], 0x0F);
    EXPECT_EQ(decoded.lines[1][12], 0x0F);
    EXPECT_EQ(decoded.lines[1][13], 0x00);
}

TEST(FaxUnpacker, BlankLineCompression) {
    // With whitespace from 10 to 2, 15 blank lines between two text lines become 2, and 9
    // stay 9; a run at the end of the page follows the same rule.
    qptest::ScratchDir dir;
    auto page = [](int blanks, int trailing) {
        T4Stream stream;
        stream.Line(TextRuns());
        for (int line = 0; line < blanks; ++line) {
            stream.Line({1728});
        }
        stream.Line(TextRuns());
        for (int line = 0; line < trailing; ++line) {
            stream.Line({1728});
        }
        return EndOfPage(stream).Data();
    };
    const auto apf = WriteApf(dir, "ws.apf", {{kFine, page(15, 12)}, {kFine, page(9, 3)}});
    EXPECT_EQ(DecodeLines(apf, 1, 0, 10, 2).lines.size(), 2u + 2u + 2u);
    EXPECT_EQ(DecodeLines(apf, 2, 0, 10, 2).lines.size(), 2u + 9u + 3u);
    EXPECT_EQ(DecodeLines(apf, 1, 0, 0, 0).lines.size(), 2u + 15u + 12u);

    FaxUnpackerEngine engine;
    EXPECT_EQ(engine.SetWhitespaceCompression(2, 10), faxresult::BadArgument);
    EXPECT_EQ(engine.SetWhitespaceCompression(0, 3), faxresult::BadArgument);
    EXPECT_EQ(engine.SetWhitespaceCompression(3, 0), 0);
}

TEST(FaxUnpacker, StandardResolutionAspect) {
    // A standard page of 1100 lines: 2200 rows with double height, 1100 rows of 108 bytes
    // with half width or neither; each half-width pixel is the OR of two.
    qptest::ScratchDir dir;
    T4Stream stream;
    for (int line = 0; line < 1100; ++line) {
        stream.Line({101, 1, 1626});
    }
    const auto apf = WriteApf(dir, "std.apf", {{0, EndOfPage(stream).Data()}});
    EXPECT_EQ(DecodeLines(apf, 1, FaxUnpackerEngine::FlagDoubleHeight).lines.size(), 2200u);
    for (std::uint16_t flags :
         {std::uint16_t(FaxUnpackerEngine::FlagHalfWidth), std::uint16_t(0)}) {
        const auto decoded = DecodeLines(apf, 1, flags);
        ASSERT_EQ(decoded.lines.size(), 1100u);
        EXPECT_EQ(decoded.lines[0].size(), 108u);
        EXPECT_EQ(decoded.lines[0][6], 0x20) << "pixel 101 becomes pixel 50";
    }
    FaxUnpackerEngine engine;
    engine.SetDoubleHeight(true);
    engine.SetHalfWidth(true);
    EXPECT_EQ(engine.Flags() &
                  (FaxUnpackerEngine::FlagDoubleHeight | FaxUnpackerEngine::FlagHalfWidth),
              FaxUnpackerEngine::FlagHalfWidth);
}

TEST(FaxUnpacker, PictureWidthAndScaling) {
    // Used width rounds up to even bytes: ink within 400 pixels gives 400; ink at pixel 407
    // gives 416. Scaling 1/2 horizontally halves the width only.
    qptest::ScratchDir dir;
    auto pageWithInkTo = [](int lastPixel) {
        T4Stream stream;
        stream.Line({1728}).Line({lastPixel - 1, 2, 1728 - lastPixel - 1}).Line({1728});
        return stream.Eol().Eol().Eol().Data();
    };
    const auto apf = WriteApf(dir, "pic.apf",
                              {{kFine, pageWithInkTo(399)},
                               {kFine, pageWithInkTo(407)},
                               {kFine, T4Stream().Line({1728}).Eol().Eol().Eol().Data()}});
    FaxUnpackerEngine engine;
    FaxRaster picture;
    ASSERT_EQ(engine.UnpackPageToRaster(apf, 1, false, picture), 0);
    EXPECT_EQ(picture.Width(), 400);
    EXPECT_EQ(picture.Height(), 3);
    EXPECT_TRUE(picture.Pixel(399, 1));
    ASSERT_EQ(engine.UnpackPageToRaster(apf, 2, false, picture), 0);
    EXPECT_EQ(picture.Width(), 416);
    ASSERT_EQ(engine.UnpackPageToRaster(apf, 3, false, picture), 0);
    EXPECT_TRUE(picture.IsEmpty()) << "a blank page has no used width";

    engine.SetScaling(1, 2, 1, 1);
    ASSERT_EQ(engine.UnpackPageToRaster(apf, 1, false, picture), 0);
    EXPECT_EQ(picture.Width(), 200);
    EXPECT_EQ(picture.Height(), 3);
    EXPECT_TRUE(picture.Pixel(199, 1));
    engine.SetScaling(0, 0, 3, 1);
    ASSERT_EQ(engine.UnpackPageToRaster(apf, 1, false, picture), 0);
    EXPECT_EQ(picture.Width(), 400);
    EXPECT_EQ(picture.Height(), 9);
}

TEST(FaxUnpacker, AbortKeepsTheLinesSoFar) {
    qptest::ScratchDir dir;
    T4Stream stream;
    for (int line = 0; line < 3000; ++line) {
        stream.Line(TextRuns());
    }
    const auto apf = WriteApf(dir, "long.apf", {{kFine, EndOfPage(stream).Data()}});
    FaxUnpackerEngine engine;
    unsigned lines = 0;
    engine.SetOutputLine(
        [&](FaxUnpackerEngine::LineKind kind, const std::uint8_t*, unsigned, unsigned) {
            if (kind == FaxUnpackerEngine::LineKind::Line && ++lines == 100) {
                engine.SetAbort(true);
            }
            return 0;
        });
    EXPECT_EQ(engine.UnpackPage(apf, 1), 0);
    EXPECT_GE(lines, 100u);
    EXPECT_LT(lines, 3000u);
}

TEST(FaxUnpacker, DamagedAndForeignFiles) {
    // Bad signature, page beyond the count, truncated pages of both forms, and a missing name.
    qptest::ScratchDir dir;
    T4Stream good;
    good.Line(TextRuns()).Line(TextRuns());
    const Bytes rawPage = EndOfPage(good).Data();
    const Bytes recordPage =
        Records({T4Stream().Line(TextRuns()).Data(), T4Stream().Eol().Eol().Eol().Data()});

    Bytes file = MakeApf({{kFine, rawPage}, {kFine | kRecords, recordPage}});
    WriteFile(dir.file("ok.apf"), file);
    EXPECT_EQ(DecodeLines(dir.file("ok.apf"), 1).lines.size(), 2u);
    EXPECT_EQ(DecodeLines(dir.file("ok.apf"), 2).lines.size(), 1u);
    EXPECT_EQ(DecodeLines(dir.file("ok.apf"), 3).result, faxresult::NotApfFile);
    EXPECT_EQ(DecodeLines(dir.file("ok.apf"), 0).result, faxresult::NotApfFile);

    Bytes truncated(file.begin(), file.end() - 5); // inside the record page
    WriteFile(dir.file("trunc.apf"), truncated);
    EXPECT_EQ(DecodeLines(dir.file("trunc.apf"), 1).lines.size(), 2u)
        << "earlier pages stay readable";
    EXPECT_EQ(DecodeLines(dir.file("trunc.apf"), 2).result, faxresult::ReadBeyondEof);

    Bytes rawTruncated = MakeApf({{kFine, rawPage}});
    rawTruncated.resize(rawTruncated.size() - 3);
    WriteFile(dir.file("raw.apf"), rawTruncated);
    EXPECT_EQ(DecodeLines(dir.file("raw.apf"), 1).result, faxresult::NotApfFile);

    Bytes wrong = file;
    wrong[4] = '1';
    WriteFile(dir.file("sig.apf"), wrong);
    EXPECT_EQ(DecodeLines(dir.file("sig.apf"), 1).result, faxresult::NotApfFile);

    WriteFile(dir.file("zero.apf"), MakeApf({}));
    EXPECT_EQ(DecodeLines(dir.file("zero.apf"), 1).result, faxresult::NotApfFile);
    WriteFile(dir.file("more.apf"), MakeApf({{kFine, rawPage}}, 5));
    EXPECT_EQ(DecodeLines(dir.file("more.apf"), 2).result, faxresult::NotApfFile);
    WriteFile(dir.file("tiny.apf"), Bytes{'A', 'P'});
    EXPECT_EQ(DecodeLines(dir.file("tiny.apf"), 1).result, faxresult::NotApfFile);

    EXPECT_EQ(DecodeLines("", 1).result, faxresult::FileNotFound);
    EXPECT_EQ(DecodeLines(dir.file("missing.apf"), 1).result, faxresult::FileNotFound);
    unsigned count = 7;
    EXPECT_EQ(FaxUnpackerEngine::ReadPageCount(dir.file("ok.apf"), count), 0);
    EXPECT_EQ(count, 2u);
}

TEST(FaxUnpacker, RawPagesDecodeAlikeHoweverTheyAreSplit) {
    // A raw page longer than one input block decodes to the same lines as its records.
    qptest::ScratchDir dir;
    T4Stream stream;
    std::vector<Bytes> records;
    for (int line = 0; line < 900; ++line) {
        const std::vector<int> runs = {line % 700, 3 + line % 5, 1728 - line % 700 - 3 - line % 5};
        stream.Line(runs).PadToByte();
        records.push_back(T4Stream().Line(runs).PadToByte().Data());
    }
    records.push_back(T4Stream().Eol().Eol().Eol().PadToByte().Data());
    const auto apf =
        WriteApf(dir, "split.apf",
                 {{kFine, EndOfPage(stream).Data()}, {kFine | kRecords, Records(records)}});
    const auto raw = DecodeLines(apf, 1);
    const auto framed = DecodeLines(apf, 2);
    ASSERT_EQ(raw.lines.size(), 900u);
    EXPECT_EQ(raw.lines, framed.lines);
}

TEST(FaxUnpacker, LineRecordPagesEndAtTheirImageLength) {
    // A page of line records without an end-of-page record ends at its image length: it
    // must not read on into the next page's header and lines. An image length of 0 is an
    // empty page; a record running past the image length is cut there.
    qptest::ScratchDir dir;
    auto records = [](int lines, bool endOfPage) {
        std::vector<Bytes> chunks;
        for (int line = 0; line < lines; ++line) {
            chunks.push_back(T4Stream().Line(TextRuns(8 + line)).PadToByte().Data());
        }
        // An EOL closes the last line; three make the end-of-page sequence.
        chunks.push_back(endOfPage ? T4Stream().Eol().Eol().Eol().PadToByte().Data()
                                   : T4Stream().Eol().PadToByte().Data());
        return Records(chunks);
    };
    const Bytes unended = records(2, false);
    const Bytes next = records(3, true);
    Bytes file = MakeApf({{kFine | kRecords, unended},
                          {kFine | kRecords, {}},
                          {kFine | kRecords, next},
                          {kFine | kRecords, unended}});
    WriteFile(dir.file("unended.apf"), file);
    const auto first = DecodeLines(dir.file("unended.apf"), 1);
    EXPECT_EQ(first.result, 0);
    EXPECT_EQ(first.lines.size(), 2u);
    const auto empty = DecodeLines(dir.file("unended.apf"), 2);
    EXPECT_EQ(empty.result, 0);
    EXPECT_TRUE(empty.lines.empty());
    EXPECT_EQ(DecodeLines(dir.file("unended.apf"), 3).lines.size(), 3u);
    EXPECT_EQ(DecodeLines(dir.file("unended.apf"), 4).lines.size(), 2u) << "the last page";

    // Page 1 claims only its first record and half of the second: the second line is cut
    // short and dropped, and nothing of page 2 is read.
    const std::size_t firstRecord = 2 + unended[0];
    Bytes cut = file;
    le::Put32(cut.data() + 64, static_cast<std::uint32_t>(firstRecord + 6));
    cut.erase(cut.begin() + 64 + 16 + static_cast<long>(firstRecord + 6),
              cut.begin() + 64 + 16 + static_cast<long>(unended.size()));
    WriteFile(dir.file("cut.apf"), cut);
    const auto shortened = DecodeLines(dir.file("cut.apf"), 1);
    EXPECT_EQ(shortened.result, 0);
    EXPECT_EQ(shortened.lines.size(), 1u);
    EXPECT_EQ(DecodeLines(dir.file("cut.apf"), 3).lines.size(), 3u);
}

TEST(FaxUnpacker, PageHeadersAreWalkedOnceForAllPages) {
    // Asking an engine for every page of a file, forwards and backwards, reads each page
    // header from the file once; a file changed on disk is read afresh.
    qptest::ScratchDir dir;
    std::vector<ApfPage> pages;
    for (int page = 0; page < 300; ++page) {
        T4Stream stream;
        for (int line = 0; line <= page % 3; ++line) {
            stream.Line(TextRuns(1 + page % 50));
        }
        pages.push_back({kFine, EndOfPage(stream).Data()});
    }
    const std::string apf = WriteApf(dir, "many.apf", pages);
    FaxUnpackerEngine engine;
    unsigned lines = 0;
    engine.SetOutputLine(
        [&](FaxUnpackerEngine::LineKind kind, const std::uint8_t*, unsigned, unsigned) {
            lines += kind == FaxUnpackerEngine::LineKind::Line ? 1 : 0;
            return 0;
        });
    for (unsigned page = 1; page <= 300; ++page) {
        lines = 0;
        ASSERT_EQ(engine.UnpackPage(apf, page), 0);
        ASSERT_EQ(lines, 1 + (page - 1) % 3) << "page " << page;
    }
    for (unsigned page = 300; page >= 1; --page) {
        ApfPageHeader header;
        ASSERT_EQ(engine.PageHeader(apf, page, header), 0);
        ASSERT_EQ(header.imageLength, pages[page - 1].data.size());
    }
    EXPECT_EQ(engine.PageHeaderReads(), 300u);

    // Rewritten with one page fewer: the engine notices and walks the new file.
    pages.pop_back();
    WriteApf(dir, "many.apf", pages);
    ApfPageHeader header;
    EXPECT_EQ(engine.PageHeader(apf, 300, header), faxresult::NotApfFile);
    EXPECT_EQ(engine.PageHeader(apf, 299, header), 0);
    EXPECT_EQ(engine.PageHeaderReads(), 299u);
    std::filesystem::remove(apf);
    EXPECT_EQ(engine.UnpackPage(apf, 1), faxresult::FileNotFound);
}
