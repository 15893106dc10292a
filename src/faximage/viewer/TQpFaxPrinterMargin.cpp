#include "faximage/viewer/TQpFaxPrinterMargin.h"

#include <algorithm>

#include <QFontMetrics>
#include <QPainter>

TQpFaxPrinterMargin::TQpFaxPrinterMargin(const QString& caption) : caption_(caption) {}

void TQpFaxPrinterMargin::SelectFont(QPainter& painter, bool halfSize) {
    QFont font = font_;
    if (halfSize) {
        if (font.pointSizeF() > 0) {
            font.setPointSize(std::max(1, font.pointSize() / 2));
        } else if (font.pixelSize() > 0) {
            font.setPixelSize(std::max(1, font.pixelSize() / 2));
        }
    }
    painter.setFont(font);
    textHeight_ = QFontMetrics(painter.font(), painter.device()).height();
}

void TQpFaxPrinterMargin::DrawAsHeader(QPainter& painter, FaxPrintArea& area, const QString& text,
                                       bool halfSize) {
    SelectFont(painter, halfSize);
    const QRect textRect(area.left, area.top, area.Width(), textHeight_);
    painter.save();
    painter.setClipRect(textRect);
    painter.drawText(textRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
    painter.restore();
    const int lineY = area.top + textHeight_ + 2;
    painter.drawLine(area.left, lineY, area.right - 1, lineY);
    area.top = lineY + 1;
}

void TQpFaxPrinterMargin::DrawAsFooter(QPainter& painter, FaxPrintArea& area, const QString& text,
                                       bool halfSize) {
    SelectFont(painter, halfSize);
    const QRect textRect(area.left, area.bottom - textHeight_, area.Width(), textHeight_);
    painter.save();
    painter.setClipRect(textRect);
    painter.drawText(textRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
    painter.restore();
    const int lineY = area.bottom - textHeight_ - 2;
    painter.drawLine(area.left, lineY, area.right - 1, lineY);
    area.bottom = lineY - 1;
}
