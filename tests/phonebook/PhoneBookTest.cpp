// The phone book windows on a real phone book table in the test's data folder: first
// opening, adding, editing, deleting with confirmation, button states in both modes,
// choosing an entry, and the entry editor's limits and hints.
#include "dialogs/TPhoneBook.h"
#include "dialogs/TPhoneBookEditor.h"

#include "ModalAnswer.h"
#include "TypeText.h"

#include "ui/MessageBoxScript.h"
#include "ui/WindowUtils.h"
#include "store/TTableEnv.h"
#include "common/DataFolder.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QtTest>

#include <filesystem>
#include <functional>
#include "SourcePlace.h"

namespace {

// Runs `open`, which opens the entry editor modally, and answers the editor with `action`.
void WithEditor(const std::function<void()>& open, std::function<void(TPhoneBookEditor*)> action,
                qptest::SourcePlace where = qptest::SourcePlace::Current()) {
    auto answer = qptest::OnNextModal<TPhoneBookEditor>(
        std::move(action), qptest::ModalAnswer::DefaultTimeoutMs, where);
    open();
}

void TypeEntry(TPhoneBookEditor* editor, const QString& name, const QString& number,
               bool accept = true) {
    editor->Name()->clear();
    QTest::keyClicks(editor->Name(), name);
    editor->Number()->clear();
    QTest::keyClicks(editor->Number(), number);
    editor->findChild<QPushButton*>(accept ? "OKButton" : "Cancelbutton")->click();
}

QPushButton* ButtonOf(QWidget* window, const char* name) {
    return window->findChild<QPushButton*>(name);
}

QString GridText(TPhoneBook& book, int row, int column) {
    return book.PhoneGrid()->model()->index(row, column).data().toString();
}

void RemovePhoneBook() {
    for (const char* name : {"QPXPB.DBF", "QPXPB.CDX", "QPXPB.FPT"}) {
        std::filesystem::remove(DataFolder() + name);
    }
}

} // namespace

class PhoneBookTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { TTableEnv::Instance().SetDeleted(true); }
    void cleanupTestCase() { TTableEnv::Instance().Shutdown(); }
    void init() {
        RemovePhoneBook();
        MessageBoxScript::Reset();
    }

    // Opening the phone book for the first time creates an empty table; Edit, Delete and
    // Accept are disabled, New is enabled; the two modes show their buttons.
    void firstOpenCreatesEmptyTable() {
        TPhoneBook book;
        QVERIFY(book.OpenTable());
        QVERIFY(std::filesystem::exists(DataFolder() + "QPXPB.DBF"));
        book.SetChoosingMode(true);
        book.show();
        QVERIFY(QTest::qWaitForWindowExposed(&book));
        QVERIFY(ButtonOf(&book, "Addbutton")->isEnabled());
        QVERIFY(!ButtonOf(&book, "Modifybutton")->isEnabled());
        QVERIFY(!ButtonOf(&book, "Deletebutton")->isEnabled());
        QVERIFY(!ButtonOf(&book, "OKButton")->isEnabled());
        QVERIFY(ButtonOf(&book, "OKButton")->isVisible());
        QVERIFY(ButtonOf(&book, "Cancelbutton")->isVisible());
        QVERIFY(!ButtonOf(&book, "Closebutton")->isVisible());
        book.SetChoosingMode(false);
        QVERIFY(!ButtonOf(&book, "OKButton")->isVisible());
        QVERIFY(!ButtonOf(&book, "Cancelbutton")->isVisible());
        QVERIFY(ButtonOf(&book, "Closebutton")->isVisible());
        QCOMPARE(book.windowTitle(), QString("Phone Book Browser"));
        QCOMPARE(book.size(), QSize(592, 403));
        QCOMPARE(HintTarget(), book.StatusLine());
        QCOMPARE(book.StatusLine()->height(), 41);
    }

    // Adding the first entry enables Edit, Delete and Accept; names and numbers are cut to
    // the column widths as they are typed; the list follows the NAME index.
    void addsEntries() {
        TPhoneBook book;
        QVERIFY(book.OpenTable());
        book.SetChoosingMode(true);
        book.show();
        WithEditor([&] { ButtonOf(&book, "Addbutton")->click(); },
                   [](TPhoneBookEditor* editor) {
                       TypeEntry(editor, QString(40, 'Z'), "0123456789012345678901234567890");
                   });
        QVERIFY(ButtonOf(&book, "Modifybutton")->isEnabled());
        QVERIFY(ButtonOf(&book, "Deletebutton")->isEnabled());
        QVERIFY(ButtonOf(&book, "OKButton")->isEnabled());
        WithEditor([&] { ButtonOf(&book, "Addbutton")->click(); },
                   [](TPhoneBookEditor* editor) { TypeEntry(editor, "Alpha Office", "555 1234"); });
        WithEditor([&] { ButtonOf(&book, "Addbutton")->click(); },
                   [](TPhoneBookEditor* editor) { TypeEntry(editor, "Not stored", "1", false); });

        QCOMPARE(book.PhoneGrid()->model()->rowCount(), 2);
        QCOMPARE(GridText(book, 0, 0), QString("Alpha Office"));
        QCOMPARE(GridText(book, 0, 1), QString("555 1234"));
        QCOMPARE(GridText(book, 1, 0), QString(35, 'Z'));
        QCOMPARE(GridText(book, 1, 1), QString("0123456789012345678901234"));
        QCOMPARE(book.PhoneGrid()->model()->headerData(0, Qt::Horizontal).toString(),
                 QString("Name"));
        QCOMPARE(book.PhoneGrid()->model()->headerData(1, Qt::Horizontal).toString(),
                 QString("Fax #"));
    }

    // Text outside the table's code page is not stored as "?": letters with a close
    // equivalent are replaced as typed, others refused, and the status line says so.
    void foreignLettersAreFittedNotLost() {
        TPhoneBook book;
        QVERIFY(book.OpenTable());
        book.show();
        QString typed;
        QString status;
        WithEditor([&] { book.AddbuttonClick(); },
                   [&](TPhoneBookEditor* editor) {
                       editor->Name()->clear();
                       qptest::TypeText(editor->Name(), QString::fromUtf8("Łukasz Dvořák 日本"));
                       typed = editor->Name()->text();
                       status = editor->StatusLine()->text();
                       editor->findChild<QPushButton*>("OKButton")->click();
                   });
        QCOMPARE(typed, QString::fromUtf8("Lukasz Dvorák "));
        QVERIFY2(status.contains(QString::fromUtf8("\"本\"")), qPrintable(status));
        QCOMPARE(GridText(book, 0, 0), QString::fromUtf8("Lukasz Dvorák"));
        QCOMPARE(book.PhoneAdapter().FieldString("NAME").find('?'), std::string::npos);
    }

    // Edit fills the editor from the current row and stores the changes on Accept; an
    // empty name is stored unchanged.
    void editsCurrentEntry() {
        TPhoneBook book;
        QVERIFY(book.OpenTable());
        book.show();
        WithEditor([&] { book.AddbuttonClick(); },
                   [](TPhoneBookEditor* editor) { TypeEntry(editor, "Sales Desk", "111"); });
        QString seenName;
        WithEditor([&] { book.ModifybuttonClick(); },
                   [&seenName](TPhoneBookEditor* editor) {
                       seenName = editor->Name()->text();
                       TypeEntry(editor, "", "222");
                   });
        QCOMPARE(seenName, QString("Sales Desk"));
        QCOMPARE(GridText(book, 0, 0), QString());
        QCOMPARE(GridText(book, 0, 1), QString("222"));
    }

    // Delete asks with the entry's name and "No" as the default; No keeps the row, Yes
    // deletes it; deleting the last entry disables the buttons again; on an empty table
    // Edit and Delete do nothing.
    void deletesWithConfirmation() {
        TPhoneBook book;
        QVERIFY(book.OpenTable());
        book.SetChoosingMode(true);
        book.show();
        WithEditor([&] { book.AddbuttonClick(); },
                   [](TPhoneBookEditor* editor) { TypeEntry(editor, "Only One", "9"); });

        MessageBoxScript::PushAnswer(false);
        ButtonOf(&book, "Deletebutton")->click();
        QCOMPARE(MessageBoxScript::Shown().size(), 1);
        QCOMPARE(MessageBoxScript::Shown()[0].caption, QString("Delete"));
        QCOMPARE(MessageBoxScript::Shown()[0].text,
                 QString("Delete the current phone book entry?:\rOnly One"));
        QCOMPARE(book.PhoneGrid()->model()->rowCount(), 1);

        MessageBoxScript::PushAnswer(true);
        ButtonOf(&book, "Deletebutton")->click();
        QCOMPARE(book.PhoneGrid()->model()->rowCount(), 0);
        QVERIFY(!ButtonOf(&book, "Modifybutton")->isEnabled());
        QVERIFY(!ButtonOf(&book, "Deletebutton")->isEnabled());
        QVERIFY(!ButtonOf(&book, "OKButton")->isEnabled());

        book.DeletebuttonClick();
        book.ModifybuttonClick(); // would block on a modal editor if it opened one
        QCOMPARE(MessageBoxScript::Shown().size(), 2);
        QCOMPARE(book.PhoneAdapter().RecCount(), 1L); // the deleted mark, not removal
    }

    // Accept returns the current entry's name and number with result OK; Cancel and
    // Close give Cancel.
    void acceptReturnsChosenEntry() {
        TPhoneBook book;
        QVERIFY(book.OpenTable());
        book.SetChoosingMode(true);
        book.show();
        WithEditor([&] { book.AddbuttonClick(); },
                   [](TPhoneBookEditor* editor) { TypeEntry(editor, "Beta", "222"); });
        WithEditor([&] { book.AddbuttonClick(); },
                   [](TPhoneBookEditor* editor) { TypeEntry(editor, "Alpha", "111"); });
        book.PhoneGrid()->selectRow(1);
        ButtonOf(&book, "OKButton")->click();
        QCOMPARE(book.result(), int(QDialog::Accepted));
        QCOMPARE(book.ChosenName(), QString("Beta"));
        QCOMPARE(book.ChosenNumber(), QString("222"));

        book.show();
        ButtonOf(&book, "Cancelbutton")->click();
        QCOMPARE(book.result(), int(QDialog::Rejected));
    }

    // The entry editor: caption, size, limits, hints, status line as hint target while it
    // exists, and the previous target back afterwards.
    void entryEditorLayout() {
        QLabel previous;
        SetHintTarget(&previous);
        {
            TPhoneBookEditor editor;
            editor.show();
            QVERIFY(QTest::qWaitForWindowExposed(&editor));
            QCOMPARE(editor.windowTitle(), QString("Phone Book Editor"));
            QCOMPARE(editor.size(), QSize(331, 200));
            QCOMPARE(editor.Name()->maxLength(), 35);
            QCOMPARE(editor.Number()->maxLength(), 25);
            QCOMPARE(editor.Name()->statusTip(), QString("Type the recipient's name here"));
            QCOMPARE(editor.Number()->statusTip(), QString("Type the fax number here"));
            QCOMPARE(ButtonOf(&editor, "OKButton")->text(), QString("&Accept"));
            QCOMPARE(ButtonOf(&editor, "OKButton")->statusTip(),
                     QString("Accept changes made and exit"));
            QCOMPARE(ButtonOf(&editor, "Cancelbutton")->statusTip(),
                     QString("Cancel changes made and exit"));
            QCOMPARE(ButtonOf(&editor, "Helpbutton")->statusTip(),
                     QString("Get Windows help for Phone Book Editor"));
            QCOMPARE(HintTarget(), editor.StatusLine());
        }
        QCOMPARE(HintTarget(), &previous);
        SetHintTarget(nullptr);
    }
};

QTEST_MAIN(PhoneBookTest)
#include "PhoneBookTest.moc"
