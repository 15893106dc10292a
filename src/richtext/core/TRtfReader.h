#pragma once

#include "richtext/core/TRtfDocument.h"
#include "richtext/core/TRtfTokenizer.h"

#include <map>
#include <optional>
#include <string_view>
#include <vector>

// Reads RTF into the document model: the stored form written by TRtfWriter and the RTF
// of other word processors (text, fonts, sizes, styles, colours, alignment, indents,
// spacing, line height, page breaks, tab stops, code page 1252 and "\u" characters).
// Destinations that are not shown (pictures, field instructions, headers, footers,
// footnotes, style sheets, document information, "\*" groups) are skipped. Damaged or
// unknown input never fails: whatever could be read is returned.
class TRtfReader final {
public:
    static TRtfDocument Read(std::string_view rtf);

private:
    enum class Destination {
        dText,
        dFontTable,
        dColorTable,
        dInfo,
        dTitle,
        dSubject,
        dComment,
        dSkip
    };

    struct State {
        Destination destination = Destination::dText;
        TRtfCharFormat chr;
        int insertPointId = 0;
        TRtfParagraphFormat para;
        bool pageBreakBefore = false; // "\pagebb"
        int unicodeSkip = 1;
        TRtfTabKind nextTabKind = TRtfTabKind::tkLeft;
    };

    explicit TRtfReader(std::string_view rtf) : tokenizer_(rtf) {}

    void Run();
    void OpenGroup();
    void CloseGroup();
    void HandleWord(const TRtfTokenizer::Token& token);
    void HandleSymbol(char symbol);
    bool HandleDestinationWord(const std::string& word);
    bool HandleCharacterWord(const std::string& word, bool hasParameter, int parameter);
    bool HandleParagraphWord(const std::string& word, bool hasParameter, int parameter);
    bool HandleDocumentWord(const std::string& word, int parameter);
    bool HandleSpecialCharacter(const std::string& word);
    void HandleUnicode(int parameter);
    void HandleTextByte(unsigned char byte, bool escaped);
    void AppendCharacter(char32_t ch);
    void AppendToParagraph(char32_t ch);
    void AppendFontNameCharacter(char32_t ch);
    void HandleColorTableText(unsigned char byte);
    void CommitFont();
    void EndParagraph();
    void PageBreak();
    void SectionBreak();
    void Finish();
    std::optional<TRtfColor> ColorAt(int index) const;

    TRtfTokenizer tokenizer_;
    TRtfDocument document_;
    State state_;
    std::vector<State> stack_;
    int ignoredDepth_ = 0; // groups beyond the nesting limit
    TRtfParagraph paragraph_;
    bool pendingPageBreak_ = false;
    bool sectionBreaksPage_ = true;
    int nextInsertPointId_ = 0;
    int skipCharacters_ = 0; // characters left to skip after "\u"
    char32_t highSurrogate_ = 0;
    bool starredGroup_ = false;

    // Font table.
    int defaultFontNumber_ = 0;
    std::map<int, TRtfFont> fonts_;
    int fontNumber_ = -1;
    TRtfFont font_;
    std::u32string fontName_;

    // Colour table; an empty entry stands for the automatic colour.
    std::vector<std::optional<TRtfColor>> colors_;
    TRtfColor color_;
    bool colorGiven_ = false;
};
