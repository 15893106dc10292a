// New, Clone and Edit of sent faxes through the real main window and fax editor: what
// is typed reaches the sent table (also as read by "qpx table dump"), Cancel writes
// nothing, a clone's long subject is cut by the column, an edit keeps the send status,
// and "Cover Sheets" opens the template browser for managing.
#include "ModalAnswer.h"
#include "StoreFixtures.h"
#include "TestPaths.h"

#include "app/TMainScreen.h"
#include "common/DataFolder.h"
#include "common/Settings.h"
#include "dialogs/TCoverBrowse.h"
#include "dialogs/TEnterEdit.h"
#include "dialogs/TFaxEditor.h"
#include "richtext/TQpRichText.h"
#include "store/TFaxStore.h"
#include "ui/MessageBoxScript.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPushButton>
#include <QtTest>

#include <memory>

using namespace fixtures;

namespace {

const QByteArray StoredRtfStart = "{\\rtf1\\ansi\\deff0\\deftab720";

QPushButton* Button(QWidget& window, const char* name) {
    return window.findChild<QPushButton*>(name);
}

// The memo of the current record as stored.
QByteArray Memo(TTableAdapter& table, const char* field) {
    const std::string file = DataFolder() + "memo-read.rtf";
    if (!table.BlobToFile(field, file)) {
        return {};
    }
    QFile in(QString::fromStdString(file));
    in.open(QIODevice::ReadOnly);
    const QByteArray memo = in.readAll();
    in.close();
    QFile::remove(QString::fromStdString(file));
    return memo;
}

// Makes the record whose SUBJECT is `subject` current; false when there is none.
bool GoToSubject(TTableAdapter& table, const QString& subject) {
    table.First();
    do {
        if (table.HasCurrentRecord() &&
            QString::fromStdString(table.FieldString("SUBJECT")) == subject) {
            return true;
        }
    } while (table.MoveBy(1));
    return false;
}

QByteArray FileBytes(const QString& name) {
    QFile file(DataPath(name));
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

} // namespace

class FaxRecordsTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TMainScreen> StartWindow() {
        auto window = std::make_unique<TMainScreen>();
        window->show();
        [&] { QTRY_VERIFY(!window->FirstActivation()); }();
        return window;
    }

private slots:
    void init() {
        MessageBoxScript::Reset();
        ClearDataFolder();
        WriteConfiguredSettings();
        LoadSettings();
    }
    void cleanup() { MessageBoxScript::Reset(); }

    // New: recipient, number, subject and both texts typed from the keyboard are stored;
    // both memos hold RTF of the stored form; qpx reads the same row from the file.
    void newStoresWhatWasTyped() {
        auto window = StartWindow();
        {
            auto answer = qptest::OnNextModal<TFaxEditor>([](TFaxEditor* editor) {
                QWidget* field = QApplication::focusWidget();
                QTest::keyClicks(field, "Sales Desk");
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
                QTest::keyClicks(QApplication::focusWidget(), "+49 30 1234567");
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
                QTest::keyClicks(QApplication::focusWidget(), "Price list");
                Button(*editor, "CoverButton")->click();
                QTest::keyClicks(QApplication::focusWidget(), "Cover words");
                Button(*editor, "DocumentButton")->click();
                QTest::keyClicks(QApplication::focusWidget(), "Document words");
                Button(*editor, "OKButton")->click();
            });
            Button(*window, "Newbutton")->click();
            QVERIFY(answer.Wait());
        }
        TTableAdapter& fax = window->Store().FaxAdapter();
        QCOMPARE(fax.QueryRecCount(), 1);
        QVERIFY(fax.HasCurrentRecord());
        QCOMPARE(QString::fromStdString(fax.FieldString("RECIPIENT")), QString("Sales Desk"));
        QCOMPARE(QString::fromStdString(fax.FieldString("PHONE")), QString("+49 30 1234567"));
        QCOMPARE(QString::fromStdString(fax.FieldString("SUBJECT")), QString("Price list"));
        QVERIFY(!fax.FieldLogical("SENT"));
        QCOMPARE(QString::fromStdString(fax.FieldDate("DATESENT")).trimmed(), QString());
        const QByteArray cover = Memo(fax, "RTFCOVER");
        const QByteArray doc = Memo(fax, "RTFDOC");
        QVERIFY2(cover.startsWith(StoredRtfStart), cover.constData());
        QVERIFY(cover.contains("Cover words") && !cover.contains("Document words"));
        QVERIFY(doc.startsWith(StoredRtfStart));
        QVERIFY(doc.contains("Document words"));
        QVERIFY(doc.endsWith("\r\n}"));
        QVERIFY(!window->CloneRequested());
        window->close();
        window.reset();

        // An independent reader of the file sees the same row and memos.
        std::string output;
        const std::string qpx = (qptest::BinaryDir() / "bin" / "qpx").string();
        QCOMPARE(qptest::RunCommand(qpx + " table dump '" + DataFolder() + "QPX.DBF' --json 2>&1",
                                    &output),
                 0);
        const QJsonArray rows = QJsonDocument::fromJson(QByteArray::fromStdString(output)).array();
        QCOMPARE(rows.size(), 1);
        const QJsonObject row = rows[0].toObject();
        QCOMPARE(row["RECIPIENT"].toString().trimmed(), QString("Sales Desk"));
        QCOMPARE(row["SUBJECT"].toString().trimmed(), QString("Price list"));
        QCOMPARE(row["PHONE"].toString().trimmed(), QString("+49 30 1234567"));
        QCOMPARE(row["RTFDOC"].toString().toLatin1(), doc);
        QCOMPARE(row["RTFCOVER"].toString().toLatin1(), cover);
    }

    // New with Cancel (button or Escape) leaves the table files as they were.
    void cancelledNewWritesNothing() {
        auto window = StartWindow();
        AddSentFax(window->Store().FaxAdapter(), {"Existing", false, "", "", "Ann", "1", 0, ""});
        window->Store().FaxTableCloseAndOpen();
        const QByteArray table = FileBytes("QPX.DBF");
        const QByteArray memos = FileBytes("QPX.FPT");
        for (bool escape : {false, true}) {
            auto answer = qptest::OnNextModal<TFaxEditor>([escape](TFaxEditor* editor) {
                QTest::keyClicks(editor->Recipient(), "Nobody");
                QTest::keyClicks(editor->WPDoc(), "Lost text");
                if (escape) {
                    QTest::keyClick(editor, Qt::Key_Escape);
                } else {
                    Button(*editor, "CancelButton")->click();
                }
            });
            Button(*window, "Newbutton")->click();
            QVERIFY(answer.Wait());
        }
        QCOMPARE(window->Store().FaxAdapter().QueryRecCount(), 1);
        QCOMPARE(FileBytes("QPX.DBF"), table);
        QCOMPARE(FileBytes("QPX.FPT"), memos);
    }

    // New starts both editors with the settings' default font.
    void newAppliesTheDefaultFont() {
        auto window = StartWindow(); // reads the settings file
        Settings().fontName = "Courier New";
        Settings().fontSize = 16;
        Settings().fontItalic = true;
        auto answer = qptest::OnNextModal<TFaxEditor>([](TFaxEditor* editor) {
            for (TQpRichText* text : {editor->WPCover(), editor->WPDoc()}) {
                QVERIFY(text->IsEmpty());
                QCOMPARE(text->FontName(), QString("Courier New"));
                QCOMPARE(text->FontSize(), 16);
                QVERIFY(text->Italic());
                QVERIFY(!text->Bold());
            }
            QVERIFY(editor->Recipient()->text().isEmpty());
            Button(*editor, "CancelButton")->click();
        });
        Button(*window, "Newbutton")->click();
        QVERIFY(answer.Wait());
    }

    // Clone of a 50-character subject gives "[clone]" + subject to the editor; the
    // stored subject is the column's 50 characters; Cancel clears the request too.
    void cloneOfALongSubject() {
        auto window = StartWindow();
        const QString subject = QString("Annual maintenance contract renewal, second reminder");
        QVERIFY(subject.size() >= 50);
        const QString stored = subject.left(50);
        AddSentFax(window->Store().FaxAdapter(),
                   {stored.toStdString(), true, "20260301", "09:15", "Ann Baker", "555-0101", 3,
                    "Fax sent successfully"});
        window->Store().FaxTableCloseAndOpen();
        window->SetButtons();

        QString shown;
        {
            auto answer = qptest::OnNextModal<TFaxEditor>([&](TFaxEditor* editor) {
                shown = editor->Subject()->text();
                QCOMPARE(editor->Recipient()->text(), QString("Ann Baker"));
                QCOMPARE(editor->FaxNumber()->text(), QString("555-0101"));
                Button(*editor, "CancelButton")->click();
            });
            Button(*window, "CloneButton")->click();
            QVERIFY(answer.Wait());
        }
        QCOMPARE(shown, "[clone]" + stored);
        QVERIFY(!window->CloneRequested());
        QCOMPARE(window->Store().FaxAdapter().QueryRecCount(), 1);

        {
            auto answer = qptest::OnNextModal<TFaxEditor>(
                [](TFaxEditor* editor) { Button(*editor, "OKButton")->click(); });
            Button(*window, "CloneButton")->click();
            QVERIFY(answer.Wait());
        }
        QVERIFY(!window->CloneRequested());
        TTableAdapter& fax = window->Store().FaxAdapter();
        QCOMPARE(fax.QueryRecCount(), 2);
        const QString clonedSubject = ("[clone]" + stored).left(50);
        QVERIFY(GoToSubject(fax, clonedSubject));
        QCOMPARE(QString::fromStdString(fax.FieldString("RECIPIENT")), QString("Ann Baker"));
        // A clone is a new, unsent fax.
        QVERIFY(!fax.FieldLogical("SENT"));
        QCOMPARE(QString::fromStdString(fax.FieldString("LASTRESULT")), QString());

        // The next New is a plain one.
        auto answer = qptest::OnNextModal<TFaxEditor>([](TFaxEditor* editor) {
            QVERIFY(editor->Subject()->text().isEmpty());
            Button(*editor, "CancelButton")->click();
        });
        Button(*window, "Newbutton")->click();
        QVERIFY(answer.Wait());
    }

    // Edit changes the texts of the current fax and keeps its send status, date, time,
    // pages and last result; the texts come back into the editor as stored.
    void editKeepsTheSendStatus() {
        auto window = StartWindow();
        AddSentFax(window->Store().FaxAdapter(),
                   {"Original", true, "20260301", "09:15", "Ann Baker", "555-0101", 3,
                    "Fax sent successfully"});
        window->Store().FaxTableCloseAndOpen();
        window->SetButtons();
        {
            auto answer = qptest::OnNextModal<TFaxEditor>([](TFaxEditor* editor) {
                QCOMPARE(editor->Subject()->text(), QString("Original"));
                QVERIFY(editor->WPDoc()->IsEmpty());
                editor->Subject()->selectAll();
                QTest::keyClicks(editor->Subject(), "Changed");
                Button(*editor, "DocumentButton")->click();
                QTest::keyClicks(editor->WPDoc(), "New body");
                Button(*editor, "OKButton")->click();
            });
            Button(*window, "EditButton")->click();
            QVERIFY(answer.Wait());
        }
        TTableAdapter& fax = window->Store().FaxAdapter();
        QCOMPARE(fax.QueryRecCount(), 1);
        QVERIFY(GoToSubject(fax, "Changed"));
        QVERIFY(fax.FieldLogical("SENT"));
        QCOMPARE(QString::fromStdString(fax.FieldDate("DATESENT")), QString("20260301"));
        QCOMPARE(QString::fromStdString(fax.FieldString("TIMESENT")), QString("09:15"));
        QCOMPARE(QString::fromStdString(fax.FieldString("PAGES")).trimmed(), QString("3"));
        QCOMPARE(QString::fromStdString(fax.FieldString("LASTRESULT")),
                 QString("Fax sent successfully"));
        QVERIFY(Memo(fax, "RTFDOC").contains("New body"));

        auto again = qptest::OnNextModal<TFaxEditor>([](TFaxEditor* editor) {
            QCOMPARE(editor->WPDoc()->toPlainText(), QString("New body"));
            Button(*editor, "CancelButton")->click();
        });
        Button(*window, "EditButton")->click();
        QVERIFY(again.Wait());
    }

    // "Cover Sheets" opens the browser for managing (Close shown, Accept and Cancel
    // hidden) on the cover table, which is closed again afterwards.
    void coverSheetsOpensTheBrowserForManaging() {
        auto window = StartWindow();
        auto answer = qptest::OnNextModal<TCoverBrowse>([](TCoverBrowse* browser) {
            QVERIFY(browser->findChild<QPushButton*>("CloseButton")->isVisible());
            QVERIFY(!browser->findChild<QPushButton*>("Acceptbutton")->isVisible());
            QVERIFY(!browser->findChild<QPushButton*>("CancelButton")->isVisible());
            browser->findChild<QPushButton*>("CloseButton")->click();
        });
        window->findChild<QAction*>("CoverSheets1")->trigger();
        QVERIFY(answer.Wait());
        QVERIFY(!window->Store().CoverAdapter().Active());
        QVERIFY(QFile::exists(DataPath("QPXCOV.DBF")));
    }
};

QTEST_MAIN(FaxRecordsTest)
#include "FaxRecordsTest.moc"
