#pragma once

#include <QWidget>

class QHBoxLayout;
class QPushButton;

// The coloured bar of command buttons at the top of the program's windows: RGB
// 64,128,128 with white captions. Each button carries its hint as status tip (shown on
// the hint target) and as pop-up hint. The bar's buttons come last in the window's tab
// chain (KeyboardAccess).
class TButtonBar final : public QWidget {
    Q_OBJECT

public:
    static constexpr int DefaultHeight = 45;

    explicit TButtonBar(QWidget* parent, int height = DefaultHeight);

    QPushButton* AddButton(const QString& objectName, const QString& caption, const QString& hint);
    void AddStretch();

    // Gives a widget its hint: the status line text and the pop-up text.
    static void SetHint(QWidget* widget, const QString& hint);

private:
    QHBoxLayout* layout_;
};
