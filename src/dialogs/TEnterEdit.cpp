#include "dialogs/TEnterEdit.h"

#include <QKeyEvent>

#include <algorithm>

TEnterEdit::TEnterEdit(QWidget* parent) : QLineEdit(parent) {
    // Connected before any other handler of textEdited (such as the code-page restriction),
    // so that the limit applies first.
    connect(this, &QLineEdit::textEdited, this, &TEnterEdit::KeepToLimit);
}

void TEnterEdit::SetLimit(int characters) {
    limit_ = std::max(0, characters);
    ceiling_ = std::max<qsizetype>(limit_, text().size());
}

void TEnterEdit::setText(const QString& text) {
    ceiling_ = std::max<qsizetype>(limit_, text.size());
    QLineEdit::setText(text);
}

void TEnterEdit::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        focusNextChild();
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void TEnterEdit::KeepToLimit() {
    const QString edited = text();
    if (edited.size() <= ceiling_) {
        return;
    }
    // The characters just typed or pasted end at the cursor: drop the ones that do not fit.
    const qsizetype excess = edited.size() - ceiling_;
    const qsizetype cursor = std::max<qsizetype>(cursorPosition(), excess);
    QString kept = edited;
    kept.remove(cursor - excess, excess);
    QLineEdit::setText(kept);
    setCursorPosition(static_cast<int>(cursor - excess));
}
