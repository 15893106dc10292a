#pragma once

#include "richtext/core/TRtfDocument.h"

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QTextCursor>
#include <QTextEdit>

#include <functional>
#include <memory>
#include <optional>

class QPainter;
class TPageRenderer;

// The rich text editor control: edits, loads, saves, lays out and paints cover sheets,
// templates and fax documents. RTF goes through the program's own reader and writer
// (stored form of the memo fields). Lengths are in twips, font sizes in points.
class TQpRichText : public QTextEdit {
    Q_OBJECT

public:
    // Rendering option of RenderPage: a fax page (black on white, no markers).
    static constexpr int roFaxPage = 32;

    explicit TQpRichText(QWidget* parent = nullptr);
    ~TQpRichText() override;

    // --- Document -------------------------------------------------------------------
    void Clear();
    // Loads an RTF file; false (and an empty editor) when the file cannot be read.
    bool LoadFromFile(const QString& fileName);
    // Saves the document as RTF; false when the file cannot be written.
    bool SaveToFile(const QString& fileName) const;
    QByteArray Rtf() const;
    void SetRtf(const QByteArray& rtf);
    TRtfDocument Model() const;
    void SetModel(const TRtfDocument& model);
    // Lays the text out again and repaints it.
    void Reformat();
    void Repaint();

    // --- Contents -------------------------------------------------------------------
    bool IsEmpty() const;
    int CharCount() const; // characters of the text, paragraph ends counted as one
    int LineCount() const; // lines: paragraphs and line breaks
    QString LineText(int index) const;

    // --- Attributes of newly typed text (and of the selection) --------------------------
    QString FontName() const;
    void SetFontName(const QString& name);
    int FontSize() const;
    void SetFontSize(int points);
    bool Bold() const;
    void SetBold(bool on);
    bool Italic() const;
    void SetItalic(bool on);
    bool Underline() const;
    void SetUnderline(bool on);
    // Plain text: bold, italic and underline off.
    void SetNormal();
    void SetAlignment(Qt::Alignment alignment);

    // --- View -----------------------------------------------------------------------
    int Zoom() const { return zoom_; }
    void SetZoom(int percent); // the view is scaled; the document does not change
    bool WordWrap() const { return wordWrap_; }
    void SetWordWrap(bool on); // lines wrap at the page's text width when on

    // --- Page layout (twips) --------------------------------------------------------
    const TRtfPageLayout& PageLayout() const { return page_; }
    void SetPageLayout(const TRtfPageLayout& page);
    void SetPageSize(int widthTwips, int heightTwips);
    void SetMargins(int left, int right, int top, int bottom);

    // --- Laying out pages -----------------------------------------------------------
    int RenderOptions() const { return renderOptions_; }
    void SetRenderOptions(int options) { renderOptions_ = options; }
    // Paints the text from position `start` that fits into `rect` of `canvas`, at the
    // editor's zoom of the screen resolution, and returns where the next page starts
    // (0 when the text is finished). Lines break where the editor breaks them at 100 %:
    // at the page's text width (or the rectangle's width, when that is narrower).
    int RenderPage(QPainter& canvas, int start, const QRect& rect);

    // --- Editing aids ---------------------------------------------------------------
    // Inserts, at the caret, a paragraph break whose paragraph starts a new page.
    void InsertPageBreak();
    // Inserts a picture at the caret, stored with the text as PNG; shown at its size on a
    // 96 dpi screen, or at the page's text width when it is wider.
    void InsertPicture(const QImage& image);
    // Inserts RTF (of any word processor) at the caret, replacing the selection.
    void InsertRtf(const QByteArray& rtf);

    // The clipboard format that carries the program's RTF between its editors.
    static constexpr const char* kRtfMimeType = "application/x-quillpost-rtf";

    // Insert points: a marker with a tag above 0 followed by its field text, shown red.
    void InsertInsertPoint(int tag, const QString& fieldText);
    int InsertPointCount() const;
    // Replaces the field text of every insert point by GetTextToInsert's answer for its
    // tag; insert points without an answer stay as they are.
    void MergeInsertPoints();
    bool InsertPointMarkersHidden() const;
    void SetInsertPointMarkersHidden(bool hidden);
    // Asked for the text of an insert point's tag; no answer leaves it unchanged.
    std::function<std::optional<QString>(int tag)> GetTextToInsert;

    // Word scan for spell checking.
    void ResetWordScan();
    QString NextWord(); // empty at the end of the text
    void HighlightWord();
    void ReplaceWord(const QString& text);
    void RemoveHighlight();

    // Paragraph values of the current paragraph in twips. The first-line indent is
    // measured like the left indent (from the left margin), not relative to it.
    int FirstIndent() const;
    int LeftIndent() const;
    int RightIndent() const;
    int SpaceBefore() const;
    int SpaceAfter() const;
    // 0: automatic; above 0: at least that much; below 0: exactly that much; with
    // proportional spacing the twips of a line in 240ths (360: one and a half lines),
    // which SetParagraphSpacing keeps proportional when it gets the same value back.
    int LineHeight() const;
    // Set on the current paragraph or on every selected paragraph.
    void SetParagraphSpacing(int spaceBefore, int lineHeight, int spaceAfter);
    void SetParagraphIndents(int firstIndent, int leftIndent, int rightIndent);

    // Raised by the toolbar's spell button.
    std::function<void()> OnSpellCheckRequest;
    void RequestSpellCheck();

    // Colour of insert points on screen.
    static QColor InsertPointColor() { return Qt::red; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    // The clipboard: the program's RTF (insert points, pictures) for its own editors and
    // word processors, plain text for every other program; whatever is pasted goes
    // through the document model, so the editor shows exactly what is saved.
    QMimeData* createMimeDataFromSelection() const override;
    bool canInsertFromMimeData(const QMimeData* source) const override;
    void insertFromMimeData(const QMimeData* source) override;
    void showEvent(QShowEvent* event) override;

private:
    // Ctrl+Tab, Shift+Tab and Ctrl+Shift+Tab: the keys that leave the text.
    static bool MovesFocusOut(const QKeyEvent& event);
    qreal ScreenDpi() const;
    // The dots per inch the text is laid out with at the current zoom: a whole number, as
    // the resolution of every paint device is.
    int LayoutDpi() const;
    qreal PixelsPerTwip() const;     // for the editor's zoom
    qreal ViewPixelsPerTwip() const; // the scale the document is laid out with now
    void ApplyZoom();
    void SetLayoutResolution();
    static void PrepareDocument(QTextDocument* document, bool wrapAnywhere);
    static bool HasRunawayWord(const TRtfDocument& model);
    void AdoptDocument(QTextDocument* built);
    void ApplyWordWrap();
    int TextWidthTwips() const;
    int TextWidthPixels(qreal pixelsPerTwip) const;
    TRtfParagraphFormat CurrentParagraph() const;
    void ChangeSelectedParagraphs(const std::function<void(TRtfParagraphFormat&)>& change);
    void MergeFormat(const QTextCharFormat& format);
    void InvalidateRenderer();
    void DrawPageBreaks();
    bool IsInsertPointAt(int position) const;
    QTextCharFormat FormatOfCharacter(int position) const;
    bool IsInsideInsertPoint(const QTextCursor& cursor) const;
    int InsertPointStart(const QTextCursor& cursor) const;
    void KeepTypingOutsideInsertPoints();
    void ContinueNewParagraph(const QTextCharFormat& typing);
    void InsertModel(TRtfDocument model);
    QTextCharFormat TypingFormat();

    int zoom_ = 100;
    bool wordWrap_ = true;
    int renderOptions_ = 0;
    TRtfPageLayout page_;
    QImage layoutDevice_; // gives the view its dots per inch (screen x zoom)
    std::unique_ptr<TPageRenderer> renderer_;
    int rendererZoom_ = 0;
    int rendererWidth_ = 0;
    int rendererOptions_ = -1;
    int scanPosition_ = 0;
    QTextCursor scanWord_;
    int nextInsertPointId_ = 1;
    bool zoomPending_ = false;
};
