#include "dialogs/TZoomButton.h"

#include "richtext/TQpRichText.h"
#include "ui/TButtonBar.h"

#include <QAction>
#include <QMenu>

TZoomButton::TZoomButton(std::function<TQpRichText*()> currentEditor, QWidget* parent)
    : QPushButton(QStringLiteral("100%"), parent), currentEditor_(std::move(currentEditor)) {
    setObjectName("Zoombutton");
    setAutoDefault(false);
    setFocusPolicy(Qt::TabFocus);
    TButtonBar::SetHint(this, QStringLiteral("Set the view percentage for the current editor"));
    setAccessibleName(QStringLiteral("Zoom"));
    setAccessibleDescription(statusTip());
    menu_ = new QMenu(this);
    menu_->setObjectName("ZoomMenu");
    for (int percent : ZoomLevels) {
        QAction* item = menu_->addAction(QString::number(percent) + "%");
        item->setObjectName(QStringLiteral("Zoom%1").arg(percent));
        item->setCheckable(true);
        item->setData(percent);
        connect(item, &QAction::triggered, this, [this, percent] { ChooseZoom(percent); });
    }
    connect(menu_, &QMenu::aboutToShow, this, &TZoomButton::CheckCurrentZoom);
    setMenu(menu_);
}

void TZoomButton::ShowZoomOf(const TQpRichText* editor) {
    setText(QString::number(editor ? editor->Zoom() : 100) + "%");
}

void TZoomButton::ChooseZoom(int percent) {
    TQpRichText* editor = currentEditor_();
    if (!editor) {
        return;
    }
    editor->SetZoom(percent);
    ShowZoomOf(editor);
}

void TZoomButton::CheckCurrentZoom() {
    const TQpRichText* editor = currentEditor_();
    const int zoom = editor ? editor->Zoom() : 100;
    for (QAction* item : menu_->actions()) {
        item->setChecked(item->data().toInt() == zoom);
    }
}
