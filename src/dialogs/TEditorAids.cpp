#include "dialogs/TEditorAids.h"

#include "dialogs/TParagraphPropDlg.h"
#include "richtext/TQpRichText.h"
#include "richtext/TQpRichToolBar.h"
#include "spell/TSpellCheckDialog.h"
#include "ui/TButtonBar.h"
#include "ui/WindowUtils.h"

#include <QComboBox>
#include <QFontComboBox>
#include <QToolButton>

namespace {

const QString WrapOnHint = QStringLiteral("Toggle word wrap on");
const QString WrapOffHint = QStringLiteral("Toggle word wrap off");

} // namespace

TEditorAids::TEditorAids(TQpRichText* editor, TQpRichToolBar* toolBar, const ButtonNames& names,
                         QWidget* window)
    : QObject(window), editor_(editor), window_(window) {
    pageBreak_ = MakeToolButton(names.pageBreak, QStringLiteral("Pg"),
                                QStringLiteral("Insert Page Break"), toolBar);
    paragraph_ = MakeToolButton(names.paragraph, QStringLiteral("¶"),
                                QStringLiteral("Paragraph properties"), toolBar);
    wordWrap_ = MakeToolButton(names.wordWrap, QStringLiteral("Wrap"), WrapOnHint, toolBar);
    wordWrap_->setCheckable(true);
    wordWrap_->setAccessibleName(QStringLiteral("Word wrap"));
    toolBar->AddButton(pageBreak_);
    toolBar->AddButton(paragraph_);
    toolBar->AddButton(wordWrap_);

    connect(pageBreak_, &QToolButton::clicked, this, &TEditorAids::InsertPageBreak);
    connect(paragraph_, &QToolButton::clicked, this, &TEditorAids::ParagraphProperties);
    // The button's own toggling is replaced by the editor's state.
    connect(wordWrap_, &QToolButton::clicked, this, &TEditorAids::ToggleWordWrap);
    editor_->OnSpellCheckRequest = [this] { SpellCheck(); };
    // The toolbar's lists have no labels: name them for screen readers.
    if (toolBar->FontNameBox()->accessibleName().isEmpty()) {
        toolBar->FontNameBox()->setAccessibleName(QStringLiteral("Font name"));
    }
    if (toolBar->FontSizeBox()->accessibleName().isEmpty()) {
        toolBar->FontSizeBox()->setAccessibleName(QStringLiteral("Font size"));
    }
}

QToolButton* TEditorAids::MakeToolButton(const char* objectName, const QString& text,
                                         const QString& hint, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setObjectName(QString::fromLatin1(objectName));
    button->setText(text);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::TabFocus);
    TButtonBar::SetHint(button, hint);
    button->setAccessibleName(hint);
    button->setAccessibleDescription(hint);
    return button;
}

void TEditorAids::MoveToStart(TQpRichText* editor) {
    if (!editor->IsEmpty()) {
        editor->moveCursor(QTextCursor::Start);
    }
}

void TEditorAids::InsertPageBreak() {
    if (!AskYesNoDefaultNo(QStringLiteral("Add a page break here?"),
                           QStringLiteral("Page Break"))) {
        return;
    }
    editor_->InsertPageBreak();
    editor_->Repaint();
}

void TEditorAids::ParagraphProperties() {
    TParagraphPropDlg dialog(window_);
    dialog.SetEditor(editor_);
    CenterForm(&dialog);
    dialog.exec();
}

void TEditorAids::ToggleWordWrap() {
    ShowWordWrap(!editor_->WordWrap());
    editor_->Repaint();
}

void TEditorAids::ShowWordWrap(bool on) {
    editor_->SetWordWrap(on);
    const QString& hint = on ? WrapOffHint : WrapOnHint;
    TButtonBar::SetHint(wordWrap_, hint);
    wordWrap_->setAccessibleDescription(hint);
    wordWrap_->setChecked(on);
}

void TEditorAids::SpellCheck() {
    TSpellCheckDialog dialog(editor_, window_);
    CenterForm(&dialog);
    dialog.exec();
}
