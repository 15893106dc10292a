#include "richtext/core/TRtfWriter.h"

#include "common/CodePage1252.h"
#include "richtext/core/TRtfCodePage.h"
#include "richtext/core/TRtfPalette.h"

#include <cstdio>

namespace {

const char* FamilyWord(TRtfFontFamily family) {
    switch (family) {
    case TRtfFontFamily::ffSwiss:
        return "\\fswiss";
    case TRtfFontFamily::ffModern:
        return "\\fmodern";
    case TRtfFontFamily::ffScript:
        return "\\fscript";
    case TRtfFontFamily::ffDecor:
        return "\\fdecor";
    default:
        return "\\fnil"; // roman and technical fonts included
    }
}

// Neighbouring runs of the same insert point, or of equal plain formats, are written as one
// run; an insert point whose field text is empty is kept; a picture stands alone.
struct PendingRun {
    TRtfCharFormat format;
    std::u32string text;
    std::shared_ptr<const TRtfPicture> picture;
};

std::vector<PendingRun> JoinRuns(const std::vector<TRtfRun>& runs) {
    std::vector<PendingRun> joined;
    int lastInsertPoint = 0;
    for (const TRtfRun& run : runs) {
        if (run.picture) {
            joined.push_back({run.format, {}, run.picture});
            lastInsertPoint = 0;
            continue;
        }
        if (run.text.empty() && run.insertPointId == 0) {
            continue;
        }
        const bool afterText = !joined.empty() && !joined.back().picture;
        const bool sameInsertPoint =
            afterText && run.insertPointId > 0 && run.insertPointId == lastInsertPoint;
        const bool samePlainFormat = afterText && run.insertPointId == 0 && lastInsertPoint == 0 &&
                                     joined.back().format == run.format;
        if (sameInsertPoint && joined.back().text.empty()) {
            // The attributes of an insert point are those of its first characters.
            const int tag = joined.back().format.insertPointTag;
            joined.back().format = run.format;
            joined.back().format.insertPointTag = tag;
            joined.back().text = run.text;
        } else if (sameInsertPoint || samePlainFormat) {
            joined.back().text += run.text;
        } else {
            joined.push_back({run.format, run.text, nullptr});
            if (run.insertPointId > 0 && joined.back().format.insertPointTag <= 0) {
                joined.back().format.insertPointTag = 1;
            }
            if (run.insertPointId == 0) {
                joined.back().format.insertPointTag = 0;
            }
        }
        lastInsertPoint = run.insertPointId;
    }
    return joined;
}

const char* PictureWord(TRtfPictureFormat format) {
    switch (format) {
    case TRtfPictureFormat::pfPng:
        return "\\pngblip";
    case TRtfPictureFormat::pfJpeg:
        return "\\jpegblip";
    case TRtfPictureFormat::pfDib:
        return "\\dibitmap";
    case TRtfPictureFormat::pfWmf:
        return "\\wmetafile";
    case TRtfPictureFormat::pfEmf:
        return "\\emfblip";
    case TRtfPictureFormat::pfDdb:
        return "\\wbitmap";
    default:
        return nullptr;
    }
}

} // namespace

std::string TRtfWriter::Write(const TRtfDocument& document) {
    TRtfWriter writer(document);
    writer.CollectFonts();
    writer.WriteHeader();
    writer.carried_ = writer.PlainWords();
    TRtfParagraphFormat previous;
    for (const TRtfParagraph& paragraph : document.paragraphs) {
        writer.WriteParagraph(paragraph, previous);
        previous = paragraph.format;
    }
    writer.out_ += "\r\n}";
    return std::move(writer.out_);
}

TRtfWriter::TRtfWriter(const TRtfDocument& document) : document_(document) {}

void TRtfWriter::CollectFonts() {
    for (const TRtfParagraph& paragraph : document_.paragraphs) {
        for (const TRtfRun& run : paragraph.runs) {
            if ((!run.text.empty() || run.insertPointId > 0) && FontIndex(run.format.font) < 0) {
                fonts_.push_back(run.format.font);
            }
        }
        if (paragraph.endFormat && paragraph.IsEmpty() &&
            FontIndex(paragraph.endFormat->font) < 0) {
            fonts_.push_back(paragraph.endFormat->font);
        }
    }
    if (fonts_.empty()) {
        fonts_.push_back(document_.defaultFont);
    }
}

int TRtfWriter::FontIndex(const TRtfFont& font) const {
    for (size_t i = 0; i < fonts_.size(); ++i) {
        if (fonts_[i].name == font.name) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void TRtfWriter::WriteHeader() {
    out_ += "{\\rtf1\\ansi\\deff0\\deftab720";
    WriteFontTable();
    WriteColorTable();
    WritePage();
    WriteInfo();
}

void TRtfWriter::WriteFontTable() {
    out_ += "{\\fonttbl";
    for (size_t i = 0; i < fonts_.size(); ++i) {
        out_ += "{\\f" + std::to_string(i) + FamilyWord(fonts_[i].family) + "\\charset" +
                std::to_string(fonts_[i].charset) + " ";
        WriteText(FromUtf8(fonts_[i].name), TRtfCodePage::OfCharset(fonts_[i].charset));
        out_ += ";}";
    }
    out_ += "}";
}

void TRtfWriter::WriteColorTable() {
    out_ += "{\\colortbl";
    char entry[64];
    for (const TRtfColor& color : TRtfPalette::Colors()) {
        std::snprintf(entry, sizeof entry, "\\red%d\\green%d\\blue%d;", color.red, color.green,
                      color.blue);
        out_ += entry;
    }
    out_ += "}";
}

void TRtfWriter::WritePage() {
    const TRtfPageLayout& page = document_.page;
    WriteNumberWord("\\paperw", page.paperWidth);
    WriteNumberWord("\\paperh", page.paperHeight);
    WriteNumberWord("\\margl", page.marginLeft);
    WriteNumberWord("\\margr", page.marginRight);
    WriteNumberWord("\\margt", page.marginTop);
    WriteNumberWord("\\margb", page.marginBottom);
}

void TRtfWriter::WriteInfo() {
    if (!document_.title.empty()) {
        out_ += "{\\title ";
        WriteText(document_.title);
        out_ += "}";
    }
    if (!document_.subject.empty()) {
        out_ += "{\\subject\t";
        WriteText(document_.subject);
        out_ += "}";
    }
    if (!document_.comment.empty()) {
        out_ += "{\\comment\t";
        WriteText(document_.comment);
        out_ += "}";
    }
    if (document_.insertPointMarkersHidden) {
        out_ += "{\\*\\qphidemarkers}";
    }
}

void TRtfWriter::WriteParagraph(const TRtfParagraph& paragraph,
                                const TRtfParagraphFormat& previous) {
    if (paragraph.pageBreakBefore) {
        out_ += "\\page";
    }
    if (!(paragraph.format == previous)) {
        WriteParagraphFormat(paragraph.format);
    }
    if (paragraph.IsEmpty()) {
        // An empty paragraph takes the attributes a reader has at its "\par": written
        // only where they differ from those of the text before.
        if (paragraph.endFormat) {
            const std::string words = FormatWords(*paragraph.endFormat);
            if (words != carried_) {
                out_ += words + " ";
                carried_ = words;
            }
        }
        out_ += "\\par\n\r";
        return;
    }
    bool endsHidden = false;
    for (const PendingRun& run : JoinRuns(paragraph.runs)) {
        if (run.picture) {
            WritePicture(*run.picture);
            continue;
        }
        WriteRun(run.format, run.text);
        endsHidden = run.format.hidden;
    }
    if (endsHidden) {
        out_ += "\\plain\\par\n\r";
        carried_ = PlainWords();
    } else {
        out_ += "\\par\n\r";
    }
}

// The words that set `format` in the stored form (without an insert point's tag).
std::string TRtfWriter::FormatWords(const TRtfCharFormat& format) const {
    std::string words;
    const int font = FontIndex(format.font);
    words += "\\plain\\f" + std::to_string(font < 0 ? 0 : font);
    words += "\\fs" + std::to_string(format.halfPoints > 0 ? format.halfPoints : 20);
    words += "\\cf" + std::to_string(TRtfPalette::NearestIndex(format.color));
    if (format.background) {
        words += "\\cb" + std::to_string(TRtfPalette::NearestIndex(*format.background));
    }
    const std::pair<bool, const char*> styles[] = {
        {format.bold, "\\b"},
        {format.underline, "\\ul"},
        {format.doubleUnderline, "\\uldb"},
        {format.superscript, "\\super"},
        {format.subscript, "\\sub"},
        {format.italic, "\\i"},
        {format.strike, "\\strike"},
        {format.shadow, "\\shad"},
        {format.hidden, "\\v"},
    };
    for (const auto& [on, word] : styles) {
        if (on) {
            words += word;
        }
    }
    return words;
}

// The attributes a reader has after "\plain": the first font of the table, no size.
std::string TRtfWriter::PlainWords() const {
    TRtfCharFormat plain;
    plain.font = fonts_.front();
    return FormatWords(plain);
}

void TRtfWriter::WritePicture(const TRtfPicture& picture) {
    const char* word = PictureWord(picture.format);
    if (!word || picture.data.empty()) {
        return; // a picture of a kind the program cannot name is not kept
    }
    out_ += "{\\pict";
    out_ += word;
    if (picture.format == TRtfPictureFormat::pfDib || picture.format == TRtfPictureFormat::pfWmf ||
        picture.format == TRtfPictureFormat::pfDdb) {
        out_ += std::to_string(picture.formatParameter);
    }
    WriteNumberWord("\\picw", picture.width);
    WriteNumberWord("\\pich", picture.height);
    if (picture.goalWidth > 0 && picture.goalHeight > 0) {
        WriteNumberWord("\\picwgoal", picture.goalWidth);
        WriteNumberWord("\\pichgoal", picture.goalHeight);
    }
    if (picture.scaleX != 100 || picture.scaleY != 100) {
        WriteNumberWord("\\picscalex", picture.scaleX);
        WriteNumberWord("\\picscaley", picture.scaleY);
    }
    if (picture.format == TRtfPictureFormat::pfDdb) {
        WriteNumberWord("\\wbmbitspixel", picture.bitsPerPixel);
        WriteNumberWord("\\wbmplanes", picture.planes);
        WriteNumberWord("\\wbmwidthbytes", picture.widthBytes);
    }
    static const char digits[] = "0123456789abcdef";
    for (size_t i = 0; i < picture.data.size(); ++i) {
        if (i % 64 == 0) {
            out_ += '\n';
        }
        const auto byte = static_cast<unsigned char>(picture.data[i]);
        out_ += digits[byte >> 4];
        out_ += digits[byte & 15];
    }
    out_ += "}";
}

void TRtfWriter::WriteParagraphFormat(const TRtfParagraphFormat& format) {
    out_ += "\\pard";
    switch (format.alignment) {
    case TRtfAlignment::raCenter:
        out_ += "\\qc";
        break;
    case TRtfAlignment::raRight:
        out_ += "\\qr";
        break;
    case TRtfAlignment::raJustify:
        out_ += "\\qj";
        break;
    case TRtfAlignment::raLeft:
        break;
    }
    if (format.leftIndent != 0) {
        WriteNumberWord("\\li", format.leftIndent);
    }
    if (format.rightIndent != 0) {
        WriteNumberWord("\\ri", format.rightIndent);
    }
    if (format.firstIndent != 0) {
        WriteNumberWord("\\fi", format.firstIndent);
    }
    if (format.spaceBefore != 0) {
        WriteNumberWord("\\sb", format.spaceBefore);
    }
    if (format.spaceAfter != 0) {
        WriteNumberWord("\\sa", format.spaceAfter);
    }
    if (format.lineSpacing != 0) {
        WriteNumberWord("\\sl", format.lineSpacing);
        if (format.lineMultiple) {
            out_ += "\\slmult1";
        }
    }
    for (const TRtfTabStop& tab : format.tabs) {
        if (tab.kind == TRtfTabKind::tkCenter) {
            out_ += "\\tqc";
        } else if (tab.kind == TRtfTabKind::tkRight) {
            out_ += "\\tqr";
        } else if (tab.kind == TRtfTabKind::tkDecimal) {
            out_ += "\\tqdec";
        }
        WriteNumberWord("\\tx", tab.position);
    }
}

void TRtfWriter::WriteRun(const TRtfCharFormat& format, const std::u32string& text) {
    const std::string words = FormatWords(format);
    out_ += words;
    carried_ = words;
    if (format.insertPointTag > 0) {
        WriteNumberWord("\\inspnt", format.insertPointTag);
    }
    out_ += ' ';
    WriteText(text, TRtfCodePage::OfCharset(format.font.charset));
}

void TRtfWriter::WriteText(const std::u32string& text, int codePage) {
    char escape[16];
    for (char32_t ch : text) {
        if (ch <= 3) {
            continue;
        }
        if (ch == U'\\' || ch == U'{' || ch == U'}') {
            out_ += '\\';
            out_ += static_cast<char>(ch);
        } else if (ch == U'\t') {
            out_ += "\\tab ";
        } else if (ch == U'\n') {
            out_ += "\\line ";
        } else if (ch >= 32 && ch <= 126) {
            out_ += static_cast<char>(ch);
        } else if (const std::string bytes = codePages_.Encode(codePage, ch); !bytes.empty()) {
            for (char byte : bytes) {
                std::snprintf(escape, sizeof escape, "\\'%02x", static_cast<unsigned char>(byte));
                out_ += escape;
            }
        } else if (ch > 0xFFFF) {
            // Outside the code page and the basic plane: a UTF-16 surrogate pair.
            const char32_t value = ch - 0x10000;
            WriteNumberWord("\\u", static_cast<int>(0xD800 + (value >> 10)) - 65536);
            out_ += '?';
            WriteNumberWord("\\u", static_cast<int>(0xDC00 + (value & 0x3FF)) - 65536);
            out_ += '?';
        } else {
            WriteNumberWord("\\u",
                            ch > 32767 ? static_cast<int>(ch) - 65536 : static_cast<int>(ch));
            out_ += '?';
        }
    }
}

void TRtfWriter::WriteNumberWord(const char* word, int value) {
    out_ += word;
    out_ += std::to_string(value);
}
