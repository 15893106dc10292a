#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QtTest>

#include "spell/TSpellCheckDialog.h"
#include "ModalAnswer.h"
#include "SpellTestLists.h"
#include "TestPaths.h"
#include "ui/MessageBoxScript.h"
#include "ui/WindowUtils.h"
#include "common/DataFolder.h"
#include "richtext/TQpRichText.h"
#include "spell/core/SpellDictionaryFiles.h"
#include "spell/core/TZizadSpell.h"

// Drives the real spell check dialog over a real rich text control, with the shipped
// main list copied into the test's fresh data folder.
class SpellCheckDialogTest final : public QObject {
    Q_OBJECT

private:
    template <typename T>
    static T* Child(const QDialog& dialog, const char* name) {
        T* child = dialog.findChild<T*>(name);
        if (!child) {
            qWarning("missing child %s", name);
        }
        return child;
    }

    static void Click(QPushButton* button) {
        QVERIFY(button);
        QVERIFY(button->isEnabled());
        QTest::mouseClick(button, Qt::LeftButton);
    }

private slots:
    void init() {
        MessageBoxScript::Reset();
        MessageBoxScript::AnswerAll(true);
        QFile::remove(QString::fromStdString(SpellDictionaryFiles::UserListPath()));
        QFile::remove(QString::fromStdString(SpellDictionaryFiles::MainListPath()));
    }

    void cleanup() { MessageBoxScript::Reset(); }

    // The user's walk through a document with two misspellings: replace the first, add
    // the second to the user list, then "Spell check complete".
    void walksTwoMisspellingsReplacingOneAndAddingTheOther() {
        TQpRichText editor;
        editor.setPlainText("Please recieve the Quillpost fax at the dog's kennel.");
        TSpellCheckDialog dialog(&editor);
        QCOMPARE(dialog.windowTitle(), QString("Spell Check"));
        auto* error = Child<QLineEdit>(dialog, "ErrorEdit");
        auto* replace = Child<QLineEdit>(dialog, "ReplaceEdit");
        auto* list = Child<QListWidget>(dialog, "ReplacementList");
        auto* addButton = Child<QPushButton>(dialog, "AddButton");
        QVERIFY(error && replace && list && addButton);
        QCOMPARE(Child<QPushButton>(dialog, "ReplaceButton")->text(), QString("Replace "));
        QCOMPARE(Child<QPushButton>(dialog, "SkipButton")->text(), QString("&Skip Word"));
        QCOMPARE(addButton->text(), QString("&Add Word"));
        QCOMPARE(Child<QPushButton>(dialog, "CancelButton")->text(), QString("Cancel"));
        QVERIFY(addButton->isEnabled());
        // The dialog's status line is the hint target while it lives.
        QLabel* status = Child<QLabel>(dialog, "StatusLabel");
        dialog.show();
        QTRY_COMPARE(error->text(), QString("recieve"));
        QCOMPARE(HintTarget(), status);
        QVERIFY(list->count() > 0);
        QCOMPARE(list->item(0)->text(), QString("receive"));
        QCOMPARE(replace->text(), QString("receive"));
        if (qEnvironmentVariableIsSet("QP_SCREENSHOT_DIR")) {
            dialog.grab().save(qEnvironmentVariable("QP_SCREENSHOT_DIR") + "/spell-check.png");
        }
        QCOMPARE(editor.extraSelections().size(), 1);
        QCOMPARE(editor.extraSelections().first().cursor.selectedText(), QString("recieve"));

        Click(Child<QPushButton>(dialog, "ReplaceButton"));
        QCOMPARE(error->text(), QString("Quillpost"));
        QCOMPARE(editor.toPlainText(),
                 QString("Please receive the Quillpost fax at the dog's kennel."));

        Click(addButton);
        QTRY_VERIFY(!dialog.isVisible());
        const auto shown = MessageBoxScript::Shown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.first().caption, QString("Information"));
        QCOMPARE(shown.first().text, QString("Spell check complete"));
        // The posted close request removes the highlight.
        QTRY_VERIFY(editor.extraSelections().isEmpty());
        QCOMPARE(editor.toPlainText(),
                 QString("Please receive the Quillpost fax at the dog's kennel."));

        // The added word is in the user list of the data folder for the next check.
        TZizadSpell fresh;
        QVERIFY(fresh.OpenUserList(SpellDictionaryFiles::UserListPath()) >= 0);
        QVERIFY(fresh.CheckWord("quillpost"));
        QVERIFY(!fresh.CheckWord("recieve"));
    }

    // Skipping leaves the word; a click on a suggestion copies it into "Replace with".
    void skipAndChooseASuggestion() {
        TQpRichText editor;
        editor.setPlainText("Teh cat sat on teh mat.");
        TSpellCheckDialog dialog(&editor);
        auto* error = Child<QLineEdit>(dialog, "ErrorEdit");
        auto* replace = Child<QLineEdit>(dialog, "ReplaceEdit");
        auto* list = Child<QListWidget>(dialog, "ReplacementList");
        dialog.show();
        QTRY_COMPARE(error->text(), QString("Teh"));
        Click(Child<QPushButton>(dialog, "SkipButton"));
        QCOMPARE(error->text(), QString("teh"));
        const auto the = list->findItems("the", Qt::MatchExactly);
        QCOMPARE(the.size(), 1);
        list->scrollToItem(the.first());
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(the.first()).center());
        QCOMPARE(replace->text(), QString("the"));
        Click(Child<QPushButton>(dialog, "ReplaceButton"));
        QTRY_VERIFY(!dialog.isVisible());
        QCOMPARE(editor.toPlainText(), QString("Teh cat sat on the mat."));
    }

    // A document without errors (one-letter words included) completes at once.
    void correctDocumentCompletesAtOnce() {
        TQpRichText editor;
        editor.setPlainText("I saw a cat. X marks the spot; it's fine.");
        TSpellCheckDialog dialog(&editor);
        dialog.show();
        QTRY_VERIFY(!dialog.isVisible());
        QCOMPARE(MessageBoxScript::Shown().size(), 1);
        QCOMPARE(MessageBoxScript::Shown().first().text, QString("Spell check complete"));
    }

    // Cancel closes with the cancel result and removes the highlight; text stays.
    void cancelStopsTheCheck() {
        TQpRichText editor;
        editor.setPlainText("Wrnog words hree.");
        TSpellCheckDialog dialog(&editor);
        dialog.show();
        QTRY_COMPARE(Child<QLineEdit>(dialog, "ErrorEdit")->text(), QString("Wrnog"));
        QCOMPARE(editor.extraSelections().size(), 1);
        Click(Child<QPushButton>(dialog, "CancelButton"));
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QVERIFY(!dialog.isVisible());
        QVERIFY(editor.extraSelections().isEmpty());
        QVERIFY(MessageBoxScript::Shown().isEmpty());
        QCOMPARE(editor.toPlainText(), QString("Wrnog words hree."));
    }

    // Without a usable main list every word of two or more letters stops the check, and
    // words outside Windows-1252 are shown as unknown without suggestions.
    void damagedMainListAndForeignWords() {
        QFile damaged(QString::fromStdString(SpellDictionaryFiles::MainListPath()));
        QVERIFY(damaged.open(QIODevice::WriteOnly));
        damaged.write("not a dictionary");
        damaged.close();
        TQpRichText editor;
        editor.setPlainText(QString::fromUtf8("a to \xCE\xB1\xCE\xB2\xCE\xB3"));
        TSpellCheckDialog dialog(&editor);
        auto* error = Child<QLineEdit>(dialog, "ErrorEdit");
        auto* list = Child<QListWidget>(dialog, "ReplacementList");
        dialog.show();
        QTRY_COMPARE(error->text(), QString("to"));
        Click(Child<QPushButton>(dialog, "SkipButton"));
        QCOMPARE(error->text(), QString::fromUtf8("\xCE\xB1\xCE\xB2\xCE\xB3"));
        QCOMPARE(list->count(), 0);
        QCOMPARE(Child<QLineEdit>(dialog, "ReplaceEdit")->text(), error->text());
        Click(Child<QPushButton>(dialog, "AddButton")); // cannot be stored; the check goes on
        QTRY_VERIFY(!dialog.isVisible());
        QCOMPARE(MessageBoxScript::Shown().size(), 2);
        QVERIFY(MessageBoxScript::Shown().first().text.contains(QString::fromUtf8("\"\xCE\xB1\"")));
        QCOMPARE(MessageBoxScript::Shown().at(1).text, QString("Spell check complete"));
    }

    // The editors run the dialog modally: exec() returns once the check is complete.
    void modalRunEndsWhenTheCheckCompletes() {
        TQpRichText editor;
        editor.setPlainText("Helo there.");
        TSpellCheckDialog dialog(&editor);
        auto* error = Child<QLineEdit>(dialog, "ErrorEdit");
        auto answer = qptest::OnNextModal<TSpellCheckDialog>([&](TSpellCheckDialog* shown) {
            QTRY_COMPARE(error->text(), QString("Helo"));
            Child<QPushButton>(*shown, "SkipButton")->click();
        });
        dialog.exec();
        QVERIFY(answer.Wait());
        QCOMPARE(MessageBoxScript::Shown().size(), 1);
        QCOMPARE(MessageBoxScript::Shown().first().text, QString("Spell check complete"));
        QVERIFY(!dialog.isVisible());
    }

    // Add Word for words the list cannot store: the user is told why, and the word's
    // later occurrences (in any case) do not stop this check again.
    void refusedAddWordIsExplainedAndLaterOccurrencesSkipped() {
        const QString city = QString::fromUtf8("\xC5\x81\xC3\xB3\x64\xC5\xBA"); // Łódź
        const QString longWord = "Pneumonoultramicroscopicsilicovolcanoconiosis";
        TQpRichText editor;
        editor.setPlainText(city + " is far; " + city + " again. " + longWord + " and " +
                            longWord.toLower() + " twice.");
        TSpellCheckDialog dialog(&editor);
        auto* error = Child<QLineEdit>(dialog, "ErrorEdit");
        dialog.show();
        QTRY_COMPARE(error->text(), city);
        Click(Child<QPushButton>(dialog, "AddButton"));
        QCOMPARE(MessageBoxScript::Shown().size(), 1);
        const auto letter = MessageBoxScript::Shown().first();
        QCOMPARE(letter.caption, QString("Information"));
        QVERIFY2(letter.text.contains(city) && letter.text.contains("not added") &&
                     letter.text.contains(QString::fromUtf8("\"\xC5\x81\"")),
                 qPrintable(letter.text));
        // The second "Łódź" is passed over.
        QCOMPARE(error->text(), longWord);
        // The refusal, then (the lower-case repeat passed over) the end of the check.
        Click(Child<QPushButton>(dialog, "AddButton"));
        QTRY_VERIFY(!dialog.isVisible());
        QCOMPARE(MessageBoxScript::Shown().size(), 3);
        const QString tooLong = MessageBoxScript::Shown().at(1).text;
        QVERIFY2(tooLong.contains(longWord) && tooLong.contains("25"), qPrintable(tooLong));
        QCOMPARE(MessageBoxScript::Shown().at(2).text, QString("Spell check complete"));
        // Nothing was stored.
        TZizadSpell fresh;
        QVERIFY(fresh.OpenUserList(SpellDictionaryFiles::UserListPath()) >= 0);
        QVERIFY(!fresh.CheckWord("pneumonoultramicroscopicsilicovolcanoconiosis"));
    }

    // A list with no room left refuses the word and says so.
    void fullUserListRefusesTheWord() {
        spelltest::MakeNearlyFullUserList(SpellDictionaryFiles::UserListPath());
        QCOMPARE(spelltest::NodesInUse(SpellDictionaryFiles::UserListPath()), 63994);
        TQpRichText editor;
        editor.setPlainText("Zyxwvutsrq zyxwvutsrq");
        TSpellCheckDialog dialog(&editor);
        auto* error = Child<QLineEdit>(dialog, "ErrorEdit");
        dialog.show();
        QTRY_COMPARE(error->text(), QString("Zyxwvutsrq"));
        Click(Child<QPushButton>(dialog, "AddButton"));
        QTRY_VERIFY(!dialog.isVisible());
        QCOMPARE(MessageBoxScript::Shown().size(), 2);
        const QString full = MessageBoxScript::Shown().first().text;
        QVERIFY2(full.contains("Zyxwvutsrq") && full.contains("full"), qPrintable(full));
    }

    // One-letter words are never misspelt, also outside the dictionaries' character set.
    void oneLetterWordsOutsideTheCharacterSetPass() {
        TQpRichText editor;
        editor.setPlainText(QString::fromUtf8("\xC5\x82 and \xCE\xB1, x or \xD0\x96."));
        TSpellCheckDialog dialog(&editor);
        dialog.show();
        QTRY_VERIFY(!dialog.isVisible());
        QCOMPARE(MessageBoxScript::Shown().size(), 1);
        QCOMPARE(MessageBoxScript::Shown().first().text, QString("Spell check complete"));
    }

    // A damaged user list is kept aside, its words carried into a new list, and the user
    // is told once (not again by the next check).
    void damagedUserListIsRepairedAndTheUserToldOnce() {
        const QString userList = QString::fromStdString(SpellDictionaryFiles::UserListPath());
        const auto words = spelltest::RandomWords(31, 120);
        {
            TZizadSpell creator;
            QVERIFY(creator.CreateUserList(userList.toStdString(), words) >= 0);
        }
        const std::string intact = spelltest::ReadFileBytes(userList.toStdString());
        const std::string damaged = intact.substr(0, intact.size() - 1);
        spelltest::WriteFileBytes(userList.toStdString(), damaged);
        for (int run = 0; run < 2; ++run) {
            TQpRichText editor;
            editor.setPlainText(QString::fromStdString(words.front()) + " fine.");
            TSpellCheckDialog dialog(&editor);
            QVERIFY(dialog.UserSection() >= 0);
            QVERIFY(Child<QPushButton>(dialog, "AddButton")->isEnabled());
            dialog.show();
            QTRY_VERIFY(!dialog.isVisible());
        }
        const auto shown = MessageBoxScript::Shown();
        QCOMPARE(shown.size(), 3);
        QVERIFY2(shown.at(0).text.contains("damaged") && shown.at(0).text.contains("qpxu.dct"),
                 qPrintable(shown.at(0).text));
        QCOMPARE(shown.at(1).text, QString("Spell check complete"));
        QCOMPARE(shown.at(2).text, QString("Spell check complete"));
        const QStringList backups =
            QDir(QString::fromStdString(DataFolder())).entryList({"qpxu.dct?*"}, QDir::Files);
        QCOMPARE(backups.size(), 1);
        QVERIFY2(shown.at(0).text.contains(backups.first()), qPrintable(shown.at(0).text));
        QFile backup(QString::fromStdString(DataFolder()) + backups.first());
        QVERIFY(backup.open(QIODevice::ReadOnly));
        QVERIFY(backup.readAll().toStdString() == damaged);
    }

    // A user list that cannot be used leaves "&Add Word" disabled.
    void unusableUserListDisablesAddWord() {
        QFile bad(QString::fromStdString(SpellDictionaryFiles::UserListPath()));
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write("junk without a banner end");
        bad.close();
        TQpRichText editor;
        editor.setPlainText("Hello wrold");
        TSpellCheckDialog dialog(&editor);
        QCOMPARE(dialog.UserSection(), -1);
        QVERIFY(!Child<QPushButton>(dialog, "AddButton")->isEnabled());
    }
};

QTEST_MAIN(SpellCheckDialogTest)
#include "SpellCheckDialogTest.moc"
