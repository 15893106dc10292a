#pragma once

#include <memory>

#include <QDialog>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>

#include "ui/WindowUtils.h"
#include "spell/core/TZizadSpell.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class TQpRichText;

// The spell check dialog ("Spell Check"): walks the words of a rich text control and
// stops at each word that is in neither the main list "qpx.dct" nor the user list
// "qpxu.dct" of the data folder, shows suggestions and lets the user replace the word,
// skip it or add it to the user list. Created by an editor for one control, shown
// modally and freed when it closes.
//
// Words travel to the engine as Windows-1252; a word with characters outside it cannot
// be in any list and is shown as unknown without suggestions (it is never converted
// lossily). One-letter words are never misspelt, whatever the letter.
//
// When "&Add Word" cannot store a word, a message says why and the word's later
// occurrences do not stop this check again. A damaged user list found on the way is
// repaired by the engine, and the user is told once.
class TSpellCheckDialog final : public QDialog {
    Q_OBJECT

public:
    explicit TSpellCheckDialog(TQpRichText* editor, QWidget* parent = nullptr);
    ~TSpellCheckDialog() override;
    Q_DISABLE_COPY_MOVE(TSpellCheckDialog)

    // The user list's section number, -1 when the dialog runs without one.
    int UserSection() const { return userSection_; }

    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildForm();
    void OpenDictionaries();
    void StartCheck();
    void CheckNextWord();
    void ShowMisspelling(const QString& word);
    void ShowRepairNotices();
    void ReportRefusal(const QString& word, AddWordResult result);
    void CompleteCheck();
    bool IsKnown(const QString& word);
    void FinishCheck();

    void ReplaceClicked();
    void SkipClicked();
    void AddClicked();
    void ReplacementChosen(QListWidgetItem* item);

    QPointer<TQpRichText> editor_;
    TZizadSpell speller_;
    int userSection_ = -1;
    bool activated_ = false;
    bool finished_ = false;
    // Words Add Word could not store, case-folded: passed over for the rest of the check.
    QSet<QString> refusedWords_;
    // What the engine reported about a damaged user list, not yet shown.
    QStringList repairNotices_;

    QLineEdit* errorEdit_ = nullptr;
    QLineEdit* replaceEdit_ = nullptr;
    QListWidget* replacementList_ = nullptr;
    QPushButton* replaceButton_ = nullptr;
    QPushButton* skipButton_ = nullptr;
    QPushButton* addButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
    QLabel* statusLabel_ = nullptr;
    std::unique_ptr<HintTargetGuard> hintGuard_;
};
