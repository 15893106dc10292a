#include "faxcomm/TQpMeter.h"

#include <QPainter>
#include <QPalette>

TQpMeter::TQpMeter(QWidget* parent) : QWidget(parent) {
    barColor_ = palette().color(QPalette::Highlight);
    bevelColor1_ = palette().color(QPalette::Light);
    bevelColor2_ = palette().color(QPalette::Dark);
    resize(150, 16);
}

void TQpMeter::CellsFor(int width, int position, int min, int max, int step, int& cells,
                        int& partial) {
    cells = 0;
    partial = 0;
    if (position <= min || max <= min || step <= 0) {
        return;
    }
    cells = (position - min) * ((width - 3) / step) / (max - min) + 1;
    if (cells * step > width - 4) {
        cells = std::max(0, (width - 4) / step);
        partial = std::max(0, (width - 4) % step);
    }
}

void TQpMeter::Recount(bool alwaysRepaint) {
    int cells = 0;
    int partial = 0;
    CellsFor(width(), position_, min_, max_, step_, cells, partial);
    const bool changed = cells != cells_ || partial != partial_;
    cells_ = cells;
    partial_ = partial;
    if (changed || alwaysRepaint) {
        ++repaints_;
        update();
    }
    if (changed && !alwaysRepaint && OnPosChange) {
        OnPosChange(*this);
    }
}

void TQpMeter::SetBarColor(const QColor& color) {
    barColor_ = color;
    update();
}

void TQpMeter::SetBevelColor1(const QColor& color) {
    bevelColor1_ = color;
    update();
}

void TQpMeter::SetBevelColor2(const QColor& color) {
    bevelColor2_ = color;
    update();
}

void TQpMeter::SetBevelStyle(TBevelStyle style) {
    bevelStyle_ = style;
    update();
}

void TQpMeter::SetMax(int value) {
    max_ = value;
    Recount(false);
}

void TQpMeter::SetMin(int value) {
    min_ = value;
    Recount(false);
}

void TQpMeter::SetPosition(int value) {
    position_ = value;
    Recount(false);
}

void TQpMeter::SetStep(int value) {
    step_ = value;
    Recount(true);
}

void TQpMeter::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Recount(true);
}

void TQpMeter::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const int w = width();
    const int h = height();
    if (bevelStyle_ != bsNone) {
        const QColor topLeft = bevelStyle_ == bsLowered ? bevelColor2_ : bevelColor1_;
        const QColor bottomRight = bevelStyle_ == bsLowered ? bevelColor1_ : bevelColor2_;
        painter.setPen(topLeft);
        painter.drawLine(0, 0, w - 1, 0);
        painter.drawLine(0, 0, 0, h - 1);
        painter.setPen(bottomRight);
        painter.drawLine(w - 1, 0, w - 1, h - 1);
        painter.drawLine(0, h - 1, w - 1, h - 1);
    }
    for (int i = 0; i < cells_; ++i) {
        painter.fillRect(QRect(QPoint(i * step_ + 2, 2), QPoint((i + 1) * step_ - 1, h - 3)),
                         barColor_);
    }
    if (partial_ > 0) {
        const int left = cells_ * step_ + 2;
        painter.fillRect(QRect(left, 2, partial_, h - 4), barColor_);
    }
}
