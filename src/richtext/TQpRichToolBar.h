#pragma once

#include <QToolBar>

class QComboBox;
class QFontComboBox;
class QToolButton;
class TQpRichText;

// The formatting toolbar bound to one editor: font name list (screen fonts), size list
// from 8, Normal, Bold, Italic, Underline, left, right, justified and centred alignment,
// Copy, Cut, Paste and Spell. The owner may add further buttons after them.
class TQpRichToolBar : public QToolBar {
    Q_OBJECT

public:
    explicit TQpRichToolBar(QWidget* parent = nullptr);

    void SetEditor(TQpRichText* editor);
    TQpRichText* Editor() const { return editor_; }

    // Appends a button (or any widget) of the owner after the built-in ones.
    void AddButton(QWidget* button);

    QFontComboBox* FontNameBox() const { return fontName_; }
    QComboBox* FontSizeBox() const { return fontSize_; }
    // The built-in buttons by their hint word ("Bold", "Left", "Spell", ...).
    QToolButton* Button(const QString& hint) const;

private:
    QToolButton* AddToolButton(const QString& text, const QString& hint, bool checkable);
    void ShowEditorState();
    void ApplyFontName();
    void ApplyFontSize();

    TQpRichText* editor_ = nullptr;
    QFontComboBox* fontName_ = nullptr;
    QComboBox* fontSize_ = nullptr;
    QList<QToolButton*> buttons_;
    QMetaObject::Connection formatConnection_;
    QMetaObject::Connection cursorConnection_;
};
