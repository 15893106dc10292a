#include "richtext/TInsertPointObject.h"

#include "richtext/TRichTextProperties.h"

#include <QAbstractTextDocumentLayout>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QTextCharFormat>
#include <QTextDocument>

void TInsertPointObject::RegisterWith(QTextDocument* document) {
    QAbstractTextDocumentLayout* layout = document->documentLayout();
    layout->registerHandler(richtext::kInsertPointObjectType, new TInsertPointObject(layout));
}

QSizeF TInsertPointObject::intrinsicSize(QTextDocument* document, int, const QTextFormat& format) {
    if (document->property(richtext::kMarkersHiddenProperty).toBool()) {
        return QSizeF(0, 0);
    }
    const QFontMetricsF metrics(format.toCharFormat().font(),
                                document->documentLayout()->paintDevice());
    return QSizeF(metrics.ascent() * 0.5, metrics.ascent());
}

void TInsertPointObject::drawObject(QPainter* painter, const QRectF& rect, QTextDocument* document,
                                    int, const QTextFormat&) {
    if (document->property(richtext::kMarkersHiddenProperty).toBool() || rect.width() <= 0) {
        return;
    }
    QPainterPath wedge;
    wedge.moveTo(rect.left(), rect.top() + rect.height() * 0.2);
    wedge.lineTo(rect.right(), rect.top() + rect.height() * 0.6);
    wedge.lineTo(rect.left(), rect.bottom());
    wedge.closeSubpath();
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->fillPath(wedge, Qt::red);
    painter->restore();
}
