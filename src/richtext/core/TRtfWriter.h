#pragma once

#include "richtext/core/TRtfCodePage.h"
#include "richtext/core/TRtfDocument.h"

#include <string>
#include <vector>

// Writes a document in the stored form of the program's memo fields: header, font
// table, the fixed 15-entry colour table, page size and margins, optional title, subject
// and comment, then every paragraph ended by "\par" + LF + CR, and CR LF "}" at the end.
// Paragraph formatting is written as "\pard" and its words only where it differs from the
// paragraph before. Text is written in the code page of its font's character set;
// characters that code page lacks are written as "\u" escapes. Pictures are written as
// "\pict" groups with their data in hex; hidden insert point markers as a "\*" group.
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
    void WritePicture(const TRtfPicture& picture);
    std::string FormatWords(const TRtfCharFormat& format) const;
    std::string PlainWords() const;
    void WriteText(const std::u32string& text, int codePage = TRtfCodePage::kAnsi);
    void WriteNumberWord(const char* word, int value);

    const TRtfDocument& document_;
    std::vector<TRtfFont> fonts_;
    std::string out_;
    std::string carried_; // the attributes a reader has at this point of the output
    TRtfCodePage codePages_;
};
