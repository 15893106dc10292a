#pragma once

#include <QToolBar>

class QComboBox;
class QFontComboBox;
class QToolButton;
class TQpRichText;

// The formatting toolbar bound to one editor: font name list (screen fonts), size list
// from 8, Normal, Bold, Italic, Underline, left, right, justified and centred alignment,
// Copy, Cut, Paste and Spell. The owner may add further buttons after them.
//
// Keyboard: every control is a Tab stop in the order shown; the buttons take no focus
// from the editor when clicked. A font or size chosen from a list, or confirmed with
// Enter, sends the focus back to the text; browsing the lists with the arrow keys and
// leaving them with Tab keep it in the toolbar.
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
    // The controls Tab reaches, left to right, the owner's added buttons included.
    QList<QWidget*> TabStops() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QToolButton* AddToolButton(const QString& text, const QString& hint, bool checkable);
    void AddLabelledList(const QString& caption, QComboBox* list, const QString& name,
                         const QString& hint);
    void ShowEditorState();
    void ApplyFontName();
    void ApplyFontSize();
    void ApplyTypedFontSize();
    void ChosenFromList();
    void ReturnToText();

    TQpRichText* editor_ = nullptr;
    QFontComboBox* fontName_ = nullptr;
    QComboBox* fontSize_ = nullptr;
    QList<QToolButton*> buttons_;
    bool chosenFromList_ = false; // an item of an open list was just picked
    QMetaObject::Connection formatConnection_;
    QMetaObject::Connection cursorConnection_;
};
