#include "richtext/TQpRichToolBar.h"

#include "richtext/TQpRichText.h"

#include <QComboBox>
#include <QFontComboBox>
#include <QPainter>
#include <QPixmap>
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
    addWidget(fontName_);
    connect(fontName_, &QFontComboBox::currentFontChanged, this, &TQpRichToolBar::ApplyFontName);

    fontSize_ = new QComboBox(this);
    fontSize_->setObjectName("FontSizeBox");
    fontSize_->setEditable(true);
    for (int size : {8, 9, 10, 11, 12, 14, 16, 18, 20, 22, 24, 26, 28, 36, 48, 72}) {
        fontSize_->addItem(QString::number(size));
    }
    addWidget(fontSize_);
    connect(fontSize_, &QComboBox::textActivated, this, &TQpRichToolBar::ApplyFontSize);

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
    button->setFocusPolicy(Qt::NoFocus);
    addWidget(button);
    buttons_ << button;
    return button;
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
    if (editor_) {
        editor_->SetFontName(fontName_->currentFont().family());
        editor_->setFocus();
    }
}

void TQpRichToolBar::ApplyFontSize() {
    bool ok = false;
    const int size = fontSize_->currentText().toInt(&ok);
    if (editor_ && ok && size > 0) {
        editor_->SetFontSize(size);
        editor_->setFocus();
    }
}
