#include "richtext/TQpRichText.h"

#include "richtext/TInsertPointObject.h"
#include "richtext/TPageRenderer.h"
#include "richtext/TPictureObject.h"
#include "richtext/TRichDocumentBridge.h"
#include "richtext/TRichTextProperties.h"
#include "richtext/core/TRtfReader.h"
#include "richtext/core/TRtfWriter.h"

#include <QAbstractTextDocumentLayout>
#include <QFile>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMimeData>
#include <QShowEvent>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextDocumentFragment>

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

// The text with paragraphs and line breaks as '\n', without insert point markers; a
// picture stands as U+FFFC, so a line holding only a picture is not blank.
QString TextWithoutMarkers(const QTextDocument* document) {
    QString text;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        if (block != document->begin()) {
            text += QChar('\n');
        }
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (fragment.charFormat().objectType() != kInsertPointObjectType) {
                text += fragment.text();
            }
        }
    }
    text.replace(QChar::LineSeparator, QChar('\n'));
    return text;
}

} // namespace

TQpRichText::TQpRichText(QWidget* parent)
    : QTextEdit(parent), layoutDevice_(1, 1, QImage::Format_RGB32) {
    setTabChangesFocus(false);
    document()->setDefaultFont(QFont("Arial", 10));
    PrepareDocument(document(), false);
    TInsertPointObject::RegisterWith(document());
    TPictureObject::RegisterWith(document());
    connect(document(), &QTextDocument::contentsChanged, this, &TQpRichText::InvalidateRenderer);
    connect(this, &QTextEdit::cursorPositionChanged, this,
            &TQpRichText::KeepTypingOutsideInsertPoints);
    SetLayoutResolution();
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

// The text is built in a document of its own, which the editor then takes: Qt lays it
// out once, when it is taken, instead of after every step of building it.
void TQpRichText::SetModel(const TRtfDocument& model) {
    if (model.pageGiven) {
        page_ = model.page;
    }
    auto* built = new QTextDocument(this);
    built->setDocumentMargin(document()->documentMargin());
    PrepareDocument(built, HasRunawayWord(model));
    TRichDocumentBridge::ToQt(model, built, PixelsPerTwip());
    AdoptDocument(built);
    moveCursor(QTextCursor::Start);
    ResetWordScan();
}

// Settings every document of the editor has: glyphs advance by the font's design widths
// at every zoom, so lines break after the same words on the screen and on the fax page;
// text with a word of thousands of characters (data, not prose) wraps anywhere, because
// Qt breaks such a word anew for every line it fills, in time that grows with the
// square of its length.
void TQpRichText::PrepareDocument(QTextDocument* document, bool wrapAnywhere) {
    document->setUseDesignMetrics(true);
    QTextOption option = document->defaultTextOption();
    option.setWrapMode(wrapAnywhere ? QTextOption::WrapAnywhere
                                    : QTextOption::WrapAtWordBoundaryOrAnywhere);
    document->setDefaultTextOption(option);
}

bool TQpRichText::HasRunawayWord(const TRtfDocument& model) {
    constexpr size_t kLongestWord = 2000;
    for (const TRtfParagraph& paragraph : model.paragraphs) {
        size_t length = 0;
        for (const TRtfRun& run : paragraph.runs) {
            for (char32_t ch : run.text) {
                length = ch == U' ' || ch == U'\t' || ch == U'\n' ? 0 : length + 1;
                if (length > kLongestWord) {
                    return true;
                }
            }
        }
    }
    return false;
}

// Makes `built` (laid out for the current zoom) the editor's document; the previous one
// goes away.
void TQpRichText::AdoptDocument(QTextDocument* built) {
    QTextDocument* previous = document();
    // Qt deletes the first document itself when it is replaced; the ones built here are
    // the editor's children and are deleted below.
    const bool builtHere = previous->parent() == this;
    SetLayoutResolution();
    built->documentLayout()->setPaintDevice(&layoutDevice_);
    TInsertPointObject::RegisterWith(built);
    TPictureObject::RegisterWith(built);
    connect(built, &QTextDocument::contentsChanged, this, &TQpRichText::InvalidateRenderer);
    zoomPending_ = false;
    // The width and wrap mode the document is laid out with when it is taken (the editor
    // hands its own wrap mode to every document it takes).
    ApplyWordWrap();
    const QTextOption::WrapMode wrap = built->defaultTextOption().wrapMode();
    if (wordWrapMode() != wrap) {
        setWordWrapMode(wrap);
    }
    setDocument(built);
    if (builtHere) {
        delete previous;
    }
    InvalidateRenderer();
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

// Attributes set in an empty paragraph belong to the paragraph too: it keeps them when
// the caret leaves and comes back, and they are stored with it.
void TQpRichText::MergeFormat(const QTextCharFormat& format) {
    KeepTypingOutsideInsertPoints();
    QTextCursor cursor = textCursor();
    if (!cursor.hasSelection() && cursor.block().length() == 1) {
        cursor.mergeBlockCharFormat(format);
    }
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
    SetLayoutResolution();
    document()->documentLayout()->setPaintDevice(&layoutDevice_);
    TRichDocumentBridge::ApplyPixelsPerTwip(document(), PixelsPerTwip());
    ApplyWordWrap();
    Reformat();
}

void TQpRichText::SetLayoutResolution() {
    const int dotsPerMeter = qRound(LayoutDpi() / 0.0254);
    layoutDevice_.setDotsPerMeterX(dotsPerMeter);
    layoutDevice_.setDotsPerMeterY(dotsPerMeter);
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
        const int width =
            TextWidthPixels(ViewPixelsPerTwip()) + qRound(2 * document()->documentMargin());
        if (lineWrapMode() != QTextEdit::FixedPixelWidth) {
            setLineWrapMode(QTextEdit::FixedPixelWidth);
        }
        if (lineWrapColumnOrWidth() != width) {
            setLineWrapColumnOrWidth(width);
        }
    } else if (lineWrapMode() != QTextEdit::NoWrap) {
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
    KeepTypingOutsideInsertPoints();
    QTextCursor cursor = textCursor();
    QTextBlockFormat format = cursor.blockFormat();
    format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
    cursor.insertBlock(format, currentCharFormat());
    setTextCursor(cursor);
}

void TQpRichText::InsertPicture(const QImage& image) {
    if (image.isNull()) {
        return;
    }
    TRtfPicture picture = TPictureObject::FromImage(image);
    const int width = TextWidthTwips();
    if (picture.goalWidth > width) {
        picture.goalHeight =
            static_cast<int>(qint64(picture.goalHeight) * width / picture.goalWidth);
        picture.goalWidth = width;
    }
    TRtfDocument model;
    TRtfParagraph paragraph;
    paragraph.runs.push_back({TRichDocumentBridge::ModelCharFormat(TypingFormat(), {}),
                              {},
                              0,
                              std::make_shared<const TRtfPicture>(std::move(picture))});
    model.paragraphs.push_back(std::move(paragraph));
    InsertModel(std::move(model));
}

void TQpRichText::InsertRtf(const QByteArray& rtf) {
    InsertModel(TRtfReader::Read(std::string_view(rtf.constData(), rtf.size())));
}

// Inserts the model's paragraphs at the caret: the first one's text into the caret's
// paragraph, the others as paragraphs of their own. Its insert points are numbered after
// those of the document, so neighbours stay apart.
void TQpRichText::InsertModel(TRtfDocument model) {
    if (model.paragraphs.empty()) {
        return;
    }
    int id = nextInsertPointId_;
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            id = qMax(id, it.fragment().charFormat().intProperty(ptInsertPointId));
        }
    }
    int highest = id;
    for (TRtfParagraph& paragraph : model.paragraphs) {
        for (TRtfRun& run : paragraph.runs) {
            if (run.insertPointId > 0) {
                run.insertPointId += id;
                highest = qMax(highest, run.insertPointId);
            }
        }
    }
    nextInsertPointId_ = highest + 1;
    KeepTypingOutsideInsertPoints();
    QTextCursor cursor = textCursor();
    cursor.beginEditBlock();
    cursor.removeSelectedText();
    TRichDocumentBridge::InsertParagraphs(cursor, model.paragraphs, ViewPixelsPerTwip(), false);
    cursor.endEditBlock();
    setTextCursor(cursor);
    KeepTypingOutsideInsertPoints();
}

QMimeData* TQpRichText::createMimeDataFromSelection() const {
    auto* mime = new QMimeData;
    const QTextCursor selection = textCursor();
    if (!selection.hasSelection()) {
        return mime;
    }
    QTextDocument copy;
    copy.setDefaultFont(document()->defaultFont());
    for (const char* property :
         {kPixelsPerTwipProperty, kDefaultFontFamilyWordProperty, kDefaultFontCharsetProperty}) {
        copy.setProperty(property, document()->property(property));
    }
    QTextCursor(&copy).insertFragment(selection.selection());
    TRtfDocument model = TRichDocumentBridge::FromQt(&copy, TextWidthTwips());
    model.page = page_;
    model.pageGiven = true;
    const std::string rtf = TRtfWriter::Write(model);
    const QByteArray bytes(rtf.data(), qsizetype(rtf.size()));
    mime->setData(kRtfMimeType, bytes);
    mime->setData("text/rtf", bytes);
    QString text = TextWithoutMarkers(&copy);
    text.remove(QChar::ObjectReplacementCharacter);
    mime->setText(text);
    return mime;
}

bool TQpRichText::canInsertFromMimeData(const QMimeData* source) const {
    return source->hasFormat(kRtfMimeType) || source->hasFormat("text/rtf") ||
           source->hasFormat("application/rtf") || source->hasHtml() || source->hasImage() ||
           source->hasText();
}

void TQpRichText::insertFromMimeData(const QMimeData* source) {
    for (const char* type : {kRtfMimeType, "text/rtf", "application/rtf"}) {
        if (source->hasFormat(type)) {
            InsertRtf(source->data(type));
            return;
        }
    }
    if (source->hasHtml()) {
        QTextDocument html;
        html.setDefaultFont(document()->defaultFont());
        html.setHtml(source->html());
        InsertModel(TRichDocumentBridge::FromQt(&html, TextWidthTwips()));
    } else if (source->hasImage()) {
        InsertPicture(qvariant_cast<QImage>(source->imageData()));
    } else if (source->hasText()) {
        KeepTypingOutsideInsertPoints();
        QTextCursor cursor = textCursor();
        cursor.insertText(source->text(), TypingFormat());
        setTextCursor(cursor);
    }
}

QTextCharFormat TQpRichText::TypingFormat() {
    KeepTypingOutsideInsertPoints();
    return textCursor().charFormat();
}

void TQpRichText::keyPressEvent(QKeyEvent* event) {
    if (MovesFocusOut(*event)) {
        // Tab is text here; Ctrl+Tab leaves for the next control, Shift+Tab (with or
        // without Ctrl) for the previous one, as in other editors that take Tab.
        const bool forward =
            event->key() == Qt::Key_Tab && !(event->modifiers() & Qt::ShiftModifier);
        QWidget::focusNextPrevChild(forward);
        event->accept();
        return;
    }
    if (textCursor().hasSelection() && !event->text().isEmpty() && event->text().at(0).isPrint() &&
        !isReadOnly()) {
        // Typed text replaces the selection and then takes the attributes of the caret's
        // place like any typed text.
        QTextCursor cursor = textCursor();
        cursor.removeSelectedText();
        setTextCursor(cursor);
    }
    KeepTypingOutsideInsertPoints();
    const bool newParagraph = (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
                              !(event->modifiers() & Qt::ShiftModifier);
    const QTextCharFormat typing = textCursor().charFormat();
    const int blocksBefore = document()->blockCount();
    QTextEdit::keyPressEvent(event);
    if (newParagraph && document()->blockCount() > blocksBefore) {
        ContinueNewParagraph(typing);
    }
}

bool TQpRichText::MovesFocusOut(const QKeyEvent& event) {
    const Qt::KeyboardModifiers modifiers = event.modifiers() & ~Qt::KeypadModifier;
    if (event.key() == Qt::Key_Backtab) {
        return (modifiers & ~(Qt::ShiftModifier | Qt::ControlModifier)) == Qt::NoModifier;
    }
    if (event.key() == Qt::Key_Tab) {
        return modifiers == Qt::ControlModifier ||
               modifiers == (Qt::ControlModifier | Qt::ShiftModifier) ||
               modifiers == Qt::ShiftModifier;
    }
    return false;
}

void TQpRichText::inputMethodEvent(QInputMethodEvent* event) {
    KeepTypingOutsideInsertPoints();
    QTextEdit::inputMethodEvent(event);
}

// After Enter: the new paragraph copies its predecessor's format except a page break,
// which stays with the first; an empty new paragraph keeps the attributes that were
// being typed with, so they survive any number of empty lines.
void TQpRichText::ContinueNewParagraph(const QTextCharFormat& typing) {
    QTextCursor cursor = textCursor();
    cursor.joinPreviousEditBlock();
    QTextBlockFormat format = cursor.blockFormat();
    if (format.pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore &&
        cursor.block().previous().isValid()) {
        format.setPageBreakPolicy(QTextFormat::PageBreak_Auto);
        cursor.setBlockFormat(format);
    }
    const bool empty = cursor.block().length() == 1;
    if (empty) {
        cursor.setBlockCharFormat(typing);
    }
    cursor.endEditBlock();
    if (empty) {
        setCurrentCharFormat(typing);
    }
}

QTextCharFormat TQpRichText::FormatOfCharacter(int position) const {
    const QTextBlock block = document()->findBlock(position);
    if (!block.isValid() || position < 0 || position >= block.position() + block.length() - 1) {
        return QTextCharFormat(); // a paragraph end, or outside the text
    }
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment fragment = it.fragment();
        if (position < fragment.position() + fragment.length()) {
            return fragment.charFormat();
        }
    }
    return QTextCharFormat();
}

// The caret lies inside an insert point when the characters on both sides belong to the
// same insert point: between its marker and field text or within the field text.
bool TQpRichText::IsInsideInsertPoint(const QTextCursor& cursor) const {
    const int start = cursor.selectionStart();
    const int end = cursor.selectionEnd();
    if (start == cursor.block().position() && !cursor.hasSelection()) {
        return false; // at the start of a paragraph: before whatever follows
    }
    const QTextCharFormat before = FormatOfCharacter(start - 1);
    const QTextCharFormat after = FormatOfCharacter(end);
    return before.intProperty(ptInsertPointTag) > 0 && after.intProperty(ptInsertPointTag) > 0 &&
           after.objectType() != kInsertPointObjectType &&
           before.intProperty(ptInsertPointId) == after.intProperty(ptInsertPointId);
}

// Typing takes the format of the character before the caret (or after it at the start
// of a paragraph). Next to an insert point that would make the typed text part of it,
// and next to a picture a picture of it: there the typed text gets the same attributes
// as ordinary text, in the colour of the text before the insert point.
void TQpRichText::KeepTypingOutsideInsertPoints() {
    const QTextCursor cursor = textCursor();
    if (cursor.hasSelection()) {
        return; // a format set now would change the selected text
    }
    const QTextCharFormat format = cursor.charFormat();
    const bool insertPoint = format.intProperty(ptInsertPointTag) > 0;
    const bool object = format.objectType() != QTextFormat::NoObject || format.isImageFormat();
    if (!insertPoint && !object) {
        return;
    }
    const bool inside = insertPoint && IsInsideInsertPoint(cursor);
    QTextCharFormat typing = format;
    typing.setObjectType(QTextFormat::NoObject);
    for (int property :
         {int(QTextFormat::ImageName), int(QTextFormat::ImageWidth), int(QTextFormat::ImageHeight),
          int(QTextFormat::ImageQuality), int(ptPictureData), int(ptPictureInfo)}) {
        typing.clearProperty(property);
    }
    if (!inside && insertPoint) {
        typing.clearProperty(ptInsertPointTag);
        typing.clearProperty(ptInsertPointId);
        typing.clearForeground();
        const QTextCharFormat preceding = FormatOfCharacter(InsertPointStart(cursor) - 1);
        if (preceding.intProperty(ptInsertPointTag) <= 0 &&
            preceding.hasProperty(QTextFormat::ForegroundBrush)) {
            typing.setForeground(preceding.foreground());
        }
    }
    if (typing != format) {
        setCurrentCharFormat(typing);
    }
}

// Where the insert point next to the caret begins (its marker), or the caret's position.
int TQpRichText::InsertPointStart(const QTextCursor& cursor) const {
    int position = cursor.selectionStart();
    const int blockStart = cursor.block().position();
    QTextCharFormat format = FormatOfCharacter(position - 1);
    if (position == blockStart || format.intProperty(ptInsertPointTag) <= 0) {
        return position; // the insert point follows the caret
    }
    const int id = format.intProperty(ptInsertPointId);
    while (position > blockStart) {
        format = FormatOfCharacter(position - 1);
        if (format.intProperty(ptInsertPointTag) <= 0 ||
            format.intProperty(ptInsertPointId) != id) {
            break;
        }
        --position;
        if (format.objectType() == kInsertPointObjectType) {
            break;
        }
    }
    return position;
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
    KeepTypingOutsideInsertPoints();
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
    return CurrentParagraph().lineSpacing;
}

void TQpRichText::SetParagraphSpacing(int spaceBefore, int lineHeight, int spaceAfter) {
    ChangeSelectedParagraphs([&](TRtfParagraphFormat& format) {
        format.spaceBefore = qMax(0, spaceBefore);
        // The value LineHeight reported keeps its kind: proportional spacing stays so.
        if (format.lineSpacing != lineHeight) {
            format.lineSpacing = lineHeight;
            format.lineMultiple = false;
        }
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
