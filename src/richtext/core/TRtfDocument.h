#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// The document model shared by the RTF reader and writer: paragraphs of formatted runs,
// the page layout and the few document properties the stored form carries. Lengths are
// in twips (1/1440 inch), font sizes in half points.

struct TRtfColor {
    int red = 0;
    int green = 0;
    int blue = 0;
    bool operator==(const TRtfColor&) const = default;
};

// Font family words of the font table.
enum class TRtfFontFamily { ffNil, ffRoman, ffSwiss, ffModern, ffScript, ffDecor, ffTech };

struct TRtfFont {
    std::string name; // face name, UTF-8
    TRtfFontFamily family = TRtfFontFamily::ffNil;
    int charset = 0;
    bool operator==(const TRtfFont&) const = default;
};

struct TRtfCharFormat {
    TRtfFont font;
    int halfPoints = 0; // 0: no size set
    TRtfColor color;
    std::optional<TRtfColor> background;
    bool bold = false;
    bool underline = false;
    bool doubleUnderline = false;
    bool superscript = false;
    bool subscript = false;
    bool italic = false;
    bool strike = false;
    bool shadow = false;
    bool hidden = false;
    int insertPointTag = 0; // above 0 for the characters of an insert point
    bool operator==(const TRtfCharFormat&) const = default;
};

// The data formats of pictures ("\pict"): PNG, JPEG, device-independent bitmaps (a
// BITMAPINFOHEADER and its bits), Windows and enhanced metafiles, device-dependent bitmaps
// and anything else a word processor wrote (kept as it came, not shown).
enum class TRtfPictureFormat { pfPng, pfJpeg, pfDib, pfWmf, pfEmf, pfDdb, pfOther };

struct TRtfPicture {
    TRtfPictureFormat format = TRtfPictureFormat::pfPng;
    int formatParameter = 0; // "\wmetafile8", "\dibitmap0", "\wbitmap0"
    std::string data;        // the picture file's bytes
    int width = 0;           // "\picw", "\pich": pixels, for metafiles 0.01 mm
    int height = 0;
    int goalWidth = 0; // "\picwgoal", "\pichgoal": the size shown, in twips (0: not given)
    int goalHeight = 0;
    int scaleX = 100; // "\picscalex", "\picscaley": percent of the goal size
    int scaleY = 100;
    int bitsPerPixel = 0; // "\wbmbitspixel", "\wbmplanes", "\wbmwidthbytes" (device bitmaps)
    int planes = 0;
    int widthBytes = 0;
    bool operator==(const TRtfPicture&) const = default;

    // The size shown on the page, in twips (goal size and scale; else from "\picw").
    int ShownWidth() const;
    int ShownHeight() const;
};

// A run of characters with one format. Text uses '\t' for a tab and '\n' for a line
// break inside the paragraph. Runs with the same insertPointId above 0 together form one
// insert point (its field text, which may be empty). A run with a picture stands for
// that picture and has no text.
struct TRtfRun {
    TRtfCharFormat format;
    std::u32string text;
    int insertPointId = 0;
    std::shared_ptr<const TRtfPicture> picture = nullptr;
};

enum class TRtfAlignment { raLeft, raCenter, raRight, raJustify };
enum class TRtfTabKind { tkLeft, tkCenter, tkRight, tkDecimal };

struct TRtfTabStop {
    int position = 0;
    TRtfTabKind kind = TRtfTabKind::tkLeft;
    bool operator==(const TRtfTabStop&) const = default;
};

struct TRtfParagraphFormat {
    TRtfAlignment alignment = TRtfAlignment::raLeft;
    int leftIndent = 0;
    int rightIndent = 0;
    int firstIndent = 0; // relative to the left indent, as "\fi"
    int spaceBefore = 0;
    int spaceAfter = 0;
    int lineSpacing = 0;       // "\sl": 0 automatic, above 0 at least, below 0 exactly
    bool lineMultiple = false; // "\slmult1": lineSpacing / 240 lines
    std::vector<TRtfTabStop> tabs;
    bool operator==(const TRtfParagraphFormat&) const = default;
};

struct TRtfParagraph {
    TRtfParagraphFormat format;
    bool pageBreakBefore = false;
    std::vector<TRtfRun> runs;
    // The character attributes of the paragraph mark: an empty paragraph is laid out and
    // typed into with them.
    std::optional<TRtfCharFormat> endFormat = std::nullopt;

    // No text, no picture and no insert point.
    bool IsEmpty() const;
};

struct TRtfPageLayout {
    int paperWidth = 12240;
    int paperHeight = 15840;
    int marginLeft = 720;
    int marginRight = 720;
    int marginTop = 720;
    int marginBottom = 720;
    bool operator==(const TRtfPageLayout&) const = default;
};

struct TRtfDocument {
    TRtfPageLayout page;
    bool pageGiven = false; // the source named at least one page value
    TRtfFont defaultFont;   // the font of "\deff", also used when no run names one
    std::u32string title;
    std::u32string subject;
    std::u32string comment;
    bool insertPointMarkersHidden = false; // a merged cover shows its values only
    std::vector<TRtfParagraph> paragraphs;

    // The plain text: paragraphs joined by '\n', line breaks as '\n'.
    std::u32string PlainText() const;
};
