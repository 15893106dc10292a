// The converter's front ends: text paging rules, and the checks that reject pictures the
// encoder cannot take.
#include <gtest/gtest.h>

#include "FaxTestSupport.h"
#include "TestPaths.h"
#include "faximage/core/BmpFrontEnd.h"
#include "faximage/core/DcxFrontEnd.h"
#include "faximage/core/FaxFont.h"
#include "faximage/core/FaxImageResult.h"
#include "faximage/core/LittleEndian.h"
#include "faximage/core/PcxFrontEnd.h"
#include "faximage/core/TextFrontEnd.h"
#include "faximage/core/TiffFrontEnd.h"

using namespace faxtest;

namespace {

int ConvertText(const std::string& input, const std::string& output, int linesPerPage = 60,
                FaxFont::Type type = FaxFont::ffStandard) {
    auto text = std::make_unique<TextFrontEnd>();
    FaxFont font;
    EXPECT_EQ(font.Load(type, true), 0);
    text->SetFont(font);
    text->SetLinesPerPage(linesPerPage);
    FaxConverterEngine engine(std::move(text));
    engine.SetHighResolution(true);
    return engine.ConvertFile(input, output);
}

unsigned PageCount(const std::string& apf) {
    unsigned count = 0;
    EXPECT_EQ(FaxUnpackerEngine::ReadPageCount(apf, count), 0);
    return count;
}

// The decoded lines of `page` from row `from` on, `count` of them.
std::vector<Bytes> Rows(const std::string& apf, unsigned page, std::size_t from,
                        std::size_t count) {
    const auto decoded = DecodeLines(apf, page);
    EXPECT_GE(decoded.lines.size(), from + count);
    if (decoded.lines.size() < from + count) {
        return {};
    }
    return std::vector<Bytes>(decoded.lines.begin() + static_cast<long>(from),
                              decoded.lines.begin() + static_cast<long>(from + count));
}

template <typename FrontEnd>
int Convert(const std::string& input, const std::string& output) {
    FaxConverterEngine engine(std::make_unique<FrontEnd>());
    engine.SetOptions(0, 0xFFFF);
    engine.SetHighResolution(true);
    return engine.ConvertFile(input, output);
}

Bytes TiffFile(std::uint16_t bits, std::uint16_t compression, bool withWidth = true) {
    Bytes file = {'I', 'I', 42, 0, 8, 0, 0, 0};
    struct Entry {
        std::uint16_t tag, type;
        std::uint32_t count, value;
    };
    std::vector<Entry> entries = {{257, 3, 1, 2},
                                  {258, 3, 1, bits},
                                  {259, 3, 1, compression},
                                  {273, 4, 1, 200},
                                  {279, 4, 1, 2}};
    if (withWidth) {
        entries.insert(entries.begin(), {256, 3, 1, 8});
    }
    file.push_back(static_cast<std::uint8_t>(entries.size()));
    file.push_back(0);
    for (const Entry& e : entries) {
        Bytes raw(12, 0);
        le::Put16(raw.data(), e.tag);
        le::Put16(raw.data() + 2, e.type);
        le::Put32(raw.data() + 4, e.count);
        le::Put32(raw.data() + 8, e.value);
        file.insert(file.end(), raw.begin(), raw.end());
    }
    file.resize(200, 0);
    file.push_back(0x81);
    file.push_back(0x18);
    return file;
}

Bytes PcxFile(std::uint8_t encoding, std::uint8_t bits, int width) {
    Bytes file(128, 0);
    file[0] = 10;
    file[2] = encoding;
    file[3] = bits;
    le::Put16(file.data() + 8, static_cast<std::uint16_t>(width - 1));
    file[65] = 1;
    le::Put16(file.data() + 66, static_cast<std::uint16_t>((width + 7) / 8));
    file.push_back(0xC1);
    file.push_back(0x00);
    return file;
}

Bytes BmpFile(int width, int height) {
    const int padded = ((width + 7) / 8 + 3) / 4 * 4;
    Bytes file(62 + static_cast<std::size_t>(padded * height), 0xFF);
    std::fill(file.begin(), file.begin() + 62, 0);
    file[0] = 'B';
    file[1] = 'M';
    le::Put32(file.data() + 10, 62);
    le::Put32(file.data() + 14, 40);
    le::Put32(file.data() + 18, static_cast<std::uint32_t>(width));
    le::Put32(file.data() + 22, static_cast<std::uint32_t>(height));
    le::Put16(file.data() + 26, 1);
    le::Put16(file.data() + 28, 1);
    file[58] = file[59] = file[60] = 0xFF; // index 1 white
    file[62] = 0x7F;                       // bottom row: leftmost pixel black
    return file;
}

} // namespace

TEST(TextFrontEnd, PagesFromLinesAndFormFeeds) {
    // An empty file gives one page with one blank line; exactly LinesPerPage lines fit on
    // one page and one more starts page 2 with that line; form feeds cut lines and pages.
    qptest::ScratchDir dir;
    const int rows = 32; // standard font at fine resolution
    WriteText(dir.file("empty.txt"), "");
    ASSERT_EQ(ConvertText(dir.file("empty.txt"), dir.file("empty.apf")), 0);
    EXPECT_EQ(PageCount(dir.file("empty.apf")), 1u);
    EXPECT_EQ(DecodeLines(dir.file("empty.apf"), 1).lines, std::vector<Bytes>(1, Bytes(216, 0)));

    std::string three;
    for (int line = 1; line <= 3; ++line) {
        three += "line " + std::to_string(line) + "\n";
    }
    WriteText(dir.file("three.txt"), three);
    ASSERT_EQ(ConvertText(dir.file("three.txt"), dir.file("three.apf"), 3), 0);
    EXPECT_EQ(PageCount(dir.file("three.apf")), 1u);
    WriteText(dir.file("four.txt"), three + "line 4\n");
    ASSERT_EQ(ConvertText(dir.file("four.txt"), dir.file("four.apf"), 3), 0);
    ASSERT_EQ(PageCount(dir.file("four.apf")), 2u);
    WriteText(dir.file("l4.txt"), "line 4\n");
    ASSERT_EQ(ConvertText(dir.file("l4.txt"), dir.file("l4.apf"), 3), 0);
    EXPECT_EQ(Rows(dir.file("four.apf"), 2, 0, rows), Rows(dir.file("l4.apf"), 1, 0, rows));

    WriteText(dir.file("ff.txt"), "abc\fdef\n");
    WriteText(dir.file("abc.txt"), "abc");
    WriteText(dir.file("def.txt"), "def");
    ASSERT_EQ(ConvertText(dir.file("ff.txt"), dir.file("ff.apf")), 0);
    ASSERT_EQ(ConvertText(dir.file("abc.txt"), dir.file("abc.apf")), 0);
    ASSERT_EQ(ConvertText(dir.file("def.txt"), dir.file("def.apf")), 0);
    ASSERT_EQ(PageCount(dir.file("ff.apf")), 2u);
    EXPECT_EQ(DecodeLines(dir.file("ff.apf"), 1).lines.size(), static_cast<std::size_t>(rows));
    EXPECT_EQ(Rows(dir.file("ff.apf"), 1, 0, rows), Rows(dir.file("abc.apf"), 1, 0, rows));
    EXPECT_EQ(Rows(dir.file("ff.apf"), 2, 0, rows), Rows(dir.file("def.apf"), 1, 0, rows));

    // A line ending in a form feed: the next page starts with the next line, not a blank.
    WriteText(dir.file("ffend.txt"), "abc\f\ndef\n");
    ASSERT_EQ(ConvertText(dir.file("ffend.txt"), dir.file("ffend.apf")), 0);
    ASSERT_EQ(PageCount(dir.file("ffend.apf")), 2u);
    EXPECT_EQ(Rows(dir.file("ffend.apf"), 2, 0, rows), Rows(dir.file("def.apf"), 1, 0, rows));
    WriteText(dir.file("fflast.txt"), "abc\f\n");
    ASSERT_EQ(ConvertText(dir.file("fflast.txt"), dir.file("fflast.apf")), 0);
    EXPECT_EQ(PageCount(dir.file("fflast.apf")), 1u) << "no empty page at the end";
}

TEST(TextFrontEnd, LongLinesAreCutToTheLineWidth) {
    // 84 characters of the standard font (140 of the small one) fit 1728 pixels less the
    // 50-pixel margin; the rest is cut.
    qptest::ScratchDir dir;
    WriteText(dir.file("long.txt"), std::string(200, 'M'));
    WriteText(dir.file("84.txt"), std::string(84, 'M'));
    ASSERT_EQ(ConvertText(dir.file("long.txt"), dir.file("long.apf")), 0);
    ASSERT_EQ(ConvertText(dir.file("84.txt"), dir.file("84.apf")), 0);
    EXPECT_EQ(DecodeLines(dir.file("long.apf"), 1).lines, DecodeLines(dir.file("84.apf"), 1).lines);
    WriteText(dir.file("140.txt"), std::string(140, 'M'));
    ASSERT_EQ(ConvertText(dir.file("long.txt"), dir.file("slong.apf"), 60, FaxFont::ffSmall), 0);
    ASSERT_EQ(ConvertText(dir.file("140.txt"), dir.file("s140.apf"), 60, FaxFont::ffSmall), 0);
    EXPECT_EQ(DecodeLines(dir.file("slong.apf"), 1).lines,
              DecodeLines(dir.file("s140.apf"), 1).lines);
}

TEST(FaxFont, ResourceShape) {
    FaxFont font;
    ASSERT_EQ(font.Load(FaxFont::ffStandard, false), 0);
    EXPECT_EQ(font.CellWidth(), 20);
    EXPECT_EQ(font.Rows(), 16);
    ASSERT_EQ(font.Load(FaxFont::ffSmall, true), 0);
    EXPECT_EQ(font.CellWidth(), 12);
    EXPECT_EQ(font.Rows(), 16);
    EXPECT_EQ(font.Load(FaxFont::ffSmall, false, nullptr, 0), faxresult::FontNotFound);
    // Printable characters have ink, spaces none.
    ASSERT_EQ(font.Load(FaxFont::ffStandard, false), 0);
    auto ink = [&font](unsigned char c) {
        int pixels = 0;
        for (int row = 0; row < font.Rows(); ++row) {
            for (int b = 0; b < font.BytesPerRow(); ++b) {
                pixels += __builtin_popcount(font.GlyphRow(c, row)[b]);
            }
        }
        return pixels;
    };
    EXPECT_EQ(ink(' '), 0);
    for (int c = 33; c < 127; ++c) {
        EXPECT_GT(ink(static_cast<unsigned char>(c)), 3) << "character " << c;
    }
    EXPECT_GT(ink(0xC4), ink('A')) << "A umlaut has its dots";
}

TEST(ImageFrontEnds, RejectWhatTheyCannotTake) {
    // Group 4 or multi-bit TIFF, TIFF without width, PCX with encoding 0 or 2 bits, a BMP
    // wider than the page, a DCX without its magic number: -8002.
    qptest::ScratchDir dir;
    struct Case {
        std::string file;
        Bytes bytes;
        int (*convert)(const std::string&, const std::string&);
        int expected;
    };
    const std::vector<Case> cases = {
        {"ok.tif", TiffFile(1, 32773), &Convert<TiffFrontEnd>, 0},
        {"g4.tif", TiffFile(1, 4), &Convert<TiffFrontEnd>, faxresult::UnsupportedGraphics},
        {"bits.tif", TiffFile(8, 1), &Convert<TiffFrontEnd>, faxresult::UnsupportedGraphics},
        {"nowidth.tif", TiffFile(1, 1, false), &Convert<TiffFrontEnd>,
         faxresult::UnsupportedGraphics},
        {"order.tif", Bytes{'X', 'X', 42, 0, 8, 0, 0, 0}, &Convert<TiffFrontEnd>,
         faxresult::UnsupportedGraphics},
        {"ok.pcx", PcxFile(1, 1, 1728), &Convert<PcxFrontEnd>, 0},
        {"enc0.pcx", PcxFile(0, 1, 64), &Convert<PcxFrontEnd>, faxresult::UnsupportedGraphics},
        {"bits2.pcx", PcxFile(1, 2, 64), &Convert<PcxFrontEnd>, faxresult::UnsupportedGraphics},
        {"wide.pcx", PcxFile(1, 1, 1730), &Convert<PcxFrontEnd>, faxresult::UnsupportedGraphics},
        {"ok.bmp", BmpFile(1728, 3), &Convert<BmpFrontEnd>, 0},
        {"wide.bmp", BmpFile(1729, 3), &Convert<BmpFrontEnd>, faxresult::UnsupportedGraphics},
        {"huge.bmp", BmpFile(1000, 2), nullptr, 0},
        {"bad.dcx", Bytes{1, 2, 3, 4, 0, 0, 0, 0}, &Convert<DcxFrontEnd>,
         faxresult::UnsupportedGraphics},
        {"short.tif", Bytes{'I', 'I', 42, 0, 100, 0, 0, 0}, &Convert<TiffFrontEnd>,
         faxresult::ReadBeyondEof},
    };
    for (const Case& c : cases) {
        if (!c.convert) {
            continue;
        }
        WriteFile(dir.file(c.file), c.bytes);
        EXPECT_EQ(c.convert(dir.file(c.file), dir.file(c.file + ".apf")), c.expected) << c.file;
    }
    // A BMP header claiming far more rows than the file holds.
    Bytes lying = BmpFile(1000, 2);
    le::Put32(lying.data() + 22, 0x7FFFFFFF);
    WriteFile(dir.file("lying.bmp"), lying);
    EXPECT_EQ(Convert<BmpFrontEnd>(dir.file("lying.bmp"), dir.file("lying.apf")),
              faxresult::UnsupportedGraphics);
    EXPECT_EQ(Convert<TiffFrontEnd>(dir.file("missing.tif"), dir.file("m.apf")),
              faxresult::FileNotFound);

    // The accepted BMP: bottom row of the file comes last, its first pixel black.
    const auto decoded = DecodeLines(dir.file("ok.bmp.apf"), 1);
    ASSERT_EQ(decoded.lines.size(), 3u);
    EXPECT_EQ(decoded.lines[2][50 / 8], 0x80 >> (50 % 8));
    EXPECT_EQ(decoded.lines[0], Bytes(216, 0));
}

TEST(ImageFrontEnds, DcxPagesBecomeFaxPages) {
    // Two PCX pictures made by netpbm, joined in a DCX, give two pages with their pixels.
    qptest::ScratchDir dir;
    ASSERT_EQ(qptest::RunCommand("{ pbmtext -nomargins One > " + dir.file("1.pbm") +
                                 "; pbmtext -nomargins Two > " + dir.file("2.pbm") + "; ppmtopcx " +
                                 dir.file("1.pbm") + " > " + dir.file("1.pcx") + "; ppmtopcx " +
                                 dir.file("2.pbm") + " > " + dir.file("2.pcx") + "; } 2>/dev/null"),
              0);
    const Bytes one = ReadFile(dir.file("1.pcx"));
    const Bytes two = ReadFile(dir.file("2.pcx"));
    Bytes dcx(4 + 4 * 3, 0);
    le::Put32(dcx.data(), DcxFrontEnd::Magic);
    le::Put32(dcx.data() + 4, 16);
    le::Put32(dcx.data() + 8, static_cast<std::uint32_t>(16 + one.size()));
    dcx.insert(dcx.end(), one.begin(), one.end());
    dcx.insert(dcx.end(), two.begin(), two.end());
    WriteFile(dir.file("both.dcx"), dcx);
    ASSERT_EQ(Convert<DcxFrontEnd>(dir.file("both.dcx"), dir.file("both.apf")), 0);
    ASSERT_EQ(PageCount(dir.file("both.apf")), 2u);
    const FaxRaster first = ReadPbm(dir.file("1.pbm"));
    const FaxRaster second = ReadPbm(dir.file("2.pbm"));
    const auto page1 = DecodeLines(dir.file("both.apf"), 1);
    const auto page2 = DecodeLines(dir.file("both.apf"), 2);
    ASSERT_EQ(page1.lines.size(), static_cast<std::size_t>(first.Height()));
    ASSERT_EQ(page2.lines.size(), static_cast<std::size_t>(second.Height()));
    for (int y = 0; y < first.Height(); ++y) {
        EXPECT_EQ(page1.lines[static_cast<std::size_t>(y)], ShiftedRow(first, y, 50, 216));
    }
    for (int y = 0; y < second.Height(); ++y) {
        EXPECT_EQ(page2.lines[static_cast<std::size_t>(y)], ShiftedRow(second, y, 50, 216));
    }
}
