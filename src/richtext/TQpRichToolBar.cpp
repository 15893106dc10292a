#include "richtext/TQpRichToolBar.h"

#include "richtext/TQpRichText.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QEvent>
#include <QFontComboBox>
#include <QIntValidator>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QTimer>
#include <QToolButton>

namespace {

// A small picture of four text lines with the given alignment.
QIcon AlignmentIcon(Qt::Alignment alignment) {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setPen(QPen(Qt::black, 1));
    const int widths[] = {14, 9, 14, 7};
    for (int i = 0; i < 4; ++i) {
        const int width = alignment == Qt::AlignJustify ? 14 : widths[i];
        const int left = alignment == Qt::AlignRight     ? 15 - width
                         : alignment == Qt::AlignHCenter ? (16 - width) / 2
                                                         : 1;
        painter.drawLine(left, 3 + i * 3, left + width - 1, 3 + i * 3);
    }
    return QIcon(pixmap);
}

} // namespace

TQpRichToolBar::TQpRichToolBar(QWidget* parent) : QToolBar(parent) {
    setObjectName("TQpRichToolBar");
    setIconSize(QSize(16, 16));
    setFixedHeight(28);

    fontName_ = new QFontComboBox(this);
    fontName_->setObjectName("FontNameBox");
    fontName_->setWritingSystem(QFontDatabase::Latin);
    fontName_->setMaximumWidth(160);
    fontName_->setInsertPolicy(QComboBox::NoInsert);
    AddLabelledList(QStringLiteral("F&ont"), fontName_, QStringLiteral("Font name"),
                    QStringLiteral("Font of the selected text"));
    connect(fontName_, &QFontComboBox::currentFontChanged, this, &TQpRichToolBar::ApplyFontName);
    connect(fontName_->lineEdit(), &QLineEdit::returnPressed, this, &TQpRichToolBar::ReturnToText);

    fontSize_ = new QComboBox(this);
    fontSize_->setObjectName("FontSizeBox");
    fontSize_->setEditable(true);
    // A typed size is applied, not added to the list; it is a whole number of points.
    fontSize_->setInsertPolicy(QComboBox::NoInsert);
    fontSize_->setValidator(new QIntValidator(1, 1638, fontSize_));
    for (int size : {8, 9, 10, 11, 12, 14, 16, 18, 20, 22, 24, 26, 28, 36, 48, 72}) {
        fontSize_->addItem(QString::number(size));
    }
    AddLabelledList(QStringLiteral("Si&ze"), fontSize_, QStringLiteral("Font size"),
                    QStringLiteral("Font size of the selected text, in points"));
    connect(fontSize_, &QComboBox::textActivated, this, &TQpRichToolBar::ApplyFontSize);
    // Leaving the box with Tab applies a typed size and moves on; Enter applies it and
    // goes back to the text.
    connect(fontSize_->lineEdit(), &QLineEdit::editingFinished, this,
            &TQpRichToolBar::ApplyTypedFontSize);
    connect(fontSize_->lineEdit(), &QLineEdit::returnPressed, this, [this] {
        ApplyTypedFontSize();
        ReturnToText();
    });

    addSeparator();
    QToolButton* normal = AddToolButton("N", "Normal", false);
    QToolButton* bold = AddToolButton("B", "Bold", true);
    QToolButton* italic = AddToolButton("I", "Italic", true);
    QToolButton* underline = AddToolButton("U", "Under", true);
    QFont font = bold->font();
    font.setBold(true);
    bold->setFont(font);
    font.setBold(false);
    font.setItalic(true);
    italic->setFont(font);
    font.setItalic(false);
    font.setUnderline(true);
    underline->setFont(font);
    underline->setAccessibleName(QStringLiteral("Underline"));
    connect(normal, &QToolButton::clicked, this, [this] {
        if (editor_) {
            editor_->SetNormal();
        }
    });
    connect(bold, &QToolButton::clicked, this, [this](bool on) {
        if (editor_) {
            editor_->SetBold(on);
        }
    });
    connect(italic, &QToolButton::clicked, this, [this](bool on) {
        if (editor_) {
            editor_->SetItalic(on);
        }
    });
    connect(underline, &QToolButton::clicked, this, [this](bool on) {
        if (editor_) {
            editor_->SetUnderline(on);
        }
    });

    addSeparator();
    const std::pair<const char*, Qt::Alignment> alignments[] = {
        {"Left", Qt::AlignLeft},
        {"Right", Qt::AlignRight},
        {"Justified", Qt::AlignJustify},
        {"Center", Qt::AlignHCenter},
    };
    for (const auto& [hint, alignment] : alignments) {
        QToolButton* button = AddToolButton(QString(), hint, false);
        button->setIcon(AlignmentIcon(alignment));
        const Qt::Alignment chosen = alignment;
        connect(button, &QToolButton::clicked, this, [this, chosen] {
            if (editor_) {
                editor_->SetAlignment(chosen);
            }
        });
    }

    addSeparator();
    QToolButton* copy = AddToolButton("Copy", "Copy", false);
    QToolButton* cut = AddToolButton("Cut", "Cut", false);
    QToolButton* paste = AddToolButton("Paste", "Paste", false);
    QToolButton* spell = AddToolButton("Spell", "Spell", false);
    connect(copy, &QToolButton::clicked, this, [this] {
        if (editor_) {
            editor_->copy();
        }
    });
    connect(cut, &QToolButton::clicked, this, [this] {
        if (editor_) {
            editor_->cut();
        }
    });
    connect(paste, &QToolButton::clicked, this, [this] {
        if (editor_) {
            editor_->paste();
        }
    });
    connect(spell, &QToolButton::clicked, this, [this] {
        if (editor_) {
            editor_->RequestSpellCheck();
        }
    });
    addSeparator();
}

QToolButton* TQpRichToolBar::AddToolButton(const QString& text, const QString& hint,
                                           bool checkable) {
    auto* button = new QToolButton(this);
    button->setObjectName(hint + "Button");
    button->setText(text);
    button->setToolTip(hint);
    button->setStatusTip(hint);
    button->setCheckable(checkable);
    button->setAutoRaise(true);
    // The hint word, not the one-letter caption, is what a screen reader should say.
    button->setAccessibleName(hint);
    button->setAccessibleDescription(hint);
    // Reached with Tab; a click leaves the focus in the text.
    button->setFocusPolicy(Qt::TabFocus);
    addWidget(button);
    buttons_ << button;
    return button;
}

void TQpRichToolBar::AddLabelledList(const QString& caption, QComboBox* list, const QString& name,
                                     const QString& hint) {
    auto* label = new QLabel(caption, this);
    label->setObjectName(list->objectName() + "Label");
    label->setBuddy(list);
    label->setContentsMargins(4, 0, 2, 0);
    addWidget(label);
    list->setAccessibleName(name);
    list->setAccessibleDescription(hint);
    list->setStatusTip(hint);
    list->setToolTip(hint);
    addWidget(list);
    // A click on an item of the open list (or Enter on it) is a choice made for the text.
    list->view()->installEventFilter(this);
    list->view()->viewport()->installEventFilter(this);
}

bool TQpRichToolBar::eventFilter(QObject* watched, QEvent* event) {
    const bool inList = watched == fontName_->view() || watched == fontSize_->view() ||
                        watched == fontName_->view()->viewport() ||
                        watched == fontSize_->view()->viewport();
    if (inList) {
        // The open list takes Enter as a shortcut override, before it is a key press.
        const bool key =
            event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride;
        const bool click = event->type() == QEvent::MouseButtonRelease;
        const bool enter = key && (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Return ||
                                   static_cast<QKeyEvent*>(event)->key() == Qt::Key_Enter);
        // Only while the list is open: Enter reaches the closed list once more.
        if ((click || enter) && static_cast<QWidget*>(watched)->isVisible()) {
            ChosenFromList();
        }
    }
    return QToolBar::eventFilter(watched, event);
}

void TQpRichToolBar::ChosenFromList() {
    // The list reports the choice while it handles this event; afterwards the flag is
    // stale (a click beside the items chooses nothing).
    chosenFromList_ = true;
    QTimer::singleShot(0, this, [this] { chosenFromList_ = false; });
}

QList<QWidget*> TQpRichToolBar::TabStops() const {
    QList<QWidget*> stops;
    for (QAction* action : actions()) {
        QWidget* widget = widgetForAction(action);
        if (widget && (widget->focusPolicy() & Qt::TabFocus)) {
            stops << widget;
        }
    }
    return stops;
}

QToolButton* TQpRichToolBar::Button(const QString& hint) const {
    for (QToolButton* button : buttons_) {
        if (button->toolTip() == hint) {
            return button;
        }
    }
    return nullptr;
}

void TQpRichToolBar::AddButton(QWidget* button) {
    addWidget(button);
}

void TQpRichToolBar::SetEditor(TQpRichText* editor) {
    disconnect(formatConnection_);
    disconnect(cursorConnection_);
    editor_ = editor;
    if (editor_) {
        formatConnection_ = connect(editor_, &QTextEdit::currentCharFormatChanged, this,
                                    &TQpRichToolBar::ShowEditorState);
        cursorConnection_ = connect(editor_, &QTextEdit::cursorPositionChanged, this,
                                    &TQpRichToolBar::ShowEditorState);
        ShowEditorState();
    }
}

void TQpRichToolBar::ShowEditorState() {
    if (!editor_) {
        return;
    }
    const QSignalBlocker blockName(fontName_);
    const QSignalBlocker blockSize(fontSize_);
    fontName_->setCurrentFont(QFont(editor_->FontName()));
    fontSize_->setEditText(QString::number(editor_->FontSize()));
    Button("Bold")->setChecked(editor_->Bold());
    Button("Italic")->setChecked(editor_->Italic());
    Button("Under")->setChecked(editor_->Underline());
}

void TQpRichToolBar::ApplyFontName() {
    if (!editor_) {
        return;
    }
    editor_->SetFontName(fontName_->currentFont().family());
    if (chosenFromList_) {
        ReturnToText();
    }
}

void TQpRichToolBar::ApplyFontSize() {
    bool ok = false;
    const int size = fontSize_->currentText().toInt(&ok);
    if (!editor_ || !ok || size <= 0) {
        return;
    }
    editor_->SetFontSize(size);
    fontSize_->lineEdit()->setModified(false);
    if (chosenFromList_) {
        ReturnToText();
    }
}

void TQpRichToolBar::ApplyTypedFontSize() {
    // Only a size the user typed: passing through the box changes nothing.
    if (fontSize_->lineEdit()->isModified()) {
        fontSize_->lineEdit()->setModified(false);
        ApplyFontSize();
    }
}

void TQpRichToolBar::ReturnToText() {
    chosenFromList_ = false;
    if (editor_ && editor_->isVisible()) {
        editor_->setFocus(Qt::OtherFocusReason);
    }
}
