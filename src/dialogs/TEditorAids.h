#pragma once

#include <QObject>
#include <QString>

class QToolButton;
class QWidget;
class TQpRichText;
class TQpRichToolBar;

// The editing aids that the fax editor and the cover template editor give each of their
// rich text editors: buttons added to the editor's formatting toolbar for Insert Page
// Break (after a confirmation, No by default), Paragraph properties and the word-wrap
// toggle, and the spell check dialog opened by the toolbar's Spell button. Dialogs open
// centred, modally, over `window`.
class TEditorAids final : public QObject {
    Q_OBJECT

public:
    struct ButtonNames {
        const char* pageBreak;
        const char* paragraph;
        const char* wordWrap;
    };

    TEditorAids(TQpRichText* editor, TQpRichToolBar* toolBar, const ButtonNames& names,
                QWidget* window);

    QToolButton* PageBreakButton() const { return pageBreak_; }
    QToolButton* ParagraphButton() const { return paragraph_; }
    QToolButton* WordWrapButton() const { return wordWrap_; }

    // The commands of the buttons.
    void InsertPageBreak();
    void ParagraphProperties();
    void ToggleWordWrap();
    void SpellCheck();

    // Sets the editor's word wrap and shows it on the toggle button (down state, hint).
    void ShowWordWrap(bool on);

    // Puts the caret at the start of the text. An empty editor keeps its caret and with it
    // the attributes chosen for the text typed next (the default font of a new fax).
    static void MoveToStart(TQpRichText* editor);

    // Small pictures of the added toolbar buttons.
    enum Picture { picPageBreak, picParagraph, picWordWrap, picTemplate };

    static QToolButton* MakeToolButton(const char* objectName, Picture picture, const QString& hint,
                                       QWidget* parent);

private:
    TQpRichText* editor_;
    QWidget* window_;
    QToolButton* pageBreak_;
    QToolButton* paragraph_;
    QToolButton* wordWrap_;
};
