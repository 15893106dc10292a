#pragma once

#include <functional>

#include <QColor>
#include <QWidget>

enum TBevelStyle { bsLowered, bsRaised, bsNone };

// A segmented progress bar: cells Step pixels wide inside a one-pixel bevel. A change of
// Position repaints (and fires OnPosChange) only when the drawn cells change.
class TQpMeter final : public QWidget {
    Q_OBJECT

public:
    explicit TQpMeter(QWidget* parent = nullptr);

    QColor BarColor() const { return barColor_; }
    void SetBarColor(const QColor& color);
    QColor BevelColor1() const { return bevelColor1_; }
    void SetBevelColor1(const QColor& color);
    QColor BevelColor2() const { return bevelColor2_; }
    void SetBevelColor2(const QColor& color);
    TBevelStyle BevelStyle() const { return bevelStyle_; }
    void SetBevelStyle(TBevelStyle style);
    int Max() const { return max_; }
    void SetMax(int value);
    int Min() const { return min_; }
    void SetMin(int value);
    int Position() const { return position_; }
    void SetPosition(int value);
    int Step() const { return step_; }
    void SetStep(int value);

    std::function<void(TQpMeter&)> OnPosChange;

    // The whole cells and the width of the last partial cell drawn for these values.
    static void CellsFor(int width, int position, int min, int max, int step, int& cells,
                         int& partial);
    int Cells() const { return cells_; }
    int PartialCell() const { return partial_; }
    int Repaints() const { return repaints_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void Recount(bool alwaysRepaint);

    QColor barColor_;
    QColor bevelColor1_;
    QColor bevelColor2_;
    TBevelStyle bevelStyle_ = bsLowered;
    int max_ = 100;
    int min_ = 0;
    int position_ = 0;
    int step_ = 8;
    int cells_ = 0;
    int partial_ = 0;
    int repaints_ = 0;
};
