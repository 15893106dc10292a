// Every window of the program used with the keyboard alone, as a new user or a screen
// reader user would: the real windows on the test's own data folder, text typed at the
// window (never into a field the test chose), Tab followed round, Escape pressed. Each
// window also passes the whole keyboard check (focus start, tab order against the screen,
// unique Alt letters, labels, accessible names and descriptions).
#include "FaxTestFiles.h"
#include "KeyboardCheck.h"
#include "ModalAnswer.h"
#include "StoreFixtures.h"
#include "TestPaths.h"
#include "TypeText.h"

#include "app/TMainScreen.h"
#include "common/IniFile.h"
#include "common/Settings.h"
#include "dialogs/TAboutBox.h"
#include "dialogs/TEditReceiveNotes.h"
#include "dialogs/TFaxViewer.h"
#include "dialogs/TPhoneBook.h"
#include "dialogs/TPhoneBookEditor.h"
#include "dialogs/TPreferences.h"
#include "dialogs/TRebuildInd.h"
#include "faximage/viewer/TQpFaxViewer.h"
#include "richtext/TQpRichText.h"
#include "spell/TSpellCheckDialog.h"
#include "spell/core/SpellDictionaryFiles.h"
#include "store/TFaxStore.h"
#include "store/TTableModel.h"
#include "ui/MessageBoxScript.h"
#include "ui/THelpBrowser.h"
#include "ui/WindowUtils.h"

#include <QAccessible>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTableView>
#include <QTextBrowser>
#include <QtTest>

#include <memory>

using namespace fixtures;

namespace {

// Object names along the tab chain from the focused control; a radio group by the name
// of its group box.
QStringList TabNames(QWidget* window) {
    QStringList names;
    for (const QWidget* widget : qptest::KeyboardCheck::TabChain(window)) {
        if (!widget) {
            names << QStringLiteral("<outside>");
        } else if (qobject_cast<const QRadioButton*>(widget)) {
            names << widget->parentWidget()->objectName();
        } else {
            names << widget->objectName();
        }
    }
    return names;
}

QString FocusName() {
    const QWidget* focus = QApplication::focusWidget();
    return focus ? focus->objectName() : QStringLiteral("<none>");
}

// Keys go to the active window, as a user's do. A window that was just shown becomes
// active a moment later; a window manager activates the window under a dialog that
// closed, which the headless platform leaves to the program, so the test does it.
QWindow* ActiveHandle(QWidget* window) {
    QWidget* top = window->window();
    if (!QTest::qWaitFor([top] { return top->isActiveWindow(); }, 500)) {
        top->activateWindow();
        if (!QTest::qWaitFor([top] { return top->isActiveWindow(); })) {
            qWarning("%s is not the active window", qPrintable(top->objectName()));
        }
    }
    return top->windowHandle();
}

void PressAlt(QWidget* window, Qt::Key letter) {
    QTest::keyClick(ActiveHandle(window), letter, Qt::AltModifier);
}

void PressKey(QWidget* window, Qt::Key key) {
    QTest::keyClick(ActiveHandle(window), key);
}

QByteArray FileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

bool HelpWindowShown() {
    for (const QWidget* window : QApplication::topLevelWidgets()) {
        if (qobject_cast<const THelpBrowser*>(window) && window->isVisible()) {
            return true;
        }
    }
    return false;
}

QStringList PhoneBookRows() {
    TPhoneBook book;
    if (!book.OpenTable()) {
        return {QStringLiteral("<cannot open>")};
    }
    QStringList rows;
    QAbstractItemModel* model = book.PhoneGrid()->model();
    for (int row = 0; row < model->rowCount(); ++row) {
        rows << model->index(row, 0).data().toString() + " / " +
                    model->index(row, 1).data().toString();
    }
    return rows;
}

} // namespace

class WindowKeyboardTest final : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TMainScreen> StartWindow() {
        auto window = std::make_unique<TMainScreen>();
        window->show();
        [&] {
            QTRY_VERIFY(!window->FirstActivation());
            QVERIFY(QTest::qWaitForWindowActive(window.get()));
        }();
        return window;
    }

    // Tables with two sent and two received faxes, written before the window starts (as a
    // user's tables are).
    void WriteSampleTables() {
        auto window = std::make_unique<TMainScreen>();
        TTableAdapter& fax = window->Store().FaxAdapter();
        AddSentFax(fax, {"Quarterly figures", true, "20260301", "09:15", "Ann Baker", "555-0101", 3,
                         "Fax sent successfully"});
        AddSentFax(fax, {"Draft contract", false, "", "", "Carl Dunn", "555-0199", 0, ""});
        TTableAdapter& rec = window->Store().RecAdapter();
        AddReceivedFax(rec, {"20260302", "10:20", "+1 555 0123", 2, "FAX0001.APF", "call back"});
        AddReceivedFax(rec, {"20260303", "11:45", "ACME SALES", 1, "FAX0002.APF", "order"});
    }

private slots:
    void init() {
        MessageBoxScript::Reset();
        ClearDataFolder();
        WriteConfiguredSettings();
        LoadSettings();
    }

    void cleanup() { MessageBoxScript::Reset(); }

    // The main window with faxes in its lists: the focus starts on the Sent list with the
    // current fax selected, Tab goes list, page tabs, then the button bar; the arrow keys
    // switch the page; Escape does not end the program.
    void mainWindowWithFaxes() {
        WriteSampleTables();
        auto window = StartWindow();
        auto* grid = window->findChild<QTableView*>("FaxGrid");
        QCOMPARE(FocusName(), QStringLiteral("FaxGrid"));
        QCOMPARE(grid->selectionModel()->currentIndex().row(), window->FaxModel()->CurrentRow());
        QVERIFY(window->FaxModel()->CurrentRow() >= 0);
        QVERIFY(grid->selectionModel()->isRowSelected(window->FaxModel()->CurrentRow()));
        QCOMPARE(TabNames(window.get()),
                 QStringList({"FaxGrid", "TabSet1", "Newbutton", "EditButton", "CloneButton",
                              "DeleteButton", "SendButton", "ReceiveButton", "ViewFaxButton",
                              "Exitbutton"}));
        QP_VERIFY_KEYBOARD(window.get());

        // The Received page from the keyboard: Tab to the page tabs, Right arrow.
        PressKey(window.get(), Qt::Key_Tab);
        QCOMPARE(FocusName(), QStringLiteral("TabSet1"));
        PressKey(window.get(), Qt::Key_Right);
        QCOMPARE(window->CurrentPage(), int(TMainScreen::ReceivedPage));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ShiftModifier);
        QCOMPARE(FocusName(), QStringLiteral("RecFaxGrid"));
        QP_VERIFY_KEYBOARD(window.get());

        PressKey(window.get(), Qt::Key_Escape);
        QTest::qWait(50);
        QVERIFY(window->isVisible());
        QCOMPARE(window->Store().FaxAdapter().QueryRecCount(), 2L);
    }

    // With empty lists the list cannot be used: the focus starts on the page tabs.
    void mainWindowEmpty() {
        auto window = StartWindow();
        QCOMPARE(FocusName(), QStringLiteral("TabSet1"));
        QP_VERIFY_KEYBOARD(window.get());
    }

    // The reported scenario: Phone Book from the menu, New, a name and a number typed, all
    // without the mouse. The entry is stored as typed; nothing presses Help or Accept on
    // the way. New followed by Escape stores nothing, and Escape closes the browser.
    void phoneBookFromTheKeyboardAlone() {
        auto window = StartWindow();
        QStringList editorChain;
        QStringList rowsWhileOpen;
        bool helpSeen = false;
        auto browser = qptest::OnNextModal<TPhoneBook>([&](TPhoneBook* book) {
            QTRY_VERIFY(book->isActiveWindow());
            QCOMPARE(FocusName(), QStringLiteral("PhoneGrid"));
            QP_VERIFY_KEYBOARD(book);
            {
                auto editor = qptest::OnNextModal<TPhoneBookEditor>([&](TPhoneBookEditor* e) {
                    QVERIFY(QTest::qWaitForWindowActive(e));
                    QP_VERIFY_KEYBOARD(e);
                    editorChain = TabNames(e);
                    qptest::TypeAtWindow(e, QString::fromUtf8("Zoë Müller\t+49 30 1234567"));
                    helpSeen = HelpWindowShown();
                    PressAlt(e, Qt::Key_A);
                });
                PressAlt(book, Qt::Key_N);
            }
            {
                auto editor = qptest::OnNextModal<TPhoneBookEditor>([](TPhoneBookEditor* e) {
                    qptest::TypeAtWindow(e, QStringLiteral("Not Stored\t123"));
                    PressKey(e, Qt::Key_Escape);
                });
                PressAlt(book, Qt::Key_N);
            }
            rowsWhileOpen.clear();
            for (int row = 0; row < book->PhoneGrid()->model()->rowCount(); ++row) {
                rowsWhileOpen << book->PhoneGrid()->model()->index(row, 0).data().toString();
            }
            PressKey(book, Qt::Key_Escape);
        });
        // File menu, then its "&Phone Book" item, by their Alt letters.
        PressAlt(window.get(), Qt::Key_F);
        QTRY_VERIFY(QApplication::activePopupWidget());
        QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_P);
        QVERIFY(browser.Wait());

        QCOMPARE(editorChain,
                 QStringList({"Name", "Number", "Helpbutton", "OKButton", "Cancelbutton"}));
        QVERIFY(!helpSeen);
        QCOMPARE(rowsWhileOpen, QStringList({QString::fromUtf8("Zoë Müller")}));
        QCOMPARE(PhoneBookRows(), QStringList({QString::fromUtf8("Zoë Müller / +49 30 1234567")}));
    }

    // The browser in choosing mode (from the fax editor) and the entry editor on its own:
    // Tab order, the Alt letters of the labels, Escape as Cancel.
    void phoneBookWindows() {
        {
            TPhoneBook book;
            QVERIFY(book.OpenTable());
            book.PhoneAdapter().Append();
            book.PhoneAdapter().SetFieldString("NAME", "Alpha Office");
            book.PhoneAdapter().SetFieldString("PHONE", "555 1234");
            book.PhoneAdapter().Post();
            book.SetChoosingMode(true);
            book.show();
            QVERIFY(QTest::qWaitForWindowActive(&book));
            QCOMPARE(TabNames(&book),
                     QStringList({"PhoneGrid", "Addbutton", "Modifybutton", "Deletebutton",
                                  "Helpbutton", "OKButton", "Cancelbutton"}));
            QVERIFY(book.PhoneGrid()->selectionModel()->isRowSelected(0));
            QP_VERIFY_KEYBOARD(&book);
            PressKey(&book, Qt::Key_Escape);
            QVERIFY(!book.isVisible());
            QCOMPARE(book.result(), int(QDialog::Rejected));
            QVERIFY(book.ChosenName().isEmpty());
        }
        TPhoneBookEditor editor;
        editor.show();
        QVERIFY(QTest::qWaitForWindowActive(&editor));
        PressAlt(&editor, Qt::Key_F);
        QCOMPARE(QApplication::focusWidget(), editor.Number());
        PressAlt(&editor, Qt::Key_N);
        QCOMPARE(QApplication::focusWidget(), editor.Name());
        QCOMPARE(QAccessible::queryAccessibleInterface(editor.Number())->text(QAccessible::Name),
                 QStringLiteral("Fax Number"));
        QCOMPARE(
            QAccessible::queryAccessibleInterface(editor.Number())->text(QAccessible::Description),
            QStringLiteral("Type the fax number here"));
        // Enter in a field is no Accept: the dialog stays open.
        PressKey(&editor, Qt::Key_Return);
        QVERIFY(editor.isVisible());
        PressKey(&editor, Qt::Key_Escape);
        QCOMPARE(editor.result(), int(QDialog::Rejected));
    }

    // The received fax notes: typing lands in Notes; Escape leaves the stored notes alone.
    void receivedFaxNotes() {
        WriteSampleTables();
        auto window = StartWindow();
        window->findChild<QTabBar*>("TabSet1")->setCurrentIndex(TMainScreen::ReceivedPage);
        TTableAdapter& rec = window->Store().RecAdapter();
        const std::string before = rec.FieldString("NOTES");
        QString typed;
        QStringList chain;
        auto notes = qptest::OnNextModal<TEditReceiveNotes>([&](TEditReceiveNotes* dialog) {
            QP_VERIFY_KEYBOARD(dialog);
            chain = TabNames(dialog);
            qptest::TypeAtWindow(dialog, QStringLiteral(" - urgent"));
            typed = dialog->Notes()->text();
            PressKey(dialog, Qt::Key_Escape);
        });
        // Edit by its Alt letter on the main window.
        PressAlt(window.get(), Qt::Key_E);
        QVERIFY(notes.Wait());
        QCOMPARE(chain, QStringList({"Notes", "AcceptButton", "CancelButton", "HelpButton"}));
        // As in every dialog, the first field's text is selected on entry: typing replaces it.
        QVERIFY(!before.empty());
        QCOMPARE(typed, QStringLiteral(" - urgent"));
        QCOMPARE(rec.FieldString("NOTES"), before);
    }

    // Preferences: typing lands in "Your name"; Tab goes down the first column, then the
    // second, then the receiving settings, the bar last; Alt letters reach the fields;
    // Escape writes nothing.
    void preferences() {
        {
            IniFile ini(SettingsFileName());
            ini.WriteString("User", "Name", "Ann Baker");
            ini.Save();
        }
        auto window = StartWindow();
        const QByteArray settingsBefore = FileBytes(QString::fromStdString(SettingsFileName()));
        const std::string nameBefore = Settings().userName;
        QCOMPARE(nameBefore, std::string("Ann Baker"));
        QString typed;
        QStringList chain;
        QStringList jumps;
        auto answer = qptest::OnNextModal<TPreferences>([&](TPreferences* dialog) {
            QP_VERIFY_KEYBOARD(dialog);
            chain = TabNames(dialog);
            qptest::TypeAtWindow(dialog, QStringLiteral("Zoe"));
            typed = dialog->findChild<QLineEdit*>("Name")->text();
            for (Qt::Key letter : {Qt::Key_D, Qt::Key_U, Qt::Key_P, Qt::Key_W}) {
                PressAlt(dialog, letter);
                jumps << FocusName();
            }
            PressKey(dialog, Qt::Key_Escape);
        });
        window->findChild<QAction*>("Preferences1")->trigger();
        QVERIFY(answer.Wait());
        QCOMPARE(chain, QStringList({"Name",
                                     "FaxNumber",
                                     "ComPort",
                                     "FaxClass",
                                     "ModemInit",
                                     "TransferRate",
                                     "DialPrefix",
                                     "ToneOrPulse",
                                     "DialAttempts",
                                     "RetryWait",
                                     "TimeOut",
                                     "CheckBlindDial",
                                     "CheckIgnoreBusy",
                                     "AnswerOnRing",
                                     "ReceiveAtStartup",
                                     "WaveFileEdit",
                                     "SelectWavButton",
                                     "BitBtn2",
                                     "BitBtn1",
                                     "Helpbutton",
                                     "ExplorerButton1",
                                     "FindModemButton",
                                     "CheckFaxClassButton",
                                     "OkButton",
                                     "Cancelbutton"}));
        QCOMPARE(typed, QStringLiteral("Zoe")); // the selected name is replaced
        QCOMPARE(jumps.size(), 4);
        QCOMPARE(jumps[0], QStringLiteral("DialPrefix"));
        QCOMPARE(jumps[1], QStringLiteral("DialAttempts"));
        QVERIFY2(jumps[2].startsWith("ComPort"), qPrintable(jumps[2]));
        QCOMPARE(jumps[3], QStringLiteral("WaveFileEdit"));
        QCOMPARE(Settings().userName, nameBefore);
        QCOMPARE(FileBytes(QString::fromStdString(SettingsFileName())), settingsBefore);
    }

    // The fax viewer: the focus starts on the page, where Page Down turns it; the bar
    // follows; a screen reader finds the page counter on the page; Escape closes.
    void faxViewer() {
        qptest::ScratchDir scratch("keyboardfax");
        const QString file = QString::fromStdString(scratch.file("FAX0001.APF"));
        QVERIFY(faxtest::WriteFramedFax(file, 3));
        TFaxViewer viewer;
        viewer.SetFileName(file);
        viewer.show();
        QVERIFY(QTest::qWaitForWindowActive(&viewer));
        QTRY_COMPARE(viewer.FaxViewer()->PageCount(), 3);
        QCOMPARE(QApplication::focusWidget(), viewer.FaxViewer());
        QP_VERIFY_KEYBOARD(&viewer);
        const QStringList chain = TabNames(&viewer);
        QCOMPARE(chain.first(), QStringLiteral("FaxViewer"));
        QCOMPARE(chain.mid(1, 4),
                 QStringList({"FirstButton", "PrevButton", "NextButton", "LastButton"}));
        QCOMPARE(chain.mid(chain.size() - 4),
                 QStringList({"ZoomInButton", "ZoomOutButton", "Helpbutton", "CloseButton"}));

        PressKey(&viewer, Qt::Key_PageDown);
        QCOMPARE(viewer.FaxViewer()->PageNumber(), 2);
        QCOMPARE(QAccessible::queryAccessibleInterface(viewer.FaxViewer())
                     ->text(QAccessible::Description),
                 QStringLiteral("Page 2 of 3"));
        auto* zoomIn = viewer.findChild<QWidget*>("ZoomInButton");
        QCOMPARE(QAccessible::queryAccessibleInterface(zoomIn)->text(QAccessible::Name),
                 QStringLiteral("Zoom in"));
        PressKey(&viewer, Qt::Key_Escape);
        QVERIFY(!viewer.isVisible());
        QCOMPARE(viewer.result(), int(QDialog::Rejected));
    }

    // The About box: the focus on OK, Enter closes it; Escape does too.
    void aboutBox() {
        auto window = StartWindow();
        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
            int result = -1;
            auto answer = qptest::OnNextModal<TAboutBox>([&](TAboutBox* about) {
                QCOMPARE(FocusName(), QStringLiteral("OKButton"));
                QP_VERIFY_KEYBOARD(about);
                PressKey(about, key);
                result = about->result();
            });
            window->About();
            QVERIFY(answer.Wait());
            QCOMPARE(result,
                     key == Qt::Key_Return ? int(QDialog::Accepted) : int(QDialog::Rejected));
        }
    }

    // Rebuild Indexes has nothing to cancel: Escape does not close it before the work is
    // done (closing early used to skip the rebuild altogether).
    void rebuildIgnoresEscape() {
        WriteSampleTables();
        auto window = StartWindow();
        TTableAdapter& fax = window->Store().FaxAdapter();
        fax.First();
        fax.Delete();
        fax.Refresh();
        TRebuildInd rebuild(window->Store(), window.get());
        rebuild.show();
        QTest::keyClick(&rebuild, Qt::Key_Escape);
        QVERIFY(rebuild.isVisible());
        QTRY_VERIFY(!rebuild.isVisible());
        QCOMPARE(rebuild.result(), int(QDialog::Accepted));
        QCOMPARE(fax.RecCount(), 1L); // the deleted record was packed away
    }

    // The help window: the focus in the text (Tab walks its links, then leaves), the
    // buttons after it; Escape closes it.
    void helpBrowser() {
        THelpBrowser* help = THelpBrowser::ShowTopic(THelpBrowser::hcContents);
        QVERIFY(QTest::qWaitForWindowActive(help));
        QCOMPARE(QApplication::focusWidget(), help->Browser());
        QCOMPARE(TabNames(help), QStringList({"HelpText", "ContentsButton", "CloseButton"}));
        QP_VERIFY_KEYBOARD(help);
        PressKey(help, Qt::Key_Escape);
        QVERIFY(!help->isVisible());
    }

    // The spell check: the focus in "Replace with" with the suggestion selected, so that
    // typing replaces it; Escape is Cancel and changes nothing in the text.
    void spellCheck() {
        QFile::remove(QString::fromStdString(SpellDictionaryFiles::UserListPath()));
        TQpRichText editor;
        editor.setPlainText("Please recieve the fax.");
        TSpellCheckDialog dialog(&editor);
        auto* replace = dialog.findChild<QLineEdit*>("ReplaceEdit");
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        QTRY_COMPARE(dialog.findChild<QLineEdit*>("ErrorEdit")->text(), QString("recieve"));
        QCOMPARE(QApplication::focusWidget(), replace);
        qptest::TypeAtWindow(&dialog, QStringLiteral("receipt"));
        QCOMPARE(replace->text(), QStringLiteral("receipt"));
        QP_VERIFY_KEYBOARD(&dialog);
        QCOMPARE(TabNames(&dialog),
                 QStringList({"ReplaceEdit", "ReplacementList", "ReplaceButton", "SkipButton",
                              "AddButton", "CancelButton", "ErrorEdit"}));
        PressKey(&dialog, Qt::Key_Escape);
        QTRY_VERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QCOMPARE(editor.toPlainText(), QStringLiteral("Please recieve the fax."));
    }
};

QTEST_MAIN(WindowKeyboardTest)
#include "WindowKeyboardTest.moc"
