// The RTF reader and writer of the rich text control, without Qt.
#include "common/CodePage1252.h"
#include "richtext/core/TRtfReader.h"
#include "richtext/core/TRtfWriter.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const std::string kColorTable =
    "{\\colortbl\\red0\\green0\\blue0;\\red255\\green255\\blue255;\\red255\\green0\\blue0;"
    "\\red0\\green255\\blue0;\\red0\\green0\\blue255;\\red255\\green255\\blue0;"
    "\\red255\\green0\\blue255;\\red0\\green255\\blue255;\\red128\\green0\\blue0;"
    "\\red0\\green128\\blue0;\\red0\\green0\\blue128;\\red128\\green128\\blue0;"
    "\\red128\\green0\\blue128;\\red0\\green128\\blue128;\\red128\\green128\\blue128;}";

TRtfFont Arial() {
    return {"Arial", TRtfFontFamily::ffSwiss, 0};
}

TRtfRun TextRun(const std::u32string& text, TRtfCharFormat format = {}) {
    if (format.font.name.empty()) {
        format.font = Arial();
    }
    return {format, text, 0};
}

TRtfDocument OneParagraph(std::vector<TRtfRun> runs) {
    TRtfDocument document;
    document.defaultFont = Arial();
    document.paragraphs.push_back({{}, false, std::move(runs)});
    return document;
}

std::string Header(const std::string& fonts = "{\\f0\\fswiss\\charset0 Arial;}") {
    return "{\\rtf1\\ansi\\deff0\\deftab720{\\fonttbl" + fonts + "}" + kColorTable +
           "\\paperw12240\\paperh15840\\margl720\\margr720\\margt720\\margb720";
}

// Every attribute, insert points, page breaks, tabs and characters outside ASCII.
TRtfDocument RichDocument() {
    TRtfDocument document;
    document.defaultFont = Arial();
    document.title = U"Offer";
    document.subject = U"Prices";
    document.comment = U"Draft {1}";
    TRtfCharFormat bold;
    bold.bold = true;
    bold.halfPoints = 28;
    TRtfCharFormat styles;
    styles.font = {"Courier New", TRtfFontFamily::ffModern, 0};
    styles.italic = styles.underline = styles.strike = styles.shadow = true;
    styles.color = {0, 0, 255};
    styles.background = TRtfColor{255, 255, 0};
    TRtfCharFormat other;
    other.doubleUnderline = other.superscript = true;
    TRtfCharFormat sub;
    sub.subscript = true;
    sub.font = {"Symbol", TRtfFontFamily::ffDecor, 2};
    TRtfCharFormat hidden;
    hidden.hidden = true;
    TRtfCharFormat field;
    field.insertPointTag = 1;
    field.color = {255, 0, 0};
    TRtfCharFormat date = field;
    date.insertPointTag = 4;

    TRtfParagraph first{
        {}, false, {TextRun(U"Dear ", bold), TextRun(U"[RECIPIENT]", field), TextRun(U",")}};
    first.runs[1].insertPointId = 1;
    first.format.alignment = TRtfAlignment::raCenter;
    TRtfParagraph second{{},
                         false,
                         {TextRun(U"tab\there\nnext \\ {braces} caf\u00e9 \u20ac \u03b1", styles),
                          TextRun(U"x", other), TextRun(U"2", sub), TextRun(U"secret", hidden)}};
    second.format = {TRtfAlignment::raJustify,
                     720,
                     360,
                     -360,
                     120,
                     240,
                     300,
                     false,
                     {{1440, TRtfTabKind::tkRight}, {2880, TRtfTabKind::tkLeft}}};
    TRtfParagraph third{{}, true, {TextRun(U"[DATE]", date), TextRun(U"[DATE]", date)}};
    third.runs[0].insertPointId = 2;
    third.runs[1].insertPointId = 3;
    TRtfParagraph empty{{}, true, {}};
    document.paragraphs = {first, second, third, empty};
    return document;
}

} // namespace

// The writer produces exactly the stored form for a plain paragraph.
TEST(RtfWriter, WritesTheStoredForm) {
    const std::string rtf = TRtfWriter::Write(OneParagraph({TextRun(U"Hello")}));
    EXPECT_EQ(rtf, Header() + "\\plain\\f0\\fs20\\cf0 Hello\\par\n\r\r\n}");
}

// Style words come in their fixed order after font, size and colours; insert points carry
// their tag; hidden text at the paragraph end is closed by "\plain\par".
TEST(RtfWriter, WritesRunFormattingInOrder) {
    TRtfCharFormat all;
    all.bold = all.underline = all.doubleUnderline = all.superscript = all.italic = all.strike =
        all.shadow = all.hidden = true;
    all.halfPoints = 24;
    all.color = {250, 5, 5}; // nearest palette entry: red
    all.background = TRtfColor{0, 0, 120};
    all.insertPointTag = 3;
    TRtfRun run = TextRun(U"S", all);
    run.insertPointId = 7;
    const std::string rtf = TRtfWriter::Write(OneParagraph({run}));
    EXPECT_EQ(rtf, Header() + "\\plain\\f0\\fs24\\cf2\\cb10\\b\\ul\\uldb\\super\\i\\strike\\shad\\v"
                              "\\inspnt3 S\\plain\\par\n\r\r\n}");
}

// Escapes: backslash and braces, tab, line break, code page bytes, characters 0 to 3
// dropped, others outside 32 to 126 as "\'hh"; characters the code page lacks as "\u".
TEST(RtfWriter, EscapesText) {
    const std::u32string text = U"a\\b{c}d\te\nf\u00e9\u20ac\x01\x02\x03\x04g\u03b1";
    const std::string rtf = TRtfWriter::Write(OneParagraph({TextRun(text)}));
    EXPECT_NE(rtf.find(" a\\\\b\\{c\\}d\\tab e\\line f\\'e9\\'80\\'04g\\u945?\\par"),
              std::string::npos)
        << rtf;
}

// Title, subject and comment groups, page size, "\page" and paragraph formatting.
TEST(RtfWriter, WritesDocumentPartsAndParagraphFormat) {
    TRtfDocument document = OneParagraph({TextRun(U"One")});
    document.title = U"T";
    document.subject = U"S";
    document.page = {11906, 16838, 1134, 1134, 567, 567};
    TRtfParagraph second{{}, true, {TextRun(U"Two")}};
    second.format.alignment = TRtfAlignment::raRight;
    second.format.leftIndent = 720;
    document.paragraphs.push_back(second);
    const std::string rtf = TRtfWriter::Write(document);
    EXPECT_NE(rtf.find("\\paperw11906\\paperh16838\\margl1134\\margr1134\\margt567\\margb567"
                       "{\\title T}{\\subject\tS}\\plain"),
              std::string::npos)
        << rtf;
    EXPECT_NE(
        rtf.find("One\\par\n\r\\page\\pard\\qr\\li720\\plain\\f0\\fs20\\cf0 Two\\par\n\r\r\n}"),
        std::string::npos)
        << rtf;
}

// Fonts are listed in order of first use with their family word and character set.
TEST(RtfWriter, BuildsFontTable) {
    TRtfCharFormat mono;
    mono.font = {"Courier New", TRtfFontFamily::ffModern, 0};
    TRtfCharFormat roman;
    roman.font = {"Times New Roman", TRtfFontFamily::ffRoman, 0};
    const std::string rtf = TRtfWriter::Write(OneParagraph(
        {TextRun(U"a"), TextRun(U"b", mono), TextRun(U"c", roman), TextRun(U"d", mono)}));
    EXPECT_NE(rtf.find("{\\fonttbl{\\f0\\fswiss\\charset0 Arial;}{\\f1\\fmodern\\charset0 Courier "
                       "New;}{\\f2\\fnil\\charset0 Times New Roman;}}"),
              std::string::npos);
    EXPECT_NE(rtf.find("\\plain\\f1\\fs20\\cf0 d"), std::string::npos);
}

// Write, read and write again gives the same bytes, and the reader restores the model.
TEST(RtfRoundTrip, WriteReadWriteIsIdentical) {
    const std::string first = TRtfWriter::Write(RichDocument());
    const TRtfDocument read = TRtfReader::Read(first);
    const std::string second = TRtfWriter::Write(read);
    EXPECT_EQ(first, second);

    ASSERT_EQ(read.paragraphs.size(), 4u);
    EXPECT_EQ(read.title, U"Offer");
    EXPECT_EQ(read.subject, U"Prices");
    EXPECT_EQ(read.comment, U"Draft {1}");
    EXPECT_EQ(read.paragraphs[0].format.alignment, TRtfAlignment::raCenter);
    EXPECT_EQ(read.paragraphs[1].format, RichDocument().paragraphs[1].format);
    EXPECT_TRUE(read.paragraphs[2].pageBreakBefore);
    EXPECT_TRUE(read.paragraphs[3].pageBreakBefore);
    EXPECT_TRUE(read.paragraphs[3].runs.empty());
    // Two neighbouring insert points of the same tag stay two.
    ASSERT_EQ(read.paragraphs[2].runs.size(), 2u);
    EXPECT_NE(read.paragraphs[2].runs[0].insertPointId, read.paragraphs[2].runs[1].insertPointId);
    EXPECT_EQ(read.paragraphs[2].runs[1].format.insertPointTag, 4);
    EXPECT_EQ(read.PlainText(), RichDocument().PlainText());
    const TRtfCharFormat& styled = read.paragraphs[1].runs[0].format;
    EXPECT_TRUE(styled.italic && styled.underline && styled.strike && styled.shadow);
    EXPECT_EQ(styled.font.name, "Courier New");
    EXPECT_EQ(styled.font.family, TRtfFontFamily::ffModern);
    EXPECT_EQ(styled.color, (TRtfColor{0, 0, 255}));
    EXPECT_EQ(styled.background, (TRtfColor{255, 255, 0}));
    EXPECT_EQ(read.paragraphs[1].runs[2].format.font.charset, 2);
}

// RTF as other word processors write it: font table entries with alternates, an automatic
// colour, "\u" with its replacement characters, surrogate pairs, fields, pictures with
// binary data, and destinations that are not shown.
TEST(RtfReader, ReadsForeignRtf) {
    const std::string rtf =
        "{\\rtf1\\ansi\\ansicpg1252\\deff1\\uc1{\\fonttbl{\\f0\\froman\\fcharset0 Times New "
        "Roman;}{\\f1\\fswiss\\fprq2\\fcharset0 Liberation Sans{\\*\\falt Arial};}}"
        "{\\colortbl;\\red0\\green0\\blue255;}{\\stylesheet{\\s0 Normal;}}"
        "{\\info{\\title Report}{\\author Someone}}{\\header Head text\\par}"
        "\\paperw11906\\paperh16838\\margl1134"
        "\\pard\\plain\\qc\\sl-480\\f0\\fs24\\b Title\\b0\\par"
        "\\pard\\li720\\fi-360 A\\cf1 B\\cf0  \\u8364\\'80 "
        "\\uc2\\u55357\\'3f\\'3f\\u56832\\'3f\\'3f "
        "{\\field{\\*\\fldinst PAGE}{\\fldrslt 7}} {\\pict\\bin4 }}}}}after\\~x\\ldblquote "
        "q\\rdblquote"
        "{\\footnote note}\\par"
        "\\pard\\pagebb New page\\sect last\\par}";
    const TRtfDocument document = TRtfReader::Read(rtf);
    EXPECT_EQ(document.PlainText(),
              U"Title\nAB \u20ac \U0001F600 7 after\u00a0x\u201cq\u201d\nNew page\nlast");
    EXPECT_EQ(document.title, U"Report");
    EXPECT_EQ(document.defaultFont.name, "Liberation Sans");
    EXPECT_TRUE(document.pageGiven);
    EXPECT_EQ(document.page.paperWidth, 11906);
    EXPECT_EQ(document.page.marginLeft, 1134);
    EXPECT_EQ(document.page.marginRight, 1800); // RTF's default for what is left out
    ASSERT_EQ(document.paragraphs.size(), 4u);
    const TRtfParagraph& title = document.paragraphs[0];
    EXPECT_EQ(title.format.alignment, TRtfAlignment::raCenter);
    EXPECT_EQ(title.format.lineSpacing, -480);
    EXPECT_TRUE(title.runs[0].format.bold);
    EXPECT_EQ(title.runs[0].format.halfPoints, 24);
    EXPECT_EQ(title.runs[0].format.font.name, "Times New Roman");
    const TRtfParagraph& body = document.paragraphs[1];
    EXPECT_EQ(body.format.leftIndent, 720);
    EXPECT_EQ(body.format.firstIndent, -360);
    EXPECT_EQ(body.runs[0].format.font.name, "Times New Roman");
    EXPECT_EQ(body.runs[1].format.color, (TRtfColor{0, 0, 255}));
    EXPECT_EQ(body.runs[0].format.color, (TRtfColor{0, 0, 0}));
    EXPECT_TRUE(document.paragraphs[2].pageBreakBefore);
    EXPECT_TRUE(document.paragraphs[3].pageBreakBefore); // a section starts a new page
}

// "\page" in the middle of a paragraph splits it; repeated breaks keep their empty pages.
TEST(RtfReader, PageBreaksStartParagraphs) {
    const TRtfDocument document = TRtfReader::Read("{\\rtf1 one\\page two\\par\\page\\page three}");
    ASSERT_EQ(document.paragraphs.size(), 4u);
    EXPECT_FALSE(document.paragraphs[0].pageBreakBefore);
    EXPECT_TRUE(document.paragraphs[1].pageBreakBefore);
    EXPECT_TRUE(document.paragraphs[2].pageBreakBefore);
    EXPECT_TRUE(document.paragraphs[2].runs.empty());
    EXPECT_TRUE(document.paragraphs[3].pageBreakBefore);
}

// Damaged input loads what it can and never fails: truncation, stray braces, runaway
// nesting, huge numbers, broken escapes and binary junk.
TEST(RtfReader, SurvivesDamagedInput) {
    const std::string good = TRtfWriter::Write(RichDocument());
    for (size_t cut = 0; cut < good.size(); cut += 7) {
        const TRtfDocument partial = TRtfReader::Read(good.substr(0, cut));
        EXPECT_LE(partial.PlainText().size(), RichDocument().PlainText().size() + 1);
    }
    EXPECT_EQ(TRtfReader::Read("}}}{\\rtf1 text}}}").PlainText(), U"text");
    EXPECT_EQ(
        TRtfReader::Read(std::string(100000, '{') + "deep" + std::string(100000, '}')).PlainText(),
        U"deep");
    const TRtfDocument numbers = TRtfReader::Read(
        "{\\rtf1\\fs99999999999999\\li-99999999999 \\'zz\\'4 \\u-99999999 x\\bin999999999999}");
    EXPECT_EQ(numbers.paragraphs.size(), 1u);
    std::string junk;
    for (int i = 0; i < 4096; ++i) {
        junk += static_cast<char>((i * 7919) % 256);
    }
    TRtfReader::Read(junk); // must not crash
    EXPECT_TRUE(TRtfReader::Read("").paragraphs.empty());
}

// Code page 1252 and UTF-8 conversions used by the reader and writer.
TEST(CodePage1252, MapsBothWays) {
    const struct {
        unsigned char byte;
        char32_t ch;
    } cases[] = {{0x41, U'A'}, {0x80, 0x20AC}, {0x93, 0x201C}, {0xE9, 0x00E9}, {0x81, 0x81}};
    for (const auto& item : cases) {
        EXPECT_EQ(DecodeCp1252(item.byte), item.ch);
        EXPECT_EQ(EncodeCp1252(item.ch), item.byte);
    }
    EXPECT_EQ(EncodeCp1252(0x03B1), -1);
    EXPECT_EQ(FromUtf8(ToUtf8(U"caf\u00e9 \U0001F600")), U"caf\u00e9 \U0001F600");
    EXPECT_EQ(FromUtf8("\xff"
                       "a\xc3"),
              U"\uFFFDa\uFFFD");
}

// "\'hh" bytes and 8-bit text are read in the code page of their font: its character set,
// its "\cpg", else the document's "\ansicpg". Cyrillic, Central European and Greek text,
// the two bytes of a Japanese character, font names; a lead byte without its partner
// gives U+FFFD and "\u" still wins over its replacement bytes.
TEST(RtfReader, DecodesTextByItsFontsCodePage) {
    const struct {
        std::string rtf;
        std::u32string text;
    } cases[] = {
        {"{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss\\fcharset204 Arial;}}\\f0 "
         "\\'cf\\'f0\\'e8\\'e2\\'e5\\'f2\\par}",
         U"\u041f\u0440\u0438\u0432\u0435\u0442"},
        {"{\\rtf1\\ansi{\\fonttbl{\\f0\\fcharset0 Arial;}{\\f1\\fcharset238 Arial CE;}}"
         "\\f1 \\'b3\\'f3d\\'9f\\f0  caf\\'e9\\par}",
         U"\u0142\u00f3d\u017a caf\u00e9"},
        {"{\\rtf1\\ansi\\ansicpg1251{\\fonttbl{\\f0\\fnil Arial;}}\\f0 \\'e4\\'e0\\par}",
         U"\u0434\u0430"},
        {"{\\rtf1\\ansi{\\fonttbl{\\f0\\fnil\\cpg1253 Arial;}}\\f0 \\'e1\\'e2\\par}",
         U"\u03b1\u03b2"},
        {"{\\rtf1\\ansi{\\fonttbl{\\f0\\fnil\\fcharset128 MS Mincho;}}\\f0 \\'82\\'a0\\'82\\'a2 "
         "x\\par}",
         U"\u3042\u3044 x"},
        {"{\\rtf1\\ansi{\\fonttbl{\\f0\\fnil\\fcharset128 MS Mincho;}}\\f0 \\'82\\par}", U"\uFFFD"},
        {"{\\rtf1\\ansi{\\fonttbl{\\f0\\fnil\\fcharset204 Arial;}}\\f0 \xcf\xf0 "
         "\\uc1\\u1055\\'cf!\\par}",
         U"\u041f\u0440 \u041f!"},
        {"{\\rtf1\\ansi{\\fonttbl{\\f0\\fnil\\fcharset161 Arial;}{\\f1\\fnil\\fcharset0 Arial;}}"
         "\\f0 \\'e1{\\f1 \\'e1}\\'e1\\par}",
         U"\u03b1\u00e1\u03b1"},
    };
    for (const auto& item : cases) {
        EXPECT_EQ(TRtfReader::Read(item.rtf).PlainText(), item.text) << item.rtf;
    }
    const TRtfDocument named = TRtfReader::Read(
        "{\\rtf1\\ansi{\\fonttbl{\\f0\\fnil\\fcharset204 \\'c0\\'f0\\'e8\\'e0\\'eb;}}\\f0 x\\par}");
    ASSERT_EQ(named.paragraphs.size(), 1u);
    EXPECT_EQ(named.paragraphs[0].runs[0].format.font.name,
              ToUtf8(U"\u0410\u0440\u0438\u0430\u043b"));
}

// Text is written in the code page of its font: Cyrillic in a Cyrillic font as code page
// 1251 bytes, in a Western font (and "é", which code page 1251 lacks, in either) as "\u";
// everything reads back as it was.
TEST(RtfWriter, WritesTextInItsFontsCodePage) {
    TRtfCharFormat cyrillic;
    cyrillic.font = {"Arial", TRtfFontFamily::ffSwiss, 204};
    TRtfCharFormat western;
    western.font = {"Times New Roman", TRtfFontFamily::ffRoman, 0};
    const std::u32string hello = U"\u041f\u0440\u0438\u0432\u0435\u0442 \u00e9";
    const TRtfDocument document =
        OneParagraph({TextRun(hello, cyrillic), TextRun(U" ", western), TextRun(hello, western)});
    const std::string rtf = TRtfWriter::Write(document);
    EXPECT_NE(rtf.find("{\\f0\\fswiss\\charset204 Arial;}"), std::string::npos) << rtf;
    EXPECT_NE(rtf.find(" \\'cf\\'f0\\'e8\\'e2\\'e5\\'f2 \\u233?"), std::string::npos) << rtf;
    EXPECT_NE(rtf.find(" \\u1055?\\u1088?\\u1080?\\u1074?\\u1077?\\u1090? \\'e9"),
              std::string::npos)
        << rtf;
    const TRtfDocument read = TRtfReader::Read(rtf);
    EXPECT_EQ(read.PlainText(), hello + U" " + hello);
    EXPECT_EQ(TRtfWriter::Write(read), rtf);
}

// An empty paragraph keeps the attributes of its end: written before its "\par" only
// where they differ from those a reader has there, and read back the same; a document of
// the stored form without them reads and writes unchanged.
TEST(RtfRoundTrip, EmptyParagraphsKeepTheirAttributes) {
    TRtfCharFormat large;
    large.font = Arial();
    large.halfPoints = 56;
    TRtfCharFormat normal;
    normal.font = Arial();
    TRtfDocument document = OneParagraph({TextRun(U"Top", large)});
    document.paragraphs.push_back({{}, false, {}, large});
    document.paragraphs.push_back({{}, false, {}, normal});
    document.paragraphs.push_back({{}, false, {TextRun(U"Bottom", normal)}});
    const std::string rtf = TRtfWriter::Write(document);
    EXPECT_NE(rtf.find("\\fs56\\cf0 Top\\par\n\r\\par\n\r\\plain\\f0\\fs20\\cf0 \\par\n\r\\plain"),
              std::string::npos)
        << rtf;
    const TRtfDocument read = TRtfReader::Read(rtf);
    ASSERT_EQ(read.paragraphs.size(), 4u);
    ASSERT_TRUE(read.paragraphs[1].endFormat);
    EXPECT_EQ(read.paragraphs[1].endFormat->halfPoints, 56);
    EXPECT_EQ(read.paragraphs[2].endFormat->halfPoints, 20);
    EXPECT_EQ(TRtfWriter::Write(read), rtf);

    const std::string stored =
        Header() + "\\plain\\f0\\fs20\\cf2\\inspnt4 [DATE]\\par\n\r\\page\\par\n\r\r\n}";
    EXPECT_EQ(TRtfWriter::Write(TRtfReader::Read(stored)), stored);
}

// An insert point whose field text was merged to nothing stays an insert point; hidden
// insert point markers are kept in a group other readers skip.
TEST(RtfRoundTrip, KeepsEmptyInsertPointsAndHiddenMarkers) {
    TRtfCharFormat field;
    field.font = Arial();
    field.color = {255, 0, 0};
    field.insertPointTag = 3;
    TRtfRun empty = TextRun(U"", field);
    empty.insertPointId = 1;
    TRtfDocument document = OneParagraph({TextRun(U"Re: "), empty, TextRun(U".")});
    document.insertPointMarkersHidden = true;
    const std::string rtf = TRtfWriter::Write(document);
    EXPECT_NE(rtf.find("{\\*\\qphidemarkers}\\plain"), std::string::npos) << rtf;
    EXPECT_NE(rtf.find("Re: \\plain\\f0\\fs20\\cf2\\inspnt3 \\plain\\f0\\fs20\\cf0 .\\par"),
              std::string::npos)
        << rtf;
    const TRtfDocument read = TRtfReader::Read(rtf);
    EXPECT_TRUE(read.insertPointMarkersHidden);
    ASSERT_EQ(read.paragraphs[0].runs.size(), 3u);
    EXPECT_GT(read.paragraphs[0].runs[1].insertPointId, 0);
    EXPECT_TRUE(read.paragraphs[0].runs[1].text.empty());
    EXPECT_EQ(read.paragraphs[0].runs[1].format.insertPointTag, 3);
    EXPECT_EQ(TRtfWriter::Write(read), rtf);
    EXPECT_FALSE(TRtfReader::Read(TRtfWriter::Write(OneParagraph({TextRun(U"x")})))
                     .insertPointMarkersHidden);
}

// Pictures: "\pict" groups with PNG or DIB data, in hex or after "\bin", with their sizes
// and scale; a word processor's shape picture is read and its copy for old readers is not;
// written back with the same data, and unknown kinds are dropped rather than kept blind.
TEST(RtfPicture, ReadsAndWritesPictures) {
    const std::string rtf =
        "{\\rtf1 A{\\*\\shppict{\\pict{\\*\\picprop{\\sp{\\sn x}}}\\picscalex50\\picscaley50"
        "\\picw2\\pich1\\picwgoal30\\pichgoal16\\pngblip 89504e47\r\n0D0A}}"
        "{\\nonshppict{\\pict\\wmetafile8\\picw2\\pich1 0102}}B"
        "{\\pict\\dibitmap0\\picw1\\pich1\\bin3 x}z}C{\\pict\\macpict 0102}\\par}";
    const TRtfDocument document = TRtfReader::Read(rtf);
    EXPECT_EQ(document.PlainText(), U"ABC");
    ASSERT_EQ(document.paragraphs.size(), 1u);
    std::vector<TRtfPicture> pictures;
    for (const TRtfRun& run : document.paragraphs[0].runs) {
        if (run.picture) {
            pictures.push_back(*run.picture);
        }
    }
    ASSERT_EQ(pictures.size(), 3u);
    EXPECT_EQ(pictures[0].format, TRtfPictureFormat::pfPng);
    EXPECT_EQ(pictures[0].data, std::string("\x89PNG\r\n"));
    EXPECT_EQ(pictures[0].goalWidth, 30);
    EXPECT_EQ(pictures[0].ShownWidth(), 15);
    EXPECT_EQ(pictures[0].ShownHeight(), 8);
    EXPECT_EQ(pictures[1].format, TRtfPictureFormat::pfDib);
    EXPECT_EQ(pictures[1].data, "x}z");
    EXPECT_EQ(pictures[1].ShownWidth(), 15); // one pixel of a 96 dpi screen
    EXPECT_EQ(pictures[2].format, TRtfPictureFormat::pfOther);

    const std::string written = TRtfWriter::Write(document);
    EXPECT_NE(written.find(" A{\\pict\\pngblip\\picw2\\pich1\\picwgoal30\\pichgoal16\\picscalex50"
                           "\\picscaley50\n89504e470d0a}\\plain"),
              std::string::npos)
        << written;
    EXPECT_NE(written.find("{\\pict\\dibitmap0\\picw1\\pich1\n787d7a}"), std::string::npos)
        << written;
    EXPECT_EQ(written.find("macpict"), std::string::npos);
    const TRtfDocument again = TRtfReader::Read(written);
    EXPECT_EQ(TRtfWriter::Write(again), written);
    EXPECT_EQ(*again.paragraphs[0].runs[1].picture, pictures[0]);
}

// A table row becomes one line: its cells separated by tabs with tab stops at the cells'
// left edges, the paragraphs of a cell joined by a blank.
TEST(RtfReader, ReadsTableRowsAsTabbedLines) {
    const TRtfDocument document = TRtfReader::Read(
        "{\\rtf1\\trowd\\cellx2000\\cellx5000\\cellx8000\\pard\\intbl Name\\cell Fax\\par "
        "number\\cell Note\\cell\\row\\pard After\\par}");
    ASSERT_EQ(document.paragraphs.size(), 2u);
    EXPECT_EQ(document.PlainText(), U"Name\tFax number\tNote\nAfter");
    const std::vector<TRtfTabStop> tabs = {{2000, TRtfTabKind::tkLeft},
                                           {5000, TRtfTabKind::tkLeft}};
    EXPECT_EQ(document.paragraphs[0].format.tabs, tabs);
    EXPECT_TRUE(document.paragraphs[1].format.tabs.empty());
}
