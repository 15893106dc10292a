#include "richtext/TPageRenderer.h"

#include "richtext/TInsertPointObject.h"
#include "richtext/TPictureObject.h"
#include "richtext/TRichDocumentBridge.h"
#include "richtext/TRichTextProperties.h"

#include <QAbstractTextDocumentLayout>
#include <QPainter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>

namespace {

bool StartsNewPage(const QTextBlock& block) {
    if (block.blockFormat().pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore) {
        return true;
    }
    const QTextBlock previous = block.previous();
    return previous.isValid() &&
           (previous.blockFormat().pageBreakPolicy() & QTextFormat::PageBreak_AlwaysAfter);
}

} // namespace

TPageRenderer::TPageRenderer(const QTextDocument& source, int layoutDpi, qreal pageDpi,
                             qreal textWidth, int options)
    : document_(source.clone()), device_(1, 1, QImage::Format_RGB32), scale_(pageDpi / layoutDpi) {
    const int dotsPerMeter = qRound(layoutDpi / 0.0254);
    device_.setDotsPerMeterX(dotsPerMeter);
    device_.setDotsPerMeterY(dotsPerMeter);
    document_->setProperty(richtext::kPixelsPerTwipProperty,
                           source.property(richtext::kPixelsPerTwipProperty));
    document_->setProperty(richtext::kMarkersHiddenProperty,
                           source.property(richtext::kMarkersHiddenProperty));
    document_->setDefaultFont(source.defaultFont());
    document_->setDocumentMargin(0);
    document_->setDefaultTextOption(source.defaultTextOption());
    document_->setUseDesignMetrics(true);
    document_->documentLayout()->setPaintDevice(&device_);
    TInsertPointObject::RegisterWith(document_.get());
    TPictureObject::RegisterWith(document_.get());
    TRichDocumentBridge::ApplyPixelsPerTwip(document_.get(), layoutDpi / 1440.0);
    if (options & roFaxPage) {
        PrepareForFax();
    }
    document_->setTextWidth(textWidth);
    const QTextBlock last = document_->lastBlock();
    document_->documentLayout()->blockBoundingRect(last); // lays the whole text out
}

TPageRenderer::~TPageRenderer() = default;

void TPageRenderer::PrepareForFax() {
    document_->setProperty(richtext::kMarkersHiddenProperty, true);
    QTextCursor all(document_.get());
    all.select(QTextCursor::Document);
    QTextCharFormat black;
    black.setForeground(Qt::black);
    black.setBackground(Qt::NoBrush);
    black.setFontStyleStrategy(QFont::NoAntialias);
    all.mergeCharFormat(black);
    // Hidden text keeps its place in the text but takes no room and shows nothing.
    for (QTextBlock block = document_->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.charFormat().boolProperty(richtext::ptHidden)) {
                continue;
            }
            QTextCursor hidden(document_.get());
            hidden.setPosition(fragment.position());
            hidden.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
            QTextCharFormat invisible;
            invisible.setForeground(Qt::transparent);
            invisible.setFontPointSize(0.1);
            invisible.setUnderlineStyle(QTextCharFormat::NoUnderline);
            hidden.mergeCharFormat(invisible);
        }
    }
}

qreal TPageRenderer::LineTop(int position) const {
    const QTextBlock block = document_->findBlock(position);
    if (!block.isValid()) {
        return 0;
    }
    const QTextLayout* layout = block.layout();
    const QTextLine line = layout->lineForTextPosition(position - block.position());
    return layout->position().y() + (line.isValid() ? line.y() : 0);
}

int TPageRenderer::PageEnd(int start, qreal height, qreal* usedHeight) const {
    QTextBlock block = document_->findBlock(qMax(0, start));
    if (usedHeight) {
        *usedHeight = 0;
    }
    if (!block.isValid()) {
        return 0;
    }
    const qreal top = LineTop(start);
    const qreal bottomLimit = top + height;
    bool firstLine = true;
    QTextLine startLine = block.layout()->lineForTextPosition(start - block.position());
    int lineIndex = startLine.isValid() ? startLine.lineNumber() : 0;
    for (; block.isValid(); block = block.next(), lineIndex = 0) {
        if (!firstLine && StartsNewPage(block)) {
            return block.position();
        }
        const QTextLayout* layout = block.layout();
        for (int i = lineIndex; i < layout->lineCount(); ++i) {
            const QTextLine line = layout->lineAt(i);
            const qreal lineBottom = layout->position().y() + line.y() + line.height();
            if (!firstLine && lineBottom > bottomLimit) {
                return block.position() + line.textStart();
            }
            firstLine = false;
            if (usedHeight) {
                *usedHeight = qMin<qreal>(lineBottom - top, height);
            }
        }
    }
    return 0;
}

int TPageRenderer::RenderPage(QPainter& canvas, int start, const QRect& rect) {
    start = qBound(0, start, qMax(0, document_->characterCount() - 1));
    const qreal pageHeight = rect.height() / scale_;
    qreal used = 0;
    const int next = PageEnd(start, pageHeight, &used);
    const qreal top = LineTop(start);
    const qreal bottom = next > 0 ? LineTop(next) : top + used;
    const qreal height = qMin<qreal>(bottom - top, pageHeight);

    canvas.save();
    canvas.setClipRect(QRectF(rect.left(), rect.top(), rect.width(), height * scale_));
    canvas.translate(rect.left(), rect.top());
    canvas.scale(scale_, scale_);
    canvas.translate(0, -top);
    QAbstractTextDocumentLayout::PaintContext context;
    context.clip = QRectF(0, top, rect.width() / scale_, height);
    context.palette.setColor(QPalette::Text, Qt::black);
    document_->documentLayout()->draw(&canvas, context);
    canvas.restore();
    return next;
}
