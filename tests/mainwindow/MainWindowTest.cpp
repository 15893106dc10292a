// Drives the real main window on the test's own data folder.
#include "ModalAnswer.h"
#include "TypeText.h"
#include "StoreFixtures.h"

#include "ui/MessageBoxScript.h"
#include "app/TMainScreen.h"
#include "ui/WindowUtils.h"
#include "store/TFaxStore.h"
#include "store/TTableEnv.h"
#include "store/TTableModel.h"
#include "common/IniFile.h"
#include "common/Version.h"
#include "common/Settings.h"
#include "dialogs/TEditReceiveNotes.h"
#include "ui/THelpBrowser.h"
#include "dialogs/TPhoneBook.h"
#include "dialogs/TPhoneBookEditor.h"
#include "dialogs/TPreferences.h"
#include "tables/TableEngine.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTabBar>
#include <QTableView>
#include <QTextBrowser>
#include <QtTest>

#include <memory>

using namespace fixtures;

namespace {

// The key expression of a table's first tag, read from the file itself.
std::string TagKeyOf(const QString& table) {
    qp::tables::TableEngine engine;
    if (engine.Use(table.toStdString()) <= 0 || engine.TagCount() < 1) {
        return "<no tag>";
    }
    std::string key = engine.Tag(1).keyExpr;
    engine.Close();
    return key;
}

long RecCountOf(const QString& table) {
    qp::tables::TableEngine engine;
    if (engine.Use(table.toStdString()) <= 0) {
        return -1;
    }
    const long count = engine.RecCount();
    engine.Close();
    return count;
}

QPushButton* Button(TMainScreen& window, const char* name) {
    return window.findChild<QPushButton*>(name);
}

QAction* MenuItem(TMainScreen& window, const char* name) {
    return window.findChild<QAction*>(name);
}

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private:
    // A shown main window whose first activation has run.
    std::unique_ptr<TMainScreen> StartWindow() {
        auto window = std::make_unique<TMainScreen>();
        window->show();
        [&] { QTRY_VERIFY(!window->FirstActivation()); }();
        return window;
    }

    void AddSampleRows(TMainScreen& window) {
        TTableAdapter& fax = window.Store().FaxAdapter();
        AddSentFax(fax, {"Quarterly figures", true, "20260301", "09:15", "Ann Baker", "555-0101", 3,
                         "Fax sent successfully"});
        AddSentFax(fax, {"Draft contract", false, "", "", "Carl Dunn", "555-0199", 0, ""});
        window.Store().FaxTableCloseAndOpen();
        TTableAdapter& rec = window.Store().RecAdapter();
        AddReceivedFax(rec, {"20260302", "10:20", "+1 555 0123", 2, "FAX0001.APF", ""});
        AddReceivedFax(rec, {"20260303", "11:45", "ACME SALES", 1, "FAX0002.APF", "order"});
        window.Store().RecTableCloseAndOpen();
        window.SetButtons();
    }

private slots:
    void init() {
        MessageBoxScript::Reset();
        ClearDataFolder();
        LoadSettings();
    }

    void cleanup() { MessageBoxScript::Reset(); }

    // A first start without any files creates the tables and their indexes, keeps port 0
    // in memory and opens the preferences with the welcome box; cancelling writes nothing.
    void firstStartCreatesTablesAndOpensPreferences() {
        MessageBoxScript::AnswerAll(true);
        auto preferences = qptest::OnNextModal<TPreferences>([](TPreferences* dialog) {
            // The welcome box comes first, over the dialog.
            QTRY_VERIFY(!MessageBoxScript::Shown().isEmpty());
            dialog->findChild<QPushButton*>("Cancelbutton")->click();
        });
        auto window = StartWindow();
        QVERIFY(preferences.Wait());
        for (const char* name : {"QPX.DBF", "QPX.CDX", "QPXREC.DBF", "QPXREC.CDX"}) {
            QVERIFY2(QFile::exists(DataPath(name)), name);
        }
        QCOMPARE(Settings().comPort, 0);
        QVERIFY(!window->ShowPreferencesOnStart());
        const auto shown = MessageBoxScript::Shown();
        QVERIFY(std::any_of(shown.begin(), shown.end(), [](const auto& box) {
            // without a USB modem a paragraph on the test line follows
            return box.text.startsWith(TPreferences::WelcomeText);
        }));
        QVERIFY(!IniFile(SettingsFileName()).HasKey("Modem", "ComPort"));
        QVERIFY(!QFile::exists(DataPath("QPXPB.DBF"))); // opened only when needed
        QVERIFY(QFileInfo(DataPath("receive")).isDir());
    }

    // With settings present the preferences stay closed at start.
    void configuredStartShowsNoPreferences() {
        WriteConfiguredSettings();
        auto window = StartWindow();
        QVERIFY(MessageBoxScript::Shown().isEmpty());
        QCOMPARE(window->windowTitle(), QStringLiteral("Quillpost "));
        QVERIFY(window->StatusLine() == HintTarget());
    }

    // Started minimised (the shortcut's show state) the window stays minimised, with its
    // tables open.
    void startsMinimized() {
        WriteConfiguredSettings();
        TMainScreen window(true);
        window.ShowAtStart();
        QTRY_VERIFY(!window.FirstActivation());
        QVERIFY(window.isMinimized());
        QVERIFY(window.Store().FaxAdapter().Active());
        QVERIFY(window.Store().RecAdapter().Active());
    }

    // Command enabling on both pages, empty and filled tables, receive mode off and on.
    void setButtonsFollowsTablesPageAndReceiveMode() {
        WriteConfiguredSettings();
        auto window = StartWindow();
        auto enabled = [&](const char* button) { return Button(*window, button)->isEnabled(); };

        // Empty sent table, Sent page.
        QVERIFY(!window->findChild<QTableView*>("FaxGrid")->isEnabled());
        QVERIFY(enabled("Newbutton"));
        for (const char* b :
             {"EditButton", "CloneButton", "DeleteButton", "SendButton", "ViewFaxButton"}) {
            QVERIFY2(!enabled(b), b);
        }
        QVERIFY(enabled("ReceiveButton"));
        QCOMPARE(window->Store().FaxAdapter().IndexOrd(), 0);

        AddSampleRows(*window);
        QVERIFY(window->findChild<QTableView*>("FaxGrid")->isEnabled());
        for (const char* b : {"Newbutton", "EditButton", "CloneButton", "DeleteButton",
                              "SendButton", "ViewFaxButton", "ReceiveButton"}) {
            QVERIFY2(enabled(b), b);
        }
        QVERIFY(MenuItem(*window, "SendFax1")->isEnabled());
        // With a current record the date tag is the order.
        TTableAdapter& fax = window->Store().FaxAdapter();
        QCOMPARE(fax.IndexOrd(), fax.TagArea("DATESENT"));

        // Received page: New, Clone and Send are off whatever the tables hold.
        window->findChild<QTabBar*>("TabSet1")->setCurrentIndex(TMainScreen::ReceivedPage);
        QCOMPARE(window->CurrentPage(), int(TMainScreen::ReceivedPage));
        for (const char* b : {"Newbutton", "CloneButton", "SendButton"}) {
            QVERIFY2(!enabled(b), b);
        }
        for (const char* b : {"EditButton", "DeleteButton", "ViewFaxButton"}) {
            QVERIFY2(enabled(b), b);
        }
        QVERIFY(!MenuItem(*window, "New1")->isEnabled());

        // Receive mode: Edit and Delete off on the Received page, View and Receive on.
        window->SetReceiving(true);
        window->SetButtons();
        QVERIFY(!enabled("EditButton"));
        QVERIFY(!enabled("DeleteButton"));
        QVERIFY(enabled("ViewFaxButton"));
        QVERIFY(enabled("ReceiveButton"));
        QVERIFY(!MenuItem(*window, "RebuildIndexes1")->isEnabled());
        QVERIFY(!MenuItem(*window, "Preferences1")->isEnabled());
        QVERIFY(MenuItem(*window, "ReceiveFaxes1")->isEnabled());

        // Sent page in receive mode: Send off, the rest on.
        window->findChild<QTabBar*>("TabSet1")->setCurrentIndex(TMainScreen::SentPage);
        QVERIFY(!enabled("SendButton"));
        QVERIFY(enabled("EditButton"));
        QVERIFY(enabled("CloneButton"));
        window->SetReceiving(false);
        window->SetButtons();
        QVERIFY(MenuItem(*window, "Preferences1")->isEnabled());
    }

    // Deleting a sent fax marks the record; the row leaves the grid but stays in the file.
    void deleteSentFaxAsksAndMarks() {
        WriteConfiguredSettings();
        auto window = StartWindow();
        AddSampleRows(*window);
        TTableAdapter& fax = window->Store().FaxAdapter();
        QCOMPARE(window->FaxModel()->rowCount(), 2);
        const std::string subject = fax.FieldString("SUBJECT");

        MessageBoxScript::PushAnswer(false);
        Button(*window, "DeleteButton")->click();
        QCOMPARE(fax.QueryRecCount(), 2L);
        QCOMPARE(MessageBoxScript::Shown().constLast().caption, QStringLiteral("Delete"));
        QCOMPARE(MessageBoxScript::Shown().constLast().text,
                 QStringLiteral("Delete the current fax?\n(subject: \"%1\")")
                     .arg(QString::fromStdString(subject)));

        MessageBoxScript::PushAnswer(true);
        Button(*window, "DeleteButton")->click();
        QCOMPARE(fax.QueryRecCount(), 1L);
        QCOMPARE(fax.RecCount(), 2L);
        QCOMPARE(window->FaxModel()->rowCount(), 1);

        MessageBoxScript::PushAnswer(true);
        Button(*window, "DeleteButton")->click();
        QCOMPARE(fax.QueryRecCount(), 0L);
        QVERIFY(!fax.HasCurrentRecord());
        QCOMPARE(fax.RecNo(), 3L); // record count + 1
        QVERIFY(!Button(*window, "DeleteButton")->isEnabled());
        QCOMPARE(fax.IndexOrd(), 0);
    }

    // Deleting a received fax removes its APF file too; a missing file is no error.
    void deleteReceivedFaxRemovesItsFile() {
        WriteConfiguredSettings();
        auto window = StartWindow();
        AddSampleRows(*window);
        for (const char* name : {"FAX0001.APF", "FAX0002.APF"}) {
            QFile file(DataPath(QStringLiteral("receive/") + name));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("APF");
        }
        QFile::remove(DataPath("receive/FAX0002.APF")); // one file already gone
        // A record that names a file outside the receive folder must not reach it.
        TTableAdapter& rec = window->Store().RecAdapter();
        AddReceivedFax(rec, {"20260304", "12:00", "INTRUDER", 1, "../QPX.DBF", ""});
        window->Store().RecTableCloseAndOpen();
        window->findChild<QTabBar*>("TabSet1")->setCurrentIndex(TMainScreen::ReceivedPage);

        MessageBoxScript::AnswerAll(true);
        int deleted = 0;
        while (rec.HasCurrentRecord() && deleted < 5) {
            const QString from = QString::fromStdString(rec.FieldString("FROM"));
            Button(*window, "DeleteButton")->click();
            QCOMPARE(MessageBoxScript::Shown().constLast().text,
                     QStringLiteral("Delete the current fax?\n(from: \"%1\")").arg(from));
            ++deleted;
        }
        QCOMPARE(deleted, 3);
        QCOMPARE(rec.QueryRecCount(), 0L);
        QVERIFY(!QFile::exists(DataPath("receive/FAX0001.APF")));
        QVERIFY(QFile::exists(DataPath("QPX.DBF")));
        QCOMPARE(MessageBoxScript::Shown().size(), 3); // no error boxes
        QVERIFY(!Button(*window, "EditButton")->isEnabled());
    }

    // Rebuild Indexes packs the deleted records away, keys the sent tag on the date
    // alone and creates the missing phone book.
    void rebuildIndexesPacksAndRekeys() {
        WriteConfiguredSettings();
        {
            auto window = StartWindow();
            AddSampleRows(*window);
            TTableAdapter& fax = window->Store().FaxAdapter();
            fax.First();
            fax.Delete();
            QCOMPARE(fax.RecCount(), 2L);
            window->findChild<QAction*>("RebuildIndexes1")->trigger();
            QCOMPARE(fax.RecCount(), 1L);
            QCOMPARE(fax.QueryRecCount(), 1L);
            QCOMPARE(window->FaxModel()->rowCount(), 1);
            QCOMPARE(window->Store().RecAdapter().RecCount(), 2L);
            QVERIFY(Button(*window, "EditButton")->isEnabled());
            QVERIFY(!window->Store().PhoneAdapter().Active());
            QVERIFY(!window->Store().CoverAdapter().Active());
        }
        QCOMPARE(TagKeyOf(DataPath("QPX.DBF")), std::string("datesent"));
        QCOMPARE(TagKeyOf(DataPath("QPXREC.DBF")), std::string("DTOS(DATEREC)+TIMEREC"));
        QVERIFY(QFile::exists(DataPath("QPXPB.DBF")));
        QVERIFY(QFile::exists(DataPath("QPXPB.CDX")));
        QCOMPARE(TagKeyOf(DataPath("QPXPB.DBF")), std::string("NAME"));
        QCOMPARE(TagKeyOf(DataPath("QPXCOV.DBF")), std::string("DESCRIPT"));
        QCOMPARE(RecCountOf(DataPath("QPX.DBF")), 1L);
    }

    // A deleted index file is recreated at the next start with the key used at open.
    void missingIndexRecreatedAtStart() {
        WriteConfiguredSettings();
        {
            auto window = StartWindow();
            AddSampleRows(*window);
            window->findChild<QAction*>("RebuildIndexes1")->trigger();
        }
        QVERIFY(QFile::remove(DataPath("QPX.CDX")));
        QVERIFY(QFile::remove(DataPath("QPXREC.CDX")));
        {
            auto window = StartWindow();
            QVERIFY(QFile::exists(DataPath("QPX.CDX")));
            QVERIFY(QFile::exists(DataPath("QPXREC.CDX")));
            QCOMPARE(window->FaxModel()->rowCount(), 2);
            QCOMPARE(window->RecModel()->rowCount(), 2);
        }
        QCOMPARE(TagKeyOf(DataPath("QPX.DBF")), std::string("DTOS(DATESENT)+TIMESENT"));
        QCOMPARE(TagKeyOf(DataPath("QPXREC.DBF")), std::string("DTOS(DATEREC)+TIMEREC"));
    }

    // The notes window takes at most 60 characters and writes them to the record.
    void notesWindowLimitsAndWritesBack() {
        WriteConfiguredSettings();
        auto window = StartWindow();
        AddSampleRows(*window);
        window->findChild<QTabBar*>("TabSet1")->setCurrentIndex(TMainScreen::ReceivedPage);
        TTableAdapter& rec = window->Store().RecAdapter();
        const long recno = rec.RecNo();
        const QString from = QString::fromStdString(rec.FieldString("FROM"));

        QString descript;
        int shownLength = 0;
        {
            auto answer = qptest::OnNextModal<TEditReceiveNotes>([&](TEditReceiveNotes* notes) {
                QCOMPARE(notes->windowTitle(), QStringLiteral("Received Fax Notes"));
                descript = notes->Descript()->text();
                notes->Notes()->clear();
                QTest::keyClicks(notes->Notes(), QString(70, QChar('n')));
                shownLength = notes->Notes()->text().size();
                notes->findChild<QPushButton*>("AcceptButton")->click();
            });
            Button(*window, "EditButton")->click();
        }
        QCOMPARE(descript, QStringLiteral("From: ") + from);
        QCOMPARE(shownLength, 60);
        QCOMPARE(rec.RecNo(), recno);
        QCOMPARE(rec.FieldString("NOTES"), std::string(60, 'n'));

        // Characters the notes column cannot hold are replaced or refused as typed.
        {
            auto answer = qptest::OnNextModal<TEditReceiveNotes>([](TEditReceiveNotes* notes) {
                notes->Notes()->clear();
                qptest::TypeText(notes->Notes(), QString::fromUtf8("Zoë – łódź 日"));
                QCOMPARE(notes->Notes()->text(), QString::fromUtf8("Zoë – lódz "));
                QVERIFY(notes->findChild<QLabel*>("status")->text().contains(
                    QString::fromUtf8("\"日\"")));
                notes->findChild<QPushButton*>("AcceptButton")->click();
            });
            Button(*window, "EditButton")->click();
        }
        QCOMPARE(QString::fromStdString(rec.FieldString("NOTES")), QString::fromUtf8("Zoë – lódz"));

        // Cancel leaves the notes as they are.
        {
            auto answer = qptest::OnNextModal<TEditReceiveNotes>([](TEditReceiveNotes* notes) {
                notes->Notes()->setText("discarded");
                notes->findChild<QPushButton*>("CancelButton")->click();
            });
            window->findChild<QAction*>("Edit1")->trigger();
        }
        QCOMPARE(QString::fromStdString(rec.FieldString("NOTES")), QString::fromUtf8("Zoë – lódz"));
    }

    // The placement is restored from the settings file at the first activation and saved
    // when the window closes.
    void placementRestoredAndSaved() {
        WriteConfiguredSettings();
        auto window = std::make_unique<TMainScreen>();
        const std::string section = PlacementSection(window.get()).toStdString();
        {
            IniFile ini(SettingsFileName());
            ini.WriteInteger(section, "Left", 40);
            ini.WriteInteger(section, "Top", 30);
            ini.WriteInteger(section, "Right", 740);
            ini.WriteInteger(section, "Bottom", 530);
            ini.Save();
        }
        window->show();
        QTRY_VERIFY(!window->FirstActivation());
        QCOMPARE(window->geometry(), QRect(40, 30, 700, 500));

        window->setGeometry(60, 70, 650, 420);
        QVERIFY(window->close());
        const IniFile ini(SettingsFileName());
        QCOMPARE(ini.ReadInteger(section, "Left", 0), 60);
        QCOMPARE(ini.ReadInteger(section, "Top", 0), 70);
        QCOMPARE(ini.ReadInteger(section, "Right", 0), 710);
        QCOMPARE(ini.ReadInteger(section, "Bottom", 0), 490);
        QVERIFY(!ini.ReadBool(section, "Maximized", true));
        QVERIFY(!window->Store().FaxAdapter().Active());
    }

    // "Show Hints" is stored in the settings file and switches the status line off.
    void showHintsStored() {
        WriteConfiguredSettings();
        auto window = StartWindow();
        QAction* item = MenuItem(*window, "ShowHints1");
        QVERIFY(item->isChecked());
        window->StatusLine()->setText("something");
        item->trigger();
        QVERIFY(!item->isChecked());
        QVERIFY(window->StatusLine()->text().isEmpty());
        QVERIFY(!IniFile(SettingsFileName()).ReadBool("Hints", "On", true));
        item->trigger();
        QVERIFY(IniFile(SettingsFileName()).ReadBool("Hints", "On", false));
    }

    // Closing while a fax comes in asks first; No keeps the program running.
    void closeQueryWhileReceiving() {
        WriteConfiguredSettings();
        auto window = StartWindow();
        window->SetFaxInProgress(true);
        MessageBoxScript::PushAnswer(false);
        QVERIFY(!window->close());
        QVERIFY(window->isVisible());
        QVERIFY(window->Store().FaxAdapter().Active());
        QCOMPARE(MessageBoxScript::Shown().constLast().text,
                 QStringLiteral("You are receiving a fax. Exit the program?"));
        MessageBoxScript::PushAnswer(true);
        QVERIFY(window->close());
        QVERIFY(!window->Store().FaxAdapter().Active());
    }

    // A sent table that cannot be opened gives the message and closes the program.
    void unreadableTableClosesProgram() {
        WriteConfiguredSettings();
        {
            QFile bad(DataPath("QPX.DBF"));
            QVERIFY(bad.open(QIODevice::WriteOnly));
            bad.write("this is not a table");
        }
        // The user's saved placement, never restored by this failed start, must survive it.
        const std::string section = "TMainScreen_Placement";
        {
            IniFile ini(SettingsFileName());
            ini.WriteInteger(section, "Left", 41);
            ini.WriteInteger(section, "Top", 31);
            ini.WriteInteger(section, "Right", 741);
            ini.WriteInteger(section, "Bottom", 531);
            ini.WriteBool(section, "Maximized", true);
            ini.Save();
        }
        MessageBoxScript::AnswerAll(true);
        auto window = std::make_unique<TMainScreen>();
        QCOMPARE(PlacementSection(window.get()).toStdString(), section);
        window->show();
        QTRY_VERIFY(!window->isVisible());
        QCOMPARE(MessageBoxScript::Shown().constFirst().text,
                 QStringLiteral("Unable to open/create the FAX datafile - closing program"));
        const IniFile kept(SettingsFileName());
        QCOMPARE(kept.ReadInteger(section, "Left", 0), 41);
        QCOMPARE(kept.ReadInteger(section, "Top", 0), 31);
        QCOMPARE(kept.ReadInteger(section, "Right", 0), 741);
        QCOMPARE(kept.ReadInteger(section, "Bottom", 0), 531);
        QVERIFY(kept.ReadBool(section, "Maximized", false));
        QFile bad(DataPath("QPX.DBF"));
        QVERIFY(bad.open(QIODevice::ReadOnly));
        QCOMPARE(bad.readAll(), QByteArray("this is not a table")); // left as it was
    }

    // The grid model lists the rows in the tag's order with the calculated column and
    // passes Qt's model checks.
    void gridShowsRowsInDateOrder() {
        WriteConfiguredSettings();
        auto window = StartWindow();
        AddSampleRows(*window);
        TTableModel* model = window->FaxModel();
        QAbstractItemModelTester tester(model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(model->columnCount(), 8);
        QCOMPARE(model->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Sent"));
        QCOMPARE(model->headerData(7, Qt::Horizontal).toString(), QStringLiteral("Last Attempt"));
        QCOMPARE(model->ColumnWidthChars(3), 20);
        // The unsent fax has an empty date and sorts first in an ascending tag.
        QStringList sentColumn;
        for (int row = 0; row < model->rowCount(); ++row) {
            sentColumn << model->data(model->index(row, 0)).toString();
        }
        QCOMPARE(sentColumn.size(), 2);
        QVERIFY(sentColumn.contains("Yes"));
        QVERIFY(sentColumn.contains("No "));
        const int sentRow = sentColumn.indexOf("Yes");
        QCOMPARE(model->data(model->index(sentRow, 3)).toString(), QStringLiteral("Ann Baker"));
        QCOMPARE(model->data(model->index(sentRow, 5)).toString(), QStringLiteral("3"));
        QVERIFY(!model->data(model->index(sentRow, 1)).toString().isEmpty());

        // Moving in the grid moves the table's current record.
        auto* grid = window->findChild<QTableView*>("FaxGrid");
        grid->setCurrentIndex(model->index(sentRow, 0));
        QCOMPARE(window->Store().FaxAdapter().FieldString("RECIPIENT"), std::string("Ann Baker"));
        QCOMPARE(model->CurrentRow(), sentRow);
        QCOMPARE(model->headerData(sentRow, Qt::Vertical).toString().size(), 1);
        QCOMPARE(model->headerData(1 - sentRow, Qt::Vertical).toString(), QString());
    }

    // Help opens the topics by context number; About shows the real version.
    void helpAndAbout() {
        WriteConfiguredSettings();
        auto window = StartWindow();
        MenuItem(*window, "Contents1")->trigger();
        THelpBrowser* help = window->findChild<THelpBrowser*>();
        QVERIFY(help);
        QCOMPARE(help->Topic(), 1009);
        QVERIFY(help->Browser()->toPlainText().contains("Rebuild Indexes"));
        MenuItem(*window, "TroubleshootingTips1")->trigger();
        QCOMPARE(help->Topic(), 1026);
        for (int topic : {1015, 1016, 1017, 1018, 1019, 1020, 1021, 1022}) {
            QVERIFY2(QFile::exists(QStringLiteral(":/help/%1.html").arg(topic)),
                     qPrintable(QString::number(topic)));
        }
        help->close();

        QString caption;
        auto about = qptest::OnNextModal("TAboutBox", [&](QWidget* modal) {
            caption = modal->windowTitle();
            QVERIFY(modal->windowFlags() & Qt::WindowStaysOnTopHint);
            QVERIFY(modal->findChild<QLabel*>("Version")->text().contains(QP_VERSION_STRING));
            modal->findChild<QPushButton*>("OKButton")->click();
        });
        MenuItem(*window, "About1")->trigger();
        QVERIFY(about.Done());
        QCOMPARE(caption, QStringLiteral("About Quillpost"));
    }

    // "&Phone Book" opens the phone book window modally on its own table, created on
    // first use, and the table is closed again when the window goes.
    void phoneBookMenuOpensThePhoneBook() {
        WriteConfiguredSettings();
        auto window = StartWindow();
        QVERIFY(!QFile::exists(DataPath("QPXPB.DBF")));
        auto phoneBook = qptest::OnNextModal<TPhoneBook>([](TPhoneBook* book) { book->close(); });
        MenuItem(*window, "PhoneBook1")->trigger();
        QVERIFY(phoneBook.Done());
        QVERIFY(QFile::exists(DataPath("QPXPB.DBF")));
        QVERIFY(!window->findChild<TPhoneBook*>());
    }

    // The grids size their columns from the field widths once the tables are open (and
    // again after a reopen): the Received page's "From" shows its 20 characters and the
    // dates show in full, not "NE…" and a cut date.
    void columnWidthsFollowTheFields() {
        WriteConfiguredSettings();
        auto window = StartWindow();
        AddSampleRows(*window);
        auto* received = window->findChild<QTableView*>("RecFaxGrid");
        auto* sent = window->findChild<QTableView*>("FaxGrid");
        const QFontMetrics metrics(received->font());
        const QString date = TTableModel::DateText("20261231");
        const QString stationId = QStringLiteral("+49 30 1234 5678 901"); // 20 characters
        auto check = [&] {
            QCOMPARE(window->RecModel()->ColumnWidthChars(2), 20);
            for (const QString& id : {stationId, QStringLiteral("ZOLLAMT FRANKFURT AM")}) {
                QVERIFY2(received->columnWidth(2) > metrics.horizontalAdvance(id),
                         qPrintable(id + ": " + QString::number(received->columnWidth(2))));
            }
            QVERIFY(received->columnWidth(0) > metrics.horizontalAdvance(date));
            QVERIFY(sent->columnWidth(1) > metrics.horizontalAdvance(date));
            QVERIFY(sent->columnWidth(3) > metrics.horizontalAdvance(QString(20, '0')));
        };
        check();
        window->Store().RecTableCloseAndOpen();
        window->Store().FaxTableCloseAndOpen();
        check();
    }

    // Help asked for from a modal dialog opens in front of that dialog and is usable while
    // the dialog stays open: a real mouse click on its Close button closes it.
    void helpIsUsableFromDialogs() {
        WriteConfiguredSettings();
        auto window = StartWindow();
        AddSampleRows(*window);
        auto useHelp = [](QDialog* dialog, const char* helpButton, int topic) {
            dialog->findChild<QPushButton*>(helpButton)->click();
            QPointer<THelpBrowser> help = dialog->findChild<THelpBrowser*>();
            QVERIFY2(help, "the help window does not belong to the dialog");
            QVERIFY(help->isVisible());
            QCOMPARE(help->Topic(), topic);
            // Through the window system, where a window blocked by a modal one gets no
            // click.
            QPushButton* close = help->findChild<QPushButton*>("CloseButton");
            QVERIFY(QTest::qWaitForWindowExposed(help));
            QTest::mouseClick(help->windowHandle(), Qt::LeftButton, {},
                              close->mapTo(help, close->rect().center()));
            QTRY_VERIFY(!help || !help->isVisible());
            QVERIFY(dialog->isVisible());
        };
        {
            auto answer = qptest::OnNextModal<TPreferences>([&](TPreferences* dialog) {
                useHelp(dialog, "Helpbutton", THelpBrowser::hcPreferences);
                dialog->reject();
            });
            window->Preferences();
        }
        {
            auto answer = qptest::OnNextModal<TPhoneBook>([&](TPhoneBook* book) {
                useHelp(book, "Helpbutton", THelpBrowser::hcPhoneBrowser);
                auto editor = qptest::OnNextModal<TPhoneBookEditor>([&](TPhoneBookEditor* edit) {
                    useHelp(edit, "Helpbutton", THelpBrowser::hcPhoneEditor);
                    edit->reject();
                });
                book->AddbuttonClick();
                book->reject();
            });
            window->PhoneBook();
        }
        {
            window->findChild<QTabBar*>("TabSet1")->setCurrentIndex(TMainScreen::ReceivedPage);
            auto answer = qptest::OnNextModal<TEditReceiveNotes>([&](TEditReceiveNotes* notes) {
                useHelp(notes, "HelpButton", THelpBrowser::hcContents);
                notes->reject();
            });
            Button(*window, "EditButton")->click();
        }
        // Without a dialog, help belongs to the main window as before.
        MenuItem(*window, "Contents1")->trigger();
        QVERIFY(window->findChild<THelpBrowser*>());
        window->findChild<THelpBrowser*>()->close();
    }

    // Buttons and menu items carry their hints; the status line shows them.
    void hintsOnButtonsAndMenus() {
        WriteConfiguredSettings();
        auto window = StartWindow();
        QCOMPARE(Button(*window, "DeleteButton")->statusTip(),
                 QStringLiteral("Delete  the currently selected fax"));
        QCOMPARE(MenuItem(*window, "Delete1")->statusTip(),
                 QStringLiteral("Delete the currently selected fax"));
        QCOMPARE(MenuItem(*window, "ViewPrintFax1")->shortcut(), QKeySequence("Ctrl+V"));
        QCOMPARE(MenuItem(*window, "Exit1")->statusTip(), QStringLiteral("Exit to Windows"));
        QStatusTipEvent tip(QStringLiteral("Create a new fax"));
        QApplication::sendEvent(Button(*window, "Newbutton"), &tip);
        QCOMPARE(window->StatusLine()->text(), QStringLiteral("Create a new fax"));
    }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
