#include "dialogs/TEditorAids.h"

#include "dialogs/TParagraphPropDlg.h"
#include "richtext/TQpRichText.h"
#include "richtext/TQpRichToolBar.h"
#include "spell/TSpellCheckDialog.h"
#include "ui/TButtonBar.h"
#include "ui/WindowUtils.h"

#include <QComboBox>
#include <QFontComboBox>
#include <QPainter>
#include <QPixmap>
#include <QToolButton>

namespace {

const QString WrapOnHint = QStringLiteral("Toggle word wrap on");
const QString WrapOffHint = QStringLiteral("Toggle word wrap off");

QIcon PictureIcon(TEditorAids::Picture picture) {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setPen(QPen(Qt::black, 1));
    switch (picture) {
    case TEditorAids::picPageBreak:
        // Two page edges with a dashed break between them.
        painter.drawLine(3, 1, 3, 5);
        painter.drawLine(12, 1, 12, 5);
        painter.drawLine(3, 5, 12, 5);
        painter.setPen(QPen(Qt::blue, 1, Qt::DashLine));
        painter.drawLine(0, 8, 15, 8);
        painter.setPen(QPen(Qt::black, 1));
        painter.drawLine(3, 11, 12, 11);
        painter.drawLine(3, 11, 3, 15);
        painter.drawLine(12, 11, 12, 15);
        break;
    case TEditorAids::picParagraph: {
        QFont font = painter.font();
        font.setPixelSize(14);
        font.setBold(true);
        painter.setFont(font);
        painter.drawText(QRect(0, 0, 16, 16), Qt::AlignCenter, QString(QChar(0x00B6)));
        break;
    }
    case TEditorAids::picWordWrap:
        // A line that runs to the margin and turns back under itself.
        painter.drawLine(1, 3, 12, 3);
        painter.drawArc(8, 3, 6, 6, 90 * 16, -180 * 16);
        painter.drawLine(11, 9, 4, 9);
        painter.drawLine(4, 9, 6, 7);
        painter.drawLine(4, 9, 6, 11);
        painter.drawLine(1, 13, 9, 13);
        break;
    case TEditorAids::picTemplate:
        // A page with lines and a red field.
        painter.drawRect(2, 0, 11, 15);
        painter.drawLine(4, 4, 11, 4);
        painter.drawLine(4, 10, 11, 10);
        painter.fillRect(4, 6, 6, 3, Qt::red);
        painter.drawLine(4, 12, 9, 12);
        break;
    }
    painter.end();
    return QIcon(pixmap);
}

} // namespace

TEditorAids::TEditorAids(TQpRichText* editor, TQpRichToolBar* toolBar, const ButtonNames& names,
                         QWidget* window)
    : QObject(window), editor_(editor), window_(window) {
    pageBreak_ =
        MakeToolButton(names.pageBreak, picPageBreak, QStringLiteral("Insert Page Break"), toolBar);
    paragraph_ = MakeToolButton(names.paragraph, picParagraph,
                                QStringLiteral("Paragraph properties"), toolBar);
    wordWrap_ = MakeToolButton(names.wordWrap, picWordWrap, WrapOnHint, toolBar);
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
    // Narrow enough that the added buttons fit beside the built-in ones at 592 pixels.
    toolBar->FontNameBox()->setMaximumWidth(120);
}

QToolButton* TEditorAids::MakeToolButton(const char* objectName, Picture picture,
                                         const QString& hint, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setObjectName(QString::fromLatin1(objectName));
    button->setIcon(PictureIcon(picture));
    button->setToolButtonStyle(Qt::ToolButtonIconOnly);
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
