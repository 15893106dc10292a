#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QtTest>

#include "spell/TSpellCheckDialog.h"
#include "ModalAnswer.h"
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
        QCOMPARE(MessageBoxScript::Shown().size(), 1);
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
