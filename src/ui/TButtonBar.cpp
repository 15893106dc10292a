#include "ui/TButtonBar.h"

#include "ui/KeyboardAccess.h"

#include <QHBoxLayout>
#include <QPushButton>

namespace {

const char* const BarStyle =
    "TButtonBar { background-color: rgb(64, 128, 128); }"
    "TButtonBar QPushButton { color: white; background-color: "
    "rgb(64, 128, 128); border: 1px solid rgb(32, 96, 96); "
    "padding: 4px 10px; font-weight: bold; }"
    "TButtonBar QPushButton:hover { background-color: rgb(80, 150, 150); }"
    "TButtonBar QPushButton:pressed { background-color: rgb(40, 100, 100); }"
    "TButtonBar QPushButton:disabled { color: rgb(170, 200, 200); }";

} // namespace

TButtonBar::TButtonBar(QWidget* parent, int height) : QWidget(parent) {
    setObjectName("ButtonBar");
    // Its buttons come last in the tab chain of the window.
    KeyboardAccess::MarkCommandBar(this);
    setFixedHeight(height);
    setAttribute(Qt::WA_StyledBackground, true);
    setStyleSheet(BarStyle);
    layout_ = new QHBoxLayout(this);
    layout_->setContentsMargins(6, 4, 6, 4);
    layout_->setSpacing(4);
}

QPushButton* TButtonBar::AddButton(const QString& objectName, const QString& caption,
                                   const QString& hint) {
    auto* button = new QPushButton(caption, this);
    button->setObjectName(objectName);
    // Never the window's default: Enter in a field must not press a bar button. Enter on
    // the focused button presses it (KeyboardAccess).
    button->setAutoDefault(false);
    button->setFocusPolicy(Qt::TabFocus);
    SetHint(button, hint);
    layout_->addWidget(button);
    return button;
}

void TButtonBar::AddStretch() {
    layout_->addStretch(1);
}

void TButtonBar::SetHint(QWidget* widget, const QString& hint) {
    widget->setStatusTip(hint);
    widget->setToolTip(hint);
}
