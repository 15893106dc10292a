#include "richtext/TQpRichText.h"

#include "richtext/TInsertPointObject.h"
#include "richtext/TPageRenderer.h"
#include "richtext/TRichDocumentBridge.h"
#include "richtext/TRichTextProperties.h"
#include "richtext/core/TRtfReader.h"
#include "richtext/core/TRtfWriter.h"

#include <QAbstractTextDocumentLayout>
#include <QFile>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QShowEvent>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>

#include <vector>

namespace {

using namespace richtext;

struct InsertPointSpan {
    int tag = 0;
    int textStart = 0;
    int textEnd = 0;
    QTextCharFormat format;
};

// Every insert point that has its marker, in text order.
std::vector<InsertPointSpan> FindInsertPoints(const QTextDocument* document) {
    std::vector<InsertPointSpan> spans;
    bool open = false;
    int openId = 0;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        open = false;
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const QTextCharFormat format = fragment.charFormat();
            const int tag = format.intProperty(ptInsertPointTag);
            const int id = format.intProperty(ptInsertPointId);
            if (format.objectType() == kInsertPointObjectType && tag > 0) {
                // A fragment may hold several markers of copied insert points.
                for (int i = 0; i < fragment.length(); ++i) {
                    QTextCharFormat text = format;
                    text.setObjectType(QTextFormat::NoObject);
                    const int after = fragment.position() + i + 1;
                    spans.push_back({tag, after, after, text});
                }
                open = true;
                openId = id;
                continue;
            }
            if (open && tag > 0 && id == openId && spans.back().textEnd == fragment.position()) {
                if (spans.back().textStart == spans.back().textEnd) {
                    spans.back().format = format;
                }
                spans.back().textEnd = fragment.position() + fragment.length();
            } else {
                open = false;
            }
        }
    }
    return spans;
}

bool IsWordCharacter(QChar ch) {
    return ch.isLetter();
}

QString TextWithoutMarkers(const QTextDocument* document) {
    QString text = document->toPlainText();
    text.remove(QChar::ObjectReplacementCharacter);
    return text;
}

} // namespace

TQpRichText::TQpRichText(QWidget* parent)
    : QTextEdit(parent), layoutDevice_(1, 1, QImage::Format_RGB32) {
    setTabChangesFocus(false);
    document()->setDefaultFont(QFont("Arial", 10));
    // Glyphs advance by the font's design widths at every zoom, so lines break after the
    // same words on the screen and on the fax page.
    document()->setUseDesignMetrics(true);
    TInsertPointObject::RegisterWith(document());
    connect(document(), &QTextDocument::contentsChanged, this, &TQpRichText::InvalidateRenderer);
    document()->documentLayout()->setPaintDevice(&layoutDevice_);
    ApplyZoom();
}

TQpRichText::~TQpRichText() = default;

// --- Document ---------------------------------------------------------------------

void TQpRichText::Clear() {
    const QTextCharFormat typing = currentCharFormat();
    TRtfDocument empty;
    empty.pageGiven = false;
    empty.defaultFont = TRichDocumentBridge::ModelFont(document()->defaultFont().family());
    empty.paragraphs.emplace_back();
    SetModel(empty);
    setCurrentCharFormat(typing);
    ResetWordScan();
}

bool TQpRichText::LoadFromFile(const QString& fileName) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        Clear();
        return false;
    }
    SetRtf(file.readAll());
    return true;
}

bool TQpRichText::SaveToFile(const QString& fileName) const {
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return false;
    }
    const QByteArray rtf = Rtf();
    return file.write(rtf) == rtf.size() && file.flush();
}

QByteArray TQpRichText::Rtf() const {
    const std::string rtf = TRtfWriter::Write(Model());
    return QByteArray(rtf.data(), static_cast<qsizetype>(rtf.size()));
}

void TQpRichText::SetRtf(const QByteArray& rtf) {
    SetModel(TRtfReader::Read(std::string_view(rtf.constData(), rtf.size())));
}

TRtfDocument TQpRichText::Model() const {
    TRtfDocument model = TRichDocumentBridge::FromQt(document());
    model.page = page_;
    model.pageGiven = true;
    return model;
}

void TQpRichText::SetModel(const TRtfDocument& model) {
    TRichDocumentBridge::ToQt(model, document(), ViewPixelsPerTwip());
    if (model.pageGiven) {
        page_ = model.page;
    }
    ApplyZoom();
    moveCursor(QTextCursor::Start);
    ResetWordScan();
}

void TQpRichText::Reformat() {
    document()->markContentsDirty(0, document()->characterCount());
    viewport()->update();
}

void TQpRichText::Repaint() {
    viewport()->update();
}

// --- Contents ---------------------------------------------------------------------

bool TQpRichText::IsEmpty() const {
    return document()->isEmpty();
}

int TQpRichText::CharCount() const {
    return static_cast<int>(TextWithoutMarkers(document()).size());
}

int TQpRichText::LineCount() const {
    return static_cast<int>(TextWithoutMarkers(document()).count(QChar('\n')) + 1);
}

QString TQpRichText::LineText(int index) const {
    return TextWithoutMarkers(document()).section(QChar('\n'), index, index);
}

// --- Attributes -------------------------------------------------------------------

QString TQpRichText::FontName() const {
    const QStringList families = currentCharFormat().fontFamilies().toStringList();
    return families.isEmpty() ? document()->defaultFont().family() : families.front();
}

void TQpRichText::SetFontName(const QString& name) {
    QTextCharFormat format;
    format.setFontFamilies(QStringList{name});
    format.setProperty(ptFontFamilyWord, static_cast<int>(TRichDocumentBridge::FamilyOf(name)));
    format.setProperty(ptFontCharset, TRichDocumentBridge::CharsetOf(name));
    MergeFormat(format);
}

int TQpRichText::FontSize() const {
    const qreal size = currentCharFormat().fontPointSize();
    return size > 0 ? qRound(size) : 10;
}

void TQpRichText::SetFontSize(int points) {
    QTextCharFormat format;
    format.setFontPointSize(qBound(1, points, 1638));
    MergeFormat(format);
}

bool TQpRichText::Bold() const {
    return currentCharFormat().fontWeight() >= QFont::Bold;
}

void TQpRichText::SetBold(bool on) {
    QTextCharFormat format;
    format.setFontWeight(on ? QFont::Bold : QFont::Normal);
    MergeFormat(format);
}

bool TQpRichText::Italic() const {
    return currentCharFormat().fontItalic();
}

void TQpRichText::SetItalic(bool on) {
    QTextCharFormat format;
    format.setFontItalic(on);
    MergeFormat(format);
}

bool TQpRichText::Underline() const {
    return currentCharFormat().fontUnderline();
}

void TQpRichText::SetUnderline(bool on) {
    QTextCharFormat format;
    format.setFontUnderline(on);
    format.setProperty(ptDoubleUnderline, false);
    MergeFormat(format);
}

void TQpRichText::SetNormal() {
    QTextCharFormat format;
    format.setFontWeight(QFont::Normal);
    format.setFontItalic(false);
    format.setFontUnderline(false);
    format.setProperty(ptDoubleUnderline, false);
    MergeFormat(format);
}

void TQpRichText::SetAlignment(Qt::Alignment alignment) {
    setAlignment(alignment);
}

void TQpRichText::MergeFormat(const QTextCharFormat& format) {
    mergeCurrentCharFormat(format);
}

// --- View -------------------------------------------------------------------------

qreal TQpRichText::ScreenDpi() const {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? qRound(screen->logicalDotsPerInchY()) : 96;
}

int TQpRichText::LayoutDpi() const {
    return qRound(ScreenDpi() * zoom_ / 100.0);
}

qreal TQpRichText::PixelsPerTwip() const {
    return LayoutDpi() / 1440.0;
}

qreal TQpRichText::ViewPixelsPerTwip() const {
    return TRichDocumentBridge::PixelsPerTwip(document());
}

void TQpRichText::SetZoom(int percent) {
    percent = qBound(10, percent, 1000);
    if (percent == zoom_) {
        return;
    }
    zoom_ = percent;
    ApplyZoom();
}

void TQpRichText::ApplyZoom() {
    // A hidden editor (such as those that only lay out fax pages) takes its new scale when
    // it is shown; its text and twips do not depend on it.
    if (!isVisible()) {
        zoomPending_ = true;
        ApplyWordWrap();
        return;
    }
    zoomPending_ = false;
    const int dotsPerMeter = qRound(LayoutDpi() / 0.0254);
    layoutDevice_.setDotsPerMeterX(dotsPerMeter);
    layoutDevice_.setDotsPerMeterY(dotsPerMeter);
    document()->documentLayout()->setPaintDevice(&layoutDevice_);
    TRichDocumentBridge::ApplyPixelsPerTwip(document(), PixelsPerTwip());
    ApplyWordWrap();
    Reformat();
}

void TQpRichText::showEvent(QShowEvent* event) {
    if (zoomPending_) {
        ApplyZoom();
    }
    QTextEdit::showEvent(event);
}

void TQpRichText::SetWordWrap(bool on) {
    wordWrap_ = on;
    ApplyWordWrap();
}

void TQpRichText::ApplyWordWrap() {
    if (wordWrap_) {
        setLineWrapMode(QTextEdit::FixedPixelWidth);
        setLineWrapColumnOrWidth(TextWidthPixels(ViewPixelsPerTwip()) +
                                 qRound(2 * document()->documentMargin()));
    } else {
        setLineWrapMode(QTextEdit::NoWrap);
    }
}

int TQpRichText::TextWidthTwips() const {
    return qMax(144, page_.paperWidth - page_.marginLeft - page_.marginRight);
}

int TQpRichText::TextWidthPixels(qreal pixelsPerTwip) const {
    return qRound(TextWidthTwips() * pixelsPerTwip);
}

// --- Page layout ------------------------------------------------------------------

void TQpRichText::SetPageLayout(const TRtfPageLayout& page) {
    page_ = page;
    ApplyWordWrap();
    InvalidateRenderer();
}

void TQpRichText::SetPageSize(int widthTwips, int heightTwips) {
    TRtfPageLayout page = page_;
    page.paperWidth = widthTwips;
    page.paperHeight = heightTwips;
    SetPageLayout(page);
}

void TQpRichText::SetMargins(int left, int right, int top, int bottom) {
    TRtfPageLayout page = page_;
    page.marginLeft = left;
    page.marginRight = right;
    page.marginTop = top;
    page.marginBottom = bottom;
    SetPageLayout(page);
}

int TQpRichText::RenderPage(QPainter& canvas, int start, const QRect& rect) {
    // The page is laid out as the editor lays the text out at 100 %: at the screen's
    // resolution and the page's text width, so its lines break after the same words as
    // on the screen; it is painted scaled to the zoom. A rectangle narrower than the
    // page's text breaks the lines at its own width.
    const int layoutDpi = qRound(ScreenDpi());
    const qreal scale = LayoutDpi() / ScreenDpi();
    const int width = qMin(qFloor(rect.width() / scale), TextWidthPixels(layoutDpi / 1440.0));
    if (!renderer_ || rendererZoom_ != zoom_ || rendererWidth_ != width ||
        rendererOptions_ != renderOptions_) {
        renderer_ = std::make_unique<TPageRenderer>(*document(), layoutDpi, LayoutDpi(), width,
                                                    renderOptions_);
        rendererZoom_ = zoom_;
        rendererWidth_ = width;
        rendererOptions_ = renderOptions_;
    }
    return renderer_->RenderPage(canvas, start, rect);
}

void TQpRichText::InvalidateRenderer() {
    renderer_.reset();
}

// --- Editing aids -----------------------------------------------------------------

void TQpRichText::InsertPageBreak() {
    QTextCursor cursor = textCursor();
    QTextBlockFormat format = cursor.blockFormat();
    format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
    cursor.insertBlock(format, currentCharFormat());
    setTextCursor(cursor);
}

void TQpRichText::keyPressEvent(QKeyEvent* event) {
    const bool newParagraph = (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
                              !(event->modifiers() & Qt::ShiftModifier);
    const int blocksBefore = document()->blockCount();
    QTextEdit::keyPressEvent(event);
    if (!newParagraph || document()->blockCount() <= blocksBefore) {
        return;
    }
    // The new paragraph copies its predecessor's format; a page break stays with the first.
    QTextCursor cursor = textCursor();
    QTextBlockFormat format = cursor.blockFormat();
    if (format.pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore &&
        cursor.block().previous().isValid()) {
        format.setPageBreakPolicy(QTextFormat::PageBreak_Auto);
        cursor.setBlockFormat(format);
    }
}

void TQpRichText::InsertInsertPoint(int tag, const QString& fieldText) {
    if (tag <= 0) {
        return;
    }
    int id = 0;
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            id = qMax(id, it.fragment().charFormat().intProperty(ptInsertPointId));
        }
    }
    const QTextCharFormat typing = currentCharFormat();
    QTextCharFormat text = typing;
    text.setForeground(InsertPointColor());
    text.setProperty(ptInsertPointTag, tag);
    text.setProperty(ptInsertPointId, qMax(id, nextInsertPointId_) + 1);
    nextInsertPointId_ = qMax(id, nextInsertPointId_) + 1;
    QTextCharFormat marker = text;
    marker.setObjectType(kInsertPointObjectType);
    QTextCursor cursor = textCursor();
    cursor.beginEditBlock();
    cursor.insertText(QString(QChar::ObjectReplacementCharacter), marker);
    cursor.insertText(fieldText, text);
    cursor.endEditBlock();
    setTextCursor(cursor);
    setCurrentCharFormat(typing);
}

int TQpRichText::InsertPointCount() const {
    return static_cast<int>(FindInsertPoints(document()).size());
}

void TQpRichText::MergeInsertPoints() {
    if (!GetTextToInsert) {
        return;
    }
    const std::vector<InsertPointSpan> spans = FindInsertPoints(document());
    QTextCursor cursor(document());
    cursor.beginEditBlock();
    for (auto span = spans.rbegin(); span != spans.rend(); ++span) {
        const std::optional<QString> answer = GetTextToInsert(span->tag);
        if (!answer) {
            continue;
        }
        cursor.setPosition(span->textStart);
        cursor.setPosition(span->textEnd, QTextCursor::KeepAnchor);
        cursor.insertText(*answer, span->format);
    }
    cursor.endEditBlock();
}

bool TQpRichText::InsertPointMarkersHidden() const {
    return document()->property(kMarkersHiddenProperty).toBool();
}

void TQpRichText::SetInsertPointMarkersHidden(bool hidden) {
    document()->setProperty(kMarkersHiddenProperty, hidden);
    InvalidateRenderer();
    Reformat();
}

bool TQpRichText::IsInsertPointAt(int position) const {
    QTextCursor cursor(document());
    cursor.setPosition(position + 1);
    return cursor.charFormat().intProperty(ptInsertPointTag) > 0;
}

void TQpRichText::ResetWordScan() {
    scanPosition_ = 0;
    scanWord_ = QTextCursor();
}

QString TQpRichText::NextWord() {
    const QTextDocument* doc = document();
    const int end = doc->characterCount() - 1;
    int position = scanPosition_;
    while (position < end) {
        if (!IsWordCharacter(doc->characterAt(position))) {
            ++position;
            continue;
        }
        const int start = position;
        while (position < end &&
               (IsWordCharacter(doc->characterAt(position)) ||
                (doc->characterAt(position) == QChar('\'') && position + 1 < end &&
                 IsWordCharacter(doc->characterAt(position + 1))))) {
            ++position;
        }
        if (IsInsertPointAt(start)) {
            continue; // field texts are not spelled
        }
        scanPosition_ = position;
        scanWord_ = QTextCursor(document());
        scanWord_.setPosition(start);
        scanWord_.setPosition(position, QTextCursor::KeepAnchor);
        return scanWord_.selectedText();
    }
    scanPosition_ = qMax(end, 0);
    scanWord_ = QTextCursor();
    return QString();
}

void TQpRichText::HighlightWord() {
    if (scanWord_.isNull() || !scanWord_.hasSelection()) {
        return;
    }
    QTextEdit::ExtraSelection highlight;
    highlight.cursor = scanWord_;
    highlight.format.setBackground(Qt::yellow);
    setExtraSelections({highlight});
    setTextCursor(scanWord_);
    ensureCursorVisible();
}

void TQpRichText::ReplaceWord(const QString& text) {
    if (scanWord_.isNull() || !scanWord_.hasSelection()) {
        return;
    }
    QTextCursor first(document());
    first.setPosition(scanWord_.selectionStart() + 1);
    const QTextCharFormat format = first.charFormat();
    const int start = scanWord_.selectionStart();
    scanWord_.insertText(text, format);
    scanPosition_ = start + static_cast<int>(text.size());
    scanWord_.setPosition(start);
    scanWord_.setPosition(scanPosition_, QTextCursor::KeepAnchor);
}

void TQpRichText::RemoveHighlight() {
    setExtraSelections({});
    QTextCursor cursor = textCursor();
    cursor.clearSelection();
    setTextCursor(cursor);
}

TRtfParagraphFormat TQpRichText::CurrentParagraph() const {
    return TRichDocumentBridge::ParagraphFormat(textCursor().blockFormat(), ViewPixelsPerTwip());
}

int TQpRichText::FirstIndent() const {
    const TRtfParagraphFormat format = CurrentParagraph();
    return format.leftIndent + format.firstIndent;
}

int TQpRichText::LeftIndent() const {
    return CurrentParagraph().leftIndent;
}
int TQpRichText::RightIndent() const {
    return CurrentParagraph().rightIndent;
}
int TQpRichText::SpaceBefore() const {
    return CurrentParagraph().spaceBefore;
}
int TQpRichText::SpaceAfter() const {
    return CurrentParagraph().spaceAfter;
}

int TQpRichText::LineHeight() const {
    const TRtfParagraphFormat format = CurrentParagraph();
    return format.lineMultiple ? 0 : format.lineSpacing;
}

void TQpRichText::SetParagraphSpacing(int spaceBefore, int lineHeight, int spaceAfter) {
    ChangeSelectedParagraphs([&](TRtfParagraphFormat& format) {
        format.spaceBefore = qMax(0, spaceBefore);
        format.lineSpacing = lineHeight;
        format.lineMultiple = false;
        format.spaceAfter = qMax(0, spaceAfter);
    });
}

void TQpRichText::SetParagraphIndents(int firstIndent, int leftIndent, int rightIndent) {
    ChangeSelectedParagraphs([&](TRtfParagraphFormat& format) {
        format.leftIndent = leftIndent;
        format.rightIndent = rightIndent;
        format.firstIndent = firstIndent - leftIndent;
    });
}

void TQpRichText::ChangeSelectedParagraphs(
    const std::function<void(TRtfParagraphFormat&)>& change) {
    const QTextCursor selection = textCursor();
    QTextBlock block = document()->findBlock(selection.selectionStart());
    const QTextBlock last = document()->findBlock(selection.selectionEnd());
    QTextCursor cursor(document());
    cursor.beginEditBlock();
    const qreal pixelsPerTwip = ViewPixelsPerTwip();
    for (; block.isValid(); block = block.next()) {
        QTextBlockFormat format = block.blockFormat();
        TRtfParagraphFormat paragraph = TRichDocumentBridge::ParagraphFormat(format, pixelsPerTwip);
        change(paragraph);
        TRichDocumentBridge::SetParagraphFormat(format, paragraph, pixelsPerTwip);
        cursor.setPosition(block.position());
        cursor.setBlockFormat(format);
        if (block == last) {
            break;
        }
    }
    cursor.endEditBlock();
}

void TQpRichText::RequestSpellCheck() {
    if (OnSpellCheckRequest) {
        OnSpellCheckRequest();
    }
}

// --- Painting ---------------------------------------------------------------------

void TQpRichText::paintEvent(QPaintEvent* event) {
    QTextEdit::paintEvent(event);
    DrawPageBreaks();
}

// A dashed line above every paragraph that starts a new page (screen only).
void TQpRichText::DrawPageBreaks() {
    QPainter painter(viewport());
    painter.setPen(QPen(Qt::gray, 1, Qt::DashLine));
    const int dx = horizontalScrollBar()->value();
    const int dy = verticalScrollBar()->value();
    for (QTextBlock block = document()->begin().next(); block.isValid(); block = block.next()) {
        if (!(block.blockFormat().pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore)) {
            continue;
        }
        const QRectF bounds = document()->documentLayout()->blockBoundingRect(block);
        const int y = qRound(bounds.top()) - dy;
        if (y >= 0 && y <= viewport()->height()) {
            painter.drawLine(0, y, qRound(document()->textWidth()) - dx, y);
        }
    }
}
