#pragma once

#include "richtext/core/TRtfCodePage.h"
#include "richtext/core/TRtfDocument.h"
#include "richtext/core/TRtfTokenizer.h"

#include <map>
#include <optional>
#include <string_view>
#include <vector>

// Reads RTF into the document model: the stored form written by TRtfWriter and the RTF
// of other word processors (text, fonts, sizes, styles, colours, alignment, indents,
// spacing, line height, page breaks, tab stops, pictures, table rows as tabbed lines,
// text in the code page of its font or document, "\u" characters). Destinations that are
// not shown (field instructions, headers, footers, footnotes, style sheets, document
// information, unknown "\*" groups) are skipped. Damaged or unknown input never fails:
// whatever could be read is returned.
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
        dPicture,
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
        int codePage = TRtfCodePage::kAnsi; // of the current font
        bool inTable = false;               // "\intbl"
    };

    struct FontEntry {
        TRtfFont font;
        int codePage = 0; // "\cpg"; 0: by the character set
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
    void FlushPendingBytes();
    int TextCodePage() const;
    int CodePageOfFont(int number) const;
    bool HandlePictureWord(const std::string& word, bool hasParameter, int parameter);
    void HandlePictureByte(unsigned char byte);
    void FinishPicture();
    void StartInsertPoint(int tag);
    void AppendCharacter(char32_t ch);
    void AppendToParagraph(char32_t ch);
    void AppendFontNameCharacter(char32_t ch);
    void HandleColorTableText(unsigned char byte);
    void CommitFont();
    void EndParagraph(const TRtfParagraphFormat* format = nullptr);
    void EndRow();
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

    // Text bytes waiting to be decoded together (the two bytes of a double-byte code).
    TRtfCodePage codePages_;
    std::string pendingBytes_;
    int pendingCodePage_ = TRtfCodePage::kAnsi;
    int ansiCodePage_ = TRtfCodePage::kAnsi;

    // Font table.
    int defaultFontNumber_ = 0;
    std::map<int, FontEntry> fonts_;
    int fontNumber_ = -1;
    TRtfFont font_;
    int fontCodePage_ = 0;
    std::u32string fontName_;

    // Picture being read, its hex digit waiting for a partner, and the table row's cells.
    TRtfPicture picture_;
    int pictureNibble_ = -1;
    std::vector<int> rowCells_;

    // Colour table; an empty entry stands for the automatic colour.
    std::vector<std::optional<TRtfColor>> colors_;
    TRtfColor color_;
    bool colorGiven_ = false;
};
