#pragma once

#include "richtext/core/TRtfDocument.h"

#include <string>
#include <vector>

// Writes a document in the stored form of the program's memo fields: header, font
// table, the fixed 15-entry colour table, page size and margins, optional title, subject
// and comment, then every paragraph ended by "\par" + LF + CR, and CR LF "}" at the end.
// Paragraph formatting is written as "\pard" and its words only where it differs from the
// paragraph before; characters the code page lacks are written as "\u" escapes.
class TRtfWriter final {
public:
    static std::string Write(const TRtfDocument& document);

private:
    explicit TRtfWriter(const TRtfDocument& document);

    void CollectFonts();
    int FontIndex(const TRtfFont& font) const;
    void WriteHeader();
    void WriteFontTable();
    void WriteColorTable();
    void WritePage();
    void WriteInfo();
    void WriteParagraph(const TRtfParagraph& paragraph, const TRtfParagraphFormat& previous);
    void WriteParagraphFormat(const TRtfParagraphFormat& format);
    void WriteRun(const TRtfCharFormat& format, const std::u32string& text);
    void WriteText(const std::u32string& text);
    void WriteNumberWord(const char* word, int value);

    const TRtfDocument& document_;
    std::vector<TRtfFont> fonts_;
    std::string out_;
};
