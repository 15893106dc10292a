// The cover sheet template browser and editor on a real cover template table: New,
// Edit, Clone (once), Delete with its question, the insert menu, the description that is
// longer than its column, both modes and the keyboard.
#include "dialogs/TCoverBrowse.h"
#include "dialogs/TCoverEditor.h"

#include "KeyboardCheck.h"
#include "ModalAnswer.h"
#include "WindowChecks.h"

#include "common/DataFolder.h"
#include "common/Settings.h"
#include "dialogs/TZoomButton.h"
#include "richtext/TQpRichText.h"
#include "store/TFaxStore.h"
#include "store/TTableEnv.h"
#include "ui/MessageBoxScript.h"
#include "ui/WindowUtils.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QtTest>

#include <filesystem>
#include <functional>
#include <memory>
#include "SourcePlace.h"

namespace {

void RemoveCoverTable() {
    for (const char* name : {"QPXCOV.DBF", "QPXCOV.CDX", "QPXCOV.FPT"}) {
        std::filesystem::remove(DataFolder() + name);
    }
}

QPushButton* ButtonOf(QWidget* window, const char* name) {
    return window->findChild<QPushButton*>(name);
}

// Runs `open`, which opens the template editor modally, and answers it with `action`.
void WithEditor(const std::function<void()>& open, std::function<void(TCoverEditor*)> action,
                qptest::SourcePlace where = qptest::SourcePlace::Current()) {
    auto answer = qptest::OnNextModal<TCoverEditor>(std::move(action),
                                                    qptest::ModalAnswer::DefaultTimeoutMs, where);
    open();
}

void Finish(TCoverEditor* editor, bool accept) {
    ButtonOf(editor, accept ? "OKbutton" : "CancelButton")->click();
}

QStringList Descriptions(TCoverBrowse& browser) {
    QStringList rows;
    const auto* model = browser.CoverGrid()->model();
    for (int row = 0; row < model->rowCount(); ++row) {
        rows << model->index(row, 0).data().toString();
    }
    return rows;
}

// The current row's COVER memo as stored.
QByteArray CurrentCover(TTableAdapter& table) {
    const std::string file = DataFolder() + "cover-read.rtf";
    if (!table.BlobToFile("COVER", file)) {
        return {};
    }
    QFile in(QString::fromStdString(file));
    in.open(QIODevice::ReadOnly);
    const QByteArray rtf = in.readAll();
    in.close();
    QFile::remove(QString::fromStdString(file));
    return rtf;
}

void SelectRow(TCoverBrowse& browser, int row) {
    browser.CoverGrid()->setCurrentIndex(browser.CoverGrid()->model()->index(row, 0));
}

} // namespace

class CoverTemplateTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TFaxStore> store_;

    TTableAdapter& Table() { return store_->CoverAdapter(); }

    // A new template typed in the editor opened by New.
    void AddTemplate(TCoverBrowse& browser, const QString& description, const QString& text) {
        WithEditor([&] { browser.NewButtonClick(); },
                   [&](TCoverEditor* editor) {
                       editor->CoverDescription()->selectAll();
                       QTest::keyClicks(editor->CoverDescription(), description);
                       QTest::keyClicks(editor->WPCover(), text);
                       Finish(editor, true);
                   });
    }

private slots:
    void initTestCase() { TTableEnv::Instance().SetDeleted(true); }
    void cleanupTestCase() { TTableEnv::Instance().Shutdown(); }
    void init() {
        MessageBoxScript::Reset();
        RemoveCoverTable();
        LoadSettings();
        store_ = std::make_unique<TFaxStore>(TTableEnv::Instance());
        QVERIFY(store_->OpenCoverDBF());
    }
    void cleanup() {
        if (Table().Active()) {
            Table().Close();
        }
        store_.reset();
        MessageBoxScript::Reset();
    }

    // New starts from "{description}" and an empty page with the default font; typed
    // text and an insert point are stored; the list follows the description's order;
    // Cancel adds nothing.
    void newStoresDescriptionAndText() {
        Settings().fontName = "Courier New";
        Settings().fontSize = 14;
        Settings().fontBold = true;
        TCoverBrowse browser(Table());
        browser.show();
        WithEditor([&] { browser.NewButtonClick(); },
                   [](TCoverEditor* editor) {
                       QCOMPARE(editor->CoverDescription()->text(), QString("{description}"));
                       QVERIFY(editor->WPCover()->IsEmpty());
                       QCOMPARE(editor->WPCover()->FontName(), QString("Courier New"));
                       QCOMPARE(editor->WPCover()->FontSize(), 14);
                       QVERIFY(editor->WPCover()->Bold());
                       // The focus starts in the description, its text ready to be typed over.
                       QCOMPARE(QApplication::focusWidget(),
                                static_cast<QWidget*>(editor->CoverDescription()));
                       editor->CoverDescription()->selectAll();
                       QTest::keyClicks(editor->CoverDescription(), "Standard");
                       QTest::keyClicks(editor->WPCover(), "To: ");
                       QVERIFY(editor->InsertField("Recipient"));
                       Finish(editor, true);
                   });
        AddTemplate(browser, "Invoice cover", "Invoice");
        WithEditor([&] { browser.NewButtonClick(); },
                   [](TCoverEditor* editor) {
                       QTest::keyClicks(editor->CoverDescription(), "Not kept");
                       Finish(editor, false);
                   });
        QCOMPARE(Descriptions(browser), QStringList({"Invoice cover", "Standard"}));
        SelectRow(browser, 1);
        QVERIFY(composertest::SaveShot(&browser, "cover-browser"));
        WithEditor([&] { browser.ModifyButtonClick(); },
                   [](TCoverEditor* editor) {
                       QVERIFY(composertest::SaveShot(editor, "cover-editor"));
                       Finish(editor, false);
                   });
        const QByteArray rtf = CurrentCover(Table());
        QVERIFY(rtf.startsWith("{\\rtf1\\ansi\\deff0\\deftab720"));
        QVERIFY2(rtf.contains("To: "), rtf.constData());
        QVERIFY2(rtf.contains("\\inspnt1"), rtf.constData());
        QVERIFY(rtf.contains("[RECIPIENT]"));
        QVERIFY2(rtf.contains("\\b") && rtf.contains("\\fs28"), rtf.constData());
    }

    // Clone gives "[clone]" + description and the same content, once: the next New is
    // plain again, also when the cloned editor was cancelled.
    void cloneIsOneShot() {
        TCoverBrowse browser(Table());
        browser.show();
        AddTemplate(browser, "Standard", "Dear customer");
        SelectRow(browser, 0);
        WithEditor([&] { browser.CloneButtonClick(); },
                   [](TCoverEditor* editor) {
                       QCOMPARE(editor->CoverDescription()->text(), QString("[clone]Standard"));
                       QCOMPARE(editor->WPCover()->toPlainText(), QString("Dear customer"));
                       Finish(editor, true);
                   });
        QVERIFY(!browser.CloneFlag());
        // In the order of the description index: "[" sorts after the letters.
        QCOMPARE(Descriptions(browser), QStringList({"Standard", "[clone]Standard"}));
        SelectRow(browser, 1);
        QVERIFY(CurrentCover(Table()).contains("Dear customer"));
        WithEditor([&] { browser.NewButtonClick(); },
                   [](TCoverEditor* editor) {
                       QCOMPARE(editor->CoverDescription()->text(), QString("{description}"));
                       QVERIFY(editor->WPCover()->IsEmpty());
                       Finish(editor, false);
                   });

        WithEditor([&] { browser.CloneButtonClick(); },
                   [](TCoverEditor* editor) { Finish(editor, false); });
        QVERIFY(!browser.CloneFlag());
        QCOMPARE(Descriptions(browser).size(), 2);
        WithEditor([&] { browser.NewButtonClick(); },
                   [](TCoverEditor* editor) {
                       QCOMPARE(editor->CoverDescription()->text(), QString("{description}"));
                       Finish(editor, false);
                   });
    }

    // A description longer than the 35-character column is accepted by the edit, the
    // status line says it will be cut, and the first 35 characters are stored.
    void longDescriptionIsCutToTheColumn() {
        TCoverBrowse browser(Table());
        browser.show();
        const QString longText = QString("Quarterly report cover for the board members");
        QVERIFY(longText.size() > 35);
        WithEditor([&] { browser.NewButtonClick(); },
                   [&](TCoverEditor* editor) {
                       editor->CoverDescription()->selectAll();
                       QTest::keyClicks(editor->CoverDescription(), longText);
                       QCOMPARE(editor->CoverDescription()->text(), longText);
                       QVERIFY(editor->StatusLine()->text().contains("35"));
                       Finish(editor, true);
                   });
        QCOMPARE(Descriptions(browser), QStringList({longText.left(35)}));
    }

    // Edit changes description and text of the current row; Cancel leaves it alone.
    void editChangesTheCurrentRow() {
        TCoverBrowse browser(Table());
        browser.show();
        AddTemplate(browser, "Alpha", "one");
        AddTemplate(browser, "Beta", "two");
        SelectRow(browser, 1);
        WithEditor([&] { ButtonOf(&browser, "ModifyButton")->click(); },
                   [](TCoverEditor* editor) {
                       QCOMPARE(editor->CoverDescription()->text(), QString("Beta"));
                       QCOMPARE(editor->WPCover()->toPlainText(), QString("two"));
                       editor->CoverDescription()->setText("Gamma");
                       editor->WPCover()->moveCursor(QTextCursor::End);
                       QTest::keyClicks(editor->WPCover(), " more");
                       Finish(editor, true);
                   });
        QCOMPARE(Descriptions(browser), QStringList({"Alpha", "Gamma"}));
        SelectRow(browser, 1);
        QVERIFY(CurrentCover(Table()).contains("two more"));
        SelectRow(browser, 0);
        WithEditor([&] { ButtonOf(&browser, "ModifyButton")->click(); },
                   [](TCoverEditor* editor) {
                       editor->CoverDescription()->setText("Changed");
                       Finish(editor, false);
                   });
        QCOMPARE(Descriptions(browser), QStringList({"Alpha", "Gamma"}));
    }

    // Delete asks (No by default) with the description; No keeps the row, Yes removes it;
    // on the empty list Edit, Clone and Delete open nothing.
    void deleteAsksAndEmptyListOnlyBeeps() {
        TCoverBrowse browser(Table());
        browser.show();
        AddTemplate(browser, "Only one", "x");
        MessageBoxScript::PushAnswer(false);
        ButtonOf(&browser, "DeleteButton")->click();
        QCOMPARE(MessageBoxScript::Shown().size(), 1);
        QCOMPARE(MessageBoxScript::Shown()[0].caption, QString("Delete"));
        QCOMPARE(MessageBoxScript::Shown()[0].text,
                 QString("Delete the current cover template?:\rOnly one"));
        QCOMPARE(Descriptions(browser).size(), 1);
        MessageBoxScript::PushAnswer(true);
        ButtonOf(&browser, "DeleteButton")->click();
        QCOMPARE(Descriptions(browser).size(), 0);
        QCOMPARE(Table().QueryRecCount(), 0);

        // No editor and no question: an unexpected modal window would fail the test.
        ButtonOf(&browser, "ModifyButton")->click();
        ButtonOf(&browser, "CloneButton")->click();
        ButtonOf(&browser, "DeleteButton")->click();
        QCOMPARE(MessageBoxScript::Shown().size(), 2);
        QVERIFY(!browser.CloneFlag());
    }

    // The two modes show their buttons; Accept with no template keeps the browser open;
    // with one it closes with OK and leaves it as the current row.
    void modesAndAccept() {
        TCoverBrowse browser(Table());
        browser.SetChoosingMode(true);
        browser.show();
        QVERIFY(ButtonOf(&browser, "Acceptbutton")->isVisible());
        QVERIFY(ButtonOf(&browser, "CancelButton")->isVisible());
        QVERIFY(!ButtonOf(&browser, "CloseButton")->isVisible());
        ButtonOf(&browser, "Acceptbutton")->click();
        QVERIFY(browser.isVisible());
        AddTemplate(browser, "Alpha", "a");
        AddTemplate(browser, "Beta", "b");
        SelectRow(browser, 1);
        ButtonOf(&browser, "Acceptbutton")->click();
        QCOMPARE(browser.result(), int(QDialog::Accepted));
        QCOMPARE(QString::fromStdString(Table().FieldString("DESCRIPT")), QString("Beta"));

        browser.SetChoosingMode(false);
        QVERIFY(ButtonOf(&browser, "CloseButton")->isVisibleTo(&browser));
        QVERIFY(!ButtonOf(&browser, "Acceptbutton")->isVisibleTo(&browser));
        QCOMPARE(browser.windowTitle(), QString("Cover Sheet Template Browser"));
        QCOMPARE(browser.size(), QSize(587, 403));
    }

    // The insert menu puts tagged insert points named "[RECIPIENT]" ... "[TIME]" at the
    // caret; any other caption inserts nothing.
    void insertMenuMakesTaggedInsertPoints() {
        TCoverEditor editor;
        editor.show();
        const QStringList captions = {"Recipient", "Fax Number", "Subject", "Date", "Time"};
        QStringList menu;
        for (QAction* item : editor.InsertMenu()->actions()) {
            menu << item->text();
        }
        QCOMPARE(menu, captions);
        for (QAction* item : editor.InsertMenu()->actions()) {
            item->trigger();
            QTest::keyClicks(editor.WPCover(), " ");
        }
        QVERIFY(!editor.InsertField("Weather"));
        QCOMPARE(editor.WPCover()->InsertPointCount(), 5);
        const QString text = editor.WPCover()->toPlainText();
        for (const char* name : {"[RECIPIENT]", "[FAX#]", "[SUBJECT]", "[DATE]", "[TIME]"}) {
            QVERIFY2(text.contains(QString::fromLatin1(name)), name);
        }
        const QByteArray rtf = editor.WPCover()->Rtf();
        for (int tag = 1; tag <= 5; ++tag) {
            QVERIFY(rtf.contains("\\inspnt" + QByteArray::number(tag)));
        }
        // Nothing merges here: the names stay.
        QVERIFY(!editor.WPCover()->InsertPointMarkersHidden());
    }

    // The editor's zoom, word wrap hints and placement section; Escape cancels.
    void editorAidsAndKeyboard() {
        TCoverEditor editor;
        // A template's own page size gives way to the fax page when the editor is shown.
        editor.WPCover()->SetPageSize(5000, 6000);
        editor.WPCover()->SetMargins(100, 100, 100, 100);
        editor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&editor));
        QCOMPARE(editor.WPCover()->PageLayout().marginLeft, 720);
        QCOMPARE(editor.WPCover()->PageLayout().marginBottom, 720);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(editor.CoverDescription()));
        QCOMPARE(HintTarget(), editor.StatusLine());
        QCOMPARE(editor.WPCover()->PageLayout().paperWidth, 12240);
        QCOMPARE(editor.WPCover()->PageLayout().paperHeight, 15840);
        editor.ZoomButton()->ChooseZoom(80);
        QCOMPARE(editor.WPCover()->Zoom(), 80);
        QCOMPARE(editor.ZoomButton()->text(), QString("80%"));
        QCOMPARE(PlacementSection(&editor).left(22), QString("TCoverEditor_Placement"));

        // Tab: the description, every control of the toolbar, the template (where Tab is
        // text and Ctrl+Tab moves on), then the buttons of the top bar; Shift+Tab goes
        // back the same way. Every Alt letter is unique and every control has a name.
        QP_VERIFY_KEYBOARD(&editor);
        QStringList order;
        for (QWidget* stop : qptest::KeyboardCheck::TabChain(&editor)) {
            order << (stop ? stop->objectName() : QStringLiteral("<outside>"));
        }
        QCOMPARE(order, QStringList({"CoverDescription",
                                     "FontNameBox",
                                     "FontSizeBox",
                                     "NormalButton",
                                     "BoldButton",
                                     "ItalicButton",
                                     "UnderButton",
                                     "LeftButton",
                                     "RightButton",
                                     "JustifiedButton",
                                     "CenterButton",
                                     "CopyButton",
                                     "CutButton",
                                     "PasteButton",
                                     "SpellButton",
                                     "CoverDocPageBreakButton",
                                     "CoverParagraphSetupbutton",
                                     "CoverDocWordWrapButton",
                                     "WPCover",
                                     "HelpButton",
                                     "ExplorerButton1",
                                     "Zoombutton",
                                     "OKbutton",
                                     "CancelButton"}));
        editor.WPCover()->setFocus();
        QTest::keyClick(editor.WPCover(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(editor.WPCover()));
        QVERIFY(editor.WPCover()->toPlainText().contains('\t'));
        QTest::keyClick(editor.WPCover(), Qt::Key_Tab, Qt::ControlModifier);
        QCOMPARE(QApplication::focusWidget()->objectName(), QString("HelpButton"));
        const QStringList problems =
            composertest::MnemonicClashes(&editor) + composertest::UnnamedControls(&editor);
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));

        QTest::keyClick(&editor, Qt::Key_Escape);
        QCOMPARE(editor.result(), int(QDialog::Rejected));
    }

    // The browser starts on its grid with the current row selected.
    void browserStartsOnTheGrid() {
        {
            TCoverBrowse browser(Table());
            browser.show();
            AddTemplate(browser, "Alpha", "a");
        }
        Table().First();
        TCoverBrowse browser(Table());
        browser.show();
        QVERIFY(QTest::qWaitForWindowExposed(&browser));
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(browser.CoverGrid()));
        QCOMPARE(browser.CoverGrid()->currentIndex().row(), 0);
        const QStringList problems =
            composertest::MnemonicClashes(&browser) + composertest::UnnamedControls(&browser);
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
        QP_VERIFY_KEYBOARD(&browser);
        QCOMPARE(HintTarget(), browser.StatusLine());
        QTest::keyClick(browser.CoverGrid(), Qt::Key_Escape);
        QCOMPARE(browser.result(), int(QDialog::Rejected));
    }
};

QTEST_MAIN(CoverTemplateTest)
#include "CoverTemplateTest.moc"
