// The fax editor driven as a user would: keyboard entry with Enter moving on, the limits,
// the page buttons and zoom, word wrap, page breaks, the paragraph and spell dialogs of
// each editor, the phone book lookup and a cover sheet loaded from a template and merged
// with the recipient's data (stored, reloaded and rendered for faxing).
#include "dialogs/TFaxEditor.h"

#include "KeyboardCheck.h"
#include "ModalAnswer.h"
#include "TestPaths.h"
#include "TypeText.h"
#include "WindowChecks.h"

#include "common/DataFolder.h"
#include "common/IniFile.h"
#include "common/Settings.h"
#include "dialogs/TCoverBrowse.h"
#include "dialogs/TEditorAids.h"
#include "dialogs/TEnterEdit.h"
#include "dialogs/TParagraphPropDlg.h"
#include "dialogs/TPhoneBook.h"
#include "dialogs/TZoomButton.h"
#include "richtext/RichTextTransfer.h"
#include "richtext/TQpRichText.h"
#include "richtext/TQpRichToolBar.h"
#include "spell/TSpellCheckDialog.h"
#include "store/TFaxStore.h"
#include "store/TTableEnv.h"
#include "store/TTableModel.h"
#include "ui/MessageBoxScript.h"
#include "ui/THelpBrowser.h"
#include "ui/WindowUtils.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAction>
#include <QComboBox>
#include <QFontComboBox>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QStackedWidget>
#include <QTableView>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>

#include <filesystem>
#include <memory>

namespace {

QPushButton* ButtonOf(QWidget* window, const char* name) {
    return window->findChild<QPushButton*>(name);
}

QToolButton* ToolOf(QWidget* window, const char* name) {
    return window->findChild<QToolButton*>(name);
}

void RemoveTables() {
    for (const char* name :
         {"QPXCOV.DBF", "QPXCOV.CDX", "QPXCOV.FPT", "QPXPB.DBF", "QPXPB.CDX", "QPXPB.FPT"}) {
        std::filesystem::remove(DataFolder() + name);
    }
}

// A cover template stored in the cover table: "To: [RECIPIENT]", "Attn: [RECIPIENT]",
// then the date and time insert points.
void StoreSalesTemplate(TTableAdapter& table) {
    TQpRichText editor;
    QTest::keyClicks(&editor, "To: ");
    editor.InsertInsertPoint(1, "[RECIPIENT]");
    QTest::keyClick(&editor, Qt::Key_Return);
    QTest::keyClicks(&editor, "Attn: ");
    editor.InsertInsertPoint(1, "[RECIPIENT]");
    QTest::keyClick(&editor, Qt::Key_Return);
    QTest::keyClicks(&editor, "Date: ");
    editor.InsertInsertPoint(4, "[DATE]");
    QTest::keyClicks(&editor, " Time: ");
    editor.InsertInsertPoint(5, "[TIME]");
    table.Append();
    table.SetFieldString("DESCRIPT", "Sales");
    SaveRichText(editor, "COVER", table);
    table.Post();
}

// Renders the first page of `editor` as a fax page (1664 x 2156 pixels).
QImage FaxPage(TQpRichText& editor) {
    QImage page(1664, 2156, QImage::Format_RGB32);
    page.fill(Qt::white);
    page.setDotsPerMeterX(qRound(200 / 0.0254));
    page.setDotsPerMeterY(qRound(196 / 0.0254));
    QPainter painter(&page);
    editor.SetRenderOptions(TQpRichText::roFaxPage);
    editor.RenderPage(painter, 0, QRect(0, 0, 1664, 2156));
    painter.end();
    return page;
}

// The object names of the controls Tab (or Shift+Tab) reaches from the focused one, as a
// user meets them: Tab is text in the rich text areas, which are left with Ctrl+Tab.
QStringList TabWalk(QWidget* window, bool backwards) {
    QStringList names;
    for (QWidget* widget : qptest::KeyboardCheck::TabChain(window, backwards)) {
        names << (widget ? widget->objectName() : QStringLiteral("<outside>"));
    }
    return names;
}

QStringList ToolbarStops(const QString& extra) {
    QStringList stops{"FontNameBox",     "FontSizeBox",  "NormalButton", "BoldButton",
                      "ItalicButton",    "UnderButton",  "LeftButton",   "RightButton",
                      "JustifiedButton", "CenterButton", "CopyButton",   "CutButton",
                      "PasteButton",     "SpellButton"};
    return stops + extra.split(' ');
}

// Alt+letter at the window, as the keyboard sends it (shortcuts go to the active window).
void PressAlt(QWidget* window, Qt::Key letter) {
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
    QTest::keyClick(window->windowHandle(), letter, Qt::AltModifier);
}

// The mean grey of a control as shown on screen.
int MeanGrey(QWidget* widget) {
    const QImage image = widget->grab().toImage();
    qint64 sum = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            sum += qGray(image.pixel(x, y));
        }
    }
    return int(sum / std::max<qint64>(1, qint64(image.width()) * image.height()));
}

int BlackPixels(const QImage& image) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            count += qGray(image.pixel(x, y)) < 128 ? 1 : 0;
        }
    }
    return count;
}

} // namespace

class FaxEditorTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { TTableEnv::Instance().SetDeleted(true); }
    void cleanupTestCase() { TTableEnv::Instance().Shutdown(); }
    void init() {
        MessageBoxScript::Reset();
        RemoveTables();
        LoadSettings();
    }
    void cleanup() { MessageBoxScript::Reset(); }

    // Typed without touching the mouse: the text lands in Recipient; Enter moves on to
    // FaxNumber and Subject, is swallowed and never closes the window.
    void enterMovesToTheNextField() {
        TFaxEditor editor;
        editor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&editor));
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(editor.Recipient()));
        QTest::keyClicks(QApplication::focusWidget(), "Sales Desk");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(editor.FaxNumber()));
        QTest::keyClicks(QApplication::focusWidget(), "555 0101");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(editor.Subject()));
        QTest::keyClicks(QApplication::focusWidget(), "Offer");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QVERIFY(editor.isVisible());
        QCOMPARE(editor.result(), 0);
        QCOMPARE(editor.Recipient()->text(), QString("Sales Desk"));
        QCOMPARE(editor.FaxNumber()->text(), QString("555 0101"));
        QCOMPARE(editor.Subject()->text(), QString("Offer"));

        // Tab follows the page: the fields, the phone book button, then the top bar, where
        // the page buttons are one stop (the arrow keys move between them).
        editor.Recipient()->setFocus();
        QStringList order;
        for (int i = 0; i < 9; ++i) {
            order << QApplication::focusWidget()->objectName();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        QCOMPARE(order,
                 QStringList({"Recipient", "FaxNumber", "Subject", "AddressButton", "Helpbutton",
                              "RecipientButton", "OKButton", "CancelButton", "Recipient"}));
        QTest::keyClick(&editor, Qt::Key_Escape);
        QCOMPARE(editor.result(), int(QDialog::Rejected));
    }

    // Every page from the keyboard alone: Tab and Shift+Tab walk the toolbar, the text
    // (left with Ctrl+Tab) and then the top bar, where the page buttons are one stop;
    // the keyboard check passes on each page.
    void keyboardReachesEveryToolbarControl() {
        TFaxEditor editor;
        editor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&editor));
        QP_VERIFY_KEYBOARD(&editor);

        // Switching pages puts the focus in the text; the rest of the check holds.
        auto pageProblems = [&editor] {
            using qptest::KeyboardCheck;
            return KeyboardCheck::NamingProblems(&editor) +
                   KeyboardCheck::MnemonicProblems(&editor) +
                   KeyboardCheck::LabelProblems(&editor) + KeyboardCheck::TabOrderProblems(&editor);
        };
        ButtonOf(&editor, "DocumentButton")->click();
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(editor.WPDoc()));
        QVERIFY2(pageProblems().isEmpty(), qPrintable(pageProblems().join('\n')));
        editor.WPToolDoc()->FontNameBox()->setFocus(Qt::TabFocusReason);
        const QStringList bar{"Helpbutton", "DocumentButton", "Zoombutton", "OKButton",
                              "CancelButton"};
        const QStringList forward =
            ToolbarStops("DocPageBreakButton ParagraphSetupButton DocWordWrapButton") +
            QStringList{"WPDoc"} + bar;
        QCOMPARE(TabWalk(&editor, false), forward);
        QStringList backward = forward.mid(1);
        std::reverse(backward.begin(), backward.end());
        backward.prepend(forward.first());
        QCOMPARE(TabWalk(&editor, true), backward);
        QVERIFY(!editor.WPDoc()->toPlainText().contains('\t'));

        ButtonOf(&editor, "CoverButton")->click();
        QVERIFY2(pageProblems().isEmpty(), qPrintable(pageProblems().join('\n')));
        editor.WPToolCover()->FontNameBox()->setFocus(Qt::TabFocusReason);
        QStringList coverBar = bar;
        coverBar[1] = "CoverButton";
        QCOMPARE(TabWalk(&editor, false),
                 ToolbarStops("CoverDocPageBreakButton CoverParagraphSetupbutton "
                              "CoverDocWordWrapButton LoadCoverButton") +
                     QStringList{"WPCover"} + coverBar);

        // A screen reader finds the lists' labels and names and reads their hints.
        for (QComboBox* list : {static_cast<QComboBox*>(editor.WPToolCover()->FontNameBox()),
                                editor.WPToolCover()->FontSizeBox()}) {
            QVERIFY(list->accessibleName().startsWith("Font "));
            QAccessibleInterface* face = QAccessible::queryAccessibleInterface(list);
            QVERIFY(face);
            QCOMPARE(face->text(QAccessible::Description), list->statusTip());
            QVERIFY(!list->statusTip().isEmpty());
            const auto labels = face->relations(QAccessible::Label);
            QCOMPARE(labels.size(), 1);
            QVERIFY(
                QStringList({"Font", "Size"}).contains(labels[0].first->text(QAccessible::Name)));
        }
        // Alt+Z jumps to the size list of the visible page.
        PressAlt(&editor, Qt::Key_Z);
        QCOMPARE(QApplication::focusWidget(),
                 static_cast<QWidget*>(editor.WPToolCover()->FontSizeBox()));
    }

    // A size typed or picked with the keyboard is applied without taking the focus away:
    // Tab moves on to the next control, the arrow keys stay in the list; Enter and a
    // choice from the open list go back to the text. Leaving the box untouched changes
    // nothing; a size that is no number cannot be typed.
    void fontListsApplyWithoutStealingTab() {
        TFaxEditor editor;
        editor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&editor));
        ButtonOf(&editor, "DocumentButton")->click();
        TQpRichText* text = editor.WPDoc();
        QTest::keyClicks(text, "Quarterly figures");
        text->selectAll();
        QComboBox* size = editor.WPToolDoc()->FontSizeBox();
        QWidget* normal = editor.WPToolDoc()->Button("Normal");

        size->setFocus(Qt::TabFocusReason);
        size->lineEdit()->selectAll();
        QTest::keyClicks(size, "13");
        QTest::keyClick(size, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), normal);
        QCOMPARE(text->FontSize(), 13);

        QTest::keyClick(normal, Qt::Key_Tab, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(size));
        QTest::keyClick(size, Qt::Key_Down);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(size));
        QCOMPARE(text->FontSize(), size->currentText().toInt());
        QVERIFY(text->FontSize() != 13);

        size->lineEdit()->selectAll();
        QTest::keyClicks(size, "2y0");
        QCOMPARE(size->currentText(), QString("20"));
        QTest::keyClick(size, Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(text));
        QCOMPARE(text->FontSize(), 20);
        QCOMPARE(size->findText("13"), -1); // typed sizes are not added to the list

        // Passing through with Tab leaves a mixed selection as it is.
        QTextCursor first(text->document());
        first.movePosition(QTextCursor::NextWord, QTextCursor::KeepAnchor);
        QTextCharFormat small;
        small.setFontPointSize(9);
        first.mergeCharFormat(small);
        text->selectAll();
        const QByteArray mixed = text->Rtf();
        size->setFocus(Qt::TabFocusReason);
        QTest::keyClick(size, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), normal);
        QCOMPARE(text->Rtf(), mixed);

        // A pick from the open list goes back to the text.
        size->setFocus(Qt::TabFocusReason);
        size->showPopup();
        QAbstractItemView* list = size->view();
        QTRY_VERIFY(list->isVisible());
        list->setCurrentIndex(list->model()->index(size->findText("24"), 0));
        QTest::keyClick(list, Qt::Key_Return);
        QTRY_VERIFY(!list->isVisible());
        QCOMPARE(editor.focusWidget(), static_cast<QWidget*>(text));
        QCOMPARE(text->FontSize(), 24);
        editor.activateWindow(); // the headless platform leaves that to the program
        QVERIFY(QTest::qWaitForWindowActive(&editor));
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(text));

        // The font list: the arrow keys apply the next font and stay; Enter goes back.
        QFontComboBox* font = editor.WPToolDoc()->FontNameBox();
        font->setFocus(Qt::TabFocusReason);
        const QString before = text->FontName();
        QTest::keyClick(font, Qt::Key_Down);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(font));
        QCOMPARE(text->FontName(), font->currentFont().family());
        QVERIFY(text->FontName() != before);
        QTest::keyClick(font, Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(text));
        QCOMPARE(text->FontName(), font->currentFont().family());
    }

    // The page button of the visible page looks pressed, the others do not.
    void currentPageButtonLooksPressed() {
        TFaxEditor editor;
        editor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&editor));
        for (const char* shown : {"RecipientButton", "DocumentButton", "CoverButton"}) {
            PressAlt(&editor, shown[0] == 'R'   ? Qt::Key_R
                              : shown[0] == 'D' ? Qt::Key_F
                                                : Qt::Key_C);
            QTRY_VERIFY2(ButtonOf(&editor, shown)->isChecked(), shown); // clicked after a flash
            const int down = MeanGrey(ButtonOf(&editor, shown));
            for (const char* other : {"RecipientButton", "DocumentButton", "CoverButton"}) {
                if (QByteArray(other) != shown) {
                    const int up = MeanGrey(ButtonOf(&editor, other));
                    QVERIFY2(std::abs(up - down) >= 20,
                             qPrintable(
                                 QString("%1 %2 / %3 %4").arg(shown).arg(down).arg(other).arg(up)));
                }
            }
        }
    }

    // Typing stops at the column widths; text set by the program is not cut; letters
    // outside the table's code page are fitted and the status line says so.
    void limitsApplyToTyping() {
        TFaxEditor editor;
        editor.show();
        QTest::keyClicks(editor.Recipient(), QString(40, 'r'));
        QCOMPARE(editor.Recipient()->text().size(), 35);
        QTest::keyClicks(editor.FaxNumber(), QString(30, '1'));
        QCOMPARE(editor.FaxNumber()->text().size(), 25);
        QTest::keyClicks(editor.Subject(), QString(60, 's'));
        QCOMPARE(editor.Subject()->text().size(), 50);

        const QString cloned = "[clone]" + QString(50, 'x');
        editor.Subject()->setText(cloned);
        QCOMPARE(editor.Subject()->text(), cloned);
        editor.Subject()->end(false);
        QTest::keyClicks(editor.Subject(), "yz");
        QCOMPARE(editor.Subject()->text(), cloned);
        // Shortened, it may grow back to the length the program gave it, not beyond.
        editor.Subject()->backspace();
        QTest::keyClicks(editor.Subject(), "qr");
        QCOMPARE(editor.Subject()->text(), cloned.left(56) + "q");
        editor.Subject()->setSelection(0, 3);
        QTest::keyClicks(editor.Subject(), "xyz");
        QCOMPARE(editor.Subject()->text(), "xyz" + cloned.mid(3, 53) + "q");

        editor.Recipient()->clear();
        qptest::TypeText(editor.Recipient(), QString::fromUtf8("Łukasz 日本"));
        QCOMPARE(editor.Recipient()->text(), QString("Lukasz "));
        QVERIFY2(editor.StatusLine()->text().contains(QString::fromUtf8("本")),
                 qPrintable(editor.StatusLine()->text()));
    }

    // The page buttons form one radio group; the zoom button is hidden on the recipient
    // page and shows the zoom of the visible editor; the menu sets and checks it.
    void pagesAndZoom() {
        TFaxEditor editor;
        editor.show();
        QVERIFY(ButtonOf(&editor, "RecipientButton")->isChecked());
        QCOMPARE(editor.Notebook()->currentIndex(), int(TFaxEditor::pgRecipient));
        QVERIFY(!editor.ZoomButton()->isVisible());

        ButtonOf(&editor, "CoverButton")->click();
        QCOMPARE(editor.Notebook()->currentIndex(), int(TFaxEditor::pgCover));
        QVERIFY(!ButtonOf(&editor, "RecipientButton")->isChecked());
        QVERIFY(editor.ZoomButton()->isVisible());
        QCOMPARE(editor.ZoomButton()->text(), QString("100%"));
        editor.ZoomButton()->findChild<QAction*>("Zoom70")->trigger();
        QCOMPARE(editor.WPCover()->Zoom(), 70);
        QCOMPARE(editor.WPDoc()->Zoom(), 100);
        QCOMPARE(editor.ZoomButton()->text(), QString("70%"));
        emit editor.ZoomButton()->ZoomMenu()->aboutToShow();
        QVERIFY(editor.ZoomButton()->findChild<QAction*>("Zoom70")->isChecked());
        QVERIFY(!editor.ZoomButton()->findChild<QAction*>("Zoom100")->isChecked());

        ButtonOf(&editor, "DocumentButton")->click();
        QCOMPARE(editor.Notebook()->currentIndex(), int(TFaxEditor::pgDocument));
        QCOMPARE(editor.ZoomButton()->text(), QString("100%"));
        editor.ZoomButton()->ChooseZoom(80);
        QCOMPARE(editor.WPDoc()->Zoom(), 80);
        QCOMPARE(editor.WPCover()->Zoom(), 70);
        emit editor.ZoomButton()->ZoomMenu()->aboutToShow();
        QVERIFY(editor.ZoomButton()->findChild<QAction*>("Zoom80")->isChecked());
        QVERIFY(!editor.ZoomButton()->findChild<QAction*>("Zoom70")->isChecked());

        ButtonOf(&editor, "RecipientButton")->click();
        QVERIFY(!editor.ZoomButton()->isVisible());
        QCOMPARE(editor.Notebook()->currentIndex(), int(TFaxEditor::pgRecipient));
    }

    // The toolbar buttons are inserted in their order with their hints; word wrap
    // toggles with its hint and down state; the page layout is the fax page.
    void toolbarsAndWordWrap() {
        TFaxEditor editor;
        editor.WPDoc()->SetPageSize(5000, 5000);
        editor.WPDoc()->SetMargins(10, 20, 30, 40);
        editor.show();
        QCOMPARE(editor.WPDoc()->PageLayout().paperWidth, 12240);
        QCOMPARE(editor.WPDoc()->PageLayout().paperHeight, 15840);
        QCOMPARE(editor.WPDoc()->PageLayout().marginTop, 720);
        QCOMPARE(editor.WPDoc()->PageLayout().marginBottom, 720);
        QCOMPARE(editor.WPToolDoc()->height(), editor.WPToolCover()->height());

        auto after = [](QToolButton* first, QToolButton* second) {
            auto* toolBar = qobject_cast<QToolBar*>(first->parentWidget());
            int firstIndex = -1;
            int secondIndex = -1;
            for (int i = 0; i < toolBar->actions().size(); ++i) {
                QWidget* widget = toolBar->widgetForAction(toolBar->actions()[i]);
                firstIndex = widget == first ? i : firstIndex;
                secondIndex = widget == second ? i : secondIndex;
            }
            return firstIndex >= 0 && firstIndex < secondIndex;
        };
        QVERIFY(
            after(ToolOf(&editor, "DocPageBreakButton"), ToolOf(&editor, "ParagraphSetupButton")));
        QVERIFY(
            after(ToolOf(&editor, "ParagraphSetupButton"), ToolOf(&editor, "DocWordWrapButton")));
        QVERIFY(after(editor.WPToolDoc()->Button("Spell"), ToolOf(&editor, "DocPageBreakButton")));
        ButtonOf(&editor, "CoverButton")->click();
        QVERIFY(
            after(ToolOf(&editor, "CoverDocWordWrapButton"), ToolOf(&editor, "LoadCoverButton")));
        QCOMPARE(ToolOf(&editor, "LoadCoverButton")->statusTip(),
                 QString("Load Cover Sheet from Template"));

        QToolButton* wrap = ToolOf(&editor, "DocWordWrapButton");
        QCOMPARE(wrap->statusTip(), QString("Toggle word wrap on"));
        QVERIFY(!wrap->isChecked());
        QVERIFY(!editor.WPDoc()->WordWrap());
        wrap->click();
        QVERIFY(editor.WPDoc()->WordWrap());
        QVERIFY(wrap->isChecked());
        QCOMPARE(wrap->statusTip(), QString("Toggle word wrap off"));
        QVERIFY(!editor.WPCover()->WordWrap());
        wrap->click();
        QVERIFY(!editor.WPDoc()->WordWrap());
        QVERIFY(!wrap->isChecked());
        QCOMPARE(wrap->statusTip(), QString("Toggle word wrap on"));
    }

    // A page break only after Yes to "Add a page break here?" (No is the default).
    void pageBreakAsksFirst() {
        TFaxEditor editor;
        editor.show();
        QTest::keyClicks(editor.WPDoc(), "Page one");
        const QByteArray before = editor.WPDoc()->Rtf();
        MessageBoxScript::PushAnswer(false);
        ToolOf(&editor, "DocPageBreakButton")->click();
        QCOMPARE(MessageBoxScript::Shown().size(), 1);
        QCOMPARE(MessageBoxScript::Shown()[0].caption, QString("Page Break"));
        QCOMPARE(MessageBoxScript::Shown()[0].text, QString("Add a page break here?"));
        QCOMPARE(editor.WPDoc()->Rtf(), before);
        QVERIFY(!before.contains("\\page"));

        MessageBoxScript::PushAnswer(true);
        ToolOf(&editor, "DocPageBreakButton")->click();
        QTest::keyClicks(editor.WPDoc(), "Page two");
        QVERIFY(editor.WPDoc()->Rtf().contains("\\page"));
        QVERIFY(!editor.WPCover()->Rtf().contains("\\page"));
    }

    // Paragraph properties and Spell open their dialogs on the editor of their toolbar.
    void paragraphAndSpellDialogsServeTheirEditor() {
        TFaxEditor editor;
        editor.show();
        QTest::keyClicks(editor.WPCover(), "Cover text");
        {
            auto answer = qptest::OnNextModal<TParagraphPropDlg>([](TParagraphPropDlg* dialog) {
                QCOMPARE(QApplication::focusWidget(),
                         static_cast<QWidget*>(dialog->FirstIndentCombo()));
                dialog->Field(TParagraphPropDlg::vLeftIndent)->selectAll();
                QTest::keyClicks(dialog->Field(TParagraphPropDlg::vLeftIndent), "1");
                dialog->findChild<QPushButton*>("OKButton")->click();
            });
            ToolOf(&editor, "CoverParagraphSetupbutton")->click();
            QVERIFY(answer.Wait());
        }
        QCOMPARE(editor.WPCover()->LeftIndent(), 1440);
        QCOMPARE(editor.WPDoc()->LeftIndent(), 0);

        MessageBoxScript::AnswerAll(true);
        QTest::keyClicks(editor.WPDoc(), "Speling");
        {
            // The document's word, not the cover's, is the one the dialog stops at.
            auto answer = qptest::OnNextModal<TSpellCheckDialog>([](TSpellCheckDialog* dialog) {
                const auto* word = dialog->findChild<QLineEdit*>("ErrorEdit");
                QCOMPARE(word->text(), QString("Speling"));
                dialog->findChild<QPushButton*>("CancelButton")->click();
            });
            editor.WPToolDoc()->Button("Spell")->click();
            QVERIFY(answer.Wait());
        }
    }

    // The phone book entry replaces recipient and number; the subject stays. Cancel
    // changes nothing.
    void phoneBookLookupOverwrites() {
        {
            TPhoneBook book;
            QVERIFY(book.OpenTable());
            book.PhoneAdapter().Append();
            book.PhoneAdapter().SetFieldString("NAME", "Ann Baker");
            book.PhoneAdapter().SetFieldString("PHONE", "555-0101");
            book.PhoneAdapter().Post();
        }
        TFaxEditor editor;
        editor.show();
        editor.Recipient()->setText("Typed before");
        editor.FaxNumber()->setText("999");
        editor.Subject()->setText("Keep me");
        {
            auto answer = qptest::OnNextModal<TPhoneBook>([](TPhoneBook* book) {
                QVERIFY(book->findChild<QPushButton*>("OKButton")->isVisible());
                QVERIFY(!book->findChild<QPushButton*>("Closebutton")->isVisible());
                book->findChild<QPushButton*>("Cancelbutton")->click();
            });
            ButtonOf(&editor, "AddressButton")->click();
            QVERIFY(answer.Wait());
        }
        QCOMPARE(editor.Recipient()->text(), QString("Typed before"));
        {
            auto answer = qptest::OnNextModal<TPhoneBook>([](TPhoneBook* book) {
                book->PhoneGrid()->setCurrentIndex(book->PhoneGrid()->model()->index(0, 0));
                book->findChild<QPushButton*>("OKButton")->click();
            });
            ButtonOf(&editor, "AddressButton")->click();
            QVERIFY(answer.Wait());
        }
        QCOMPARE(editor.Recipient()->text(), QString("Ann Baker"));
        QCOMPARE(editor.FaxNumber()->text(), QString("555-0101"));
        QCOMPARE(editor.Subject()->text(), QString("Keep me"));
    }

    // A template with [RECIPIENT] twice plus [DATE] and [TIME], loaded for "Sales Desk":
    // both places say Sales Desk, date and time are those of the load, the markers are
    // hidden; stored and loaded again, and rendered as a fax page, it still says so.
    void templateMergesRecipientData() {
        TFaxStore store(TTableEnv::Instance());
        QVERIFY(store.OpenCoverDBF());
        StoreSalesTemplate(store.CoverAdapter());
        store.CoverAdapter().Close();

        TFaxEditor editor;
        editor.SetCoverStore(&store);
        editor.show();
        QTest::keyClicks(editor.Recipient(), "Sales Desk");
        ButtonOf(&editor, "CoverButton")->click();
        const QDateTime before = QDateTime::currentDateTime();
        {
            auto answer = qptest::OnNextModal<TCoverBrowse>([](TCoverBrowse* browser) {
                QVERIFY(browser->findChild<QPushButton*>("Acceptbutton")->isVisible());
                QVERIFY(!browser->findChild<QPushButton*>("CloseButton")->isVisible());
                QCOMPARE(browser->CoverGrid()->model()->rowCount(), 1);
                browser->findChild<QPushButton*>("Acceptbutton")->click();
            });
            ToolOf(&editor, "LoadCoverButton")->click();
            QVERIFY(answer.Wait());
        }
        const QDateTime after = QDateTime::currentDateTime();
        QVERIFY(!store.CoverAdapter().Active()); // the table is closed again

        TQpRichText* cover = editor.WPCover();
        const QString text = cover->toPlainText();
        QCOMPARE(text.count("Sales Desk"), 2);
        QVERIFY2(!text.contains("[RECIPIENT]") && !text.contains("[DATE]"), qPrintable(text));
        QVERIFY(text.contains(TFaxEditor::ShortDateText(before.date())) ||
                text.contains(TFaxEditor::ShortDateText(after.date())));
        QVERIFY2(text.contains(TFaxEditor::LongTimeText(before.time())) ||
                     text.contains(TFaxEditor::LongTimeText(after.time())),
                 qPrintable(text));
        QVERIFY(cover->InsertPointMarkersHidden());

        // Typed later, the recipient does not reach the cover sheet.
        QTest::keyClicks(editor.Recipient(), " Two");
        QCOMPARE(cover->toPlainText(), text);

        // Stored and loaded again: the merged values stay.
        TQpRichText reloaded;
        reloaded.SetRtf(cover->Rtf());
        QCOMPARE(reloaded.toPlainText(), text);
        QVERIFY(reloaded.InsertPointMarkersHidden());
        QCOMPARE(reloaded.InsertPointCount(), 4);

        // Rendered for faxing, the merged page differs from the unmerged template's page.
        TQpRichText unmerged;
        {
            QVERIFY(store.OpenCoverDBF());
            LoadRichText(unmerged, "COVER", store.CoverAdapter());
            store.CoverAdapter().Close();
        }
        QVERIFY(unmerged.toPlainText().contains("[RECIPIENT]"));
        const QImage merged = FaxPage(reloaded);
        const QImage plain = FaxPage(unmerged);
        QVERIFY(BlackPixels(merged) > 500);
        QVERIFY(merged != plain);
        const QString picture = QString::fromStdString(DataFolder()) + "merged-cover.png";
        QVERIFY(merged.save(picture));
        if (const QByteArray keep = qgetenv("QP_SCREENSHOT_DIR"); !keep.isEmpty()) {
            merged.save(QString::fromLocal8Bit(keep) + "/merged-cover-faxpage.png");
        }

        // Pictures of the three pages and of the paragraph dialog over the document.
        editor.Subject()->setText("Price list for the spring");
        editor.FaxNumber()->setText("+49 30 1234567");
        ButtonOf(&editor, "RecipientButton")->click();
        QVERIFY(composertest::SaveShot(&editor, "fax-editor-recipient"));
        ButtonOf(&editor, "CoverButton")->click();
        QVERIFY(composertest::SaveShot(&editor, "fax-editor-cover"));
        ButtonOf(&editor, "DocumentButton")->click();
        QTest::keyClicks(editor.WPDoc(), "Dear customer,");
        QTest::keyClick(editor.WPDoc(), Qt::Key_Return);
        QTest::keyClicks(editor.WPDoc(), "please find our new price list below.");
        QVERIFY(composertest::SaveShot(&editor, "fax-editor-document"));
        auto answer = qptest::OnNextModal<TParagraphPropDlg>([](TParagraphPropDlg* dialog) {
            QVERIFY(composertest::SaveShot(dialog, "paragraph-dialog"));
            dialog->reject();
        });
        ToolOf(&editor, "ParagraphSetupButton")->click();
        QVERIFY(answer.Wait());
    }

    // Tags 1 to 5 answer from the fields and the clock, cut to 100 characters; others
    // get no answer, and a template without a table to open changes nothing.
    void insertPointTexts() {
        TFaxEditor editor;
        editor.Recipient()->setText(QString(120, 'R'));
        editor.FaxNumber()->setText("555");
        editor.Subject()->setText(QString());
        QCOMPARE(editor.GetTextToInsert(1), std::optional<QString>(QString(100, 'R')));
        QCOMPARE(editor.GetTextToInsert(2), std::optional<QString>("555"));
        QCOMPARE(editor.GetTextToInsert(3), std::optional<QString>(QString()));
        QVERIFY(editor.GetTextToInsert(4).has_value());
        QVERIFY(!editor.GetTextToInsert(0));
        QVERIFY(!editor.GetTextToInsert(6));
        QVERIFY(!TFaxEditor::LongTimeText(QTime(13, 5, 9)).contains("UTC"));
        QVERIFY(TFaxEditor::LongTimeText(QTime(13, 5, 9)).contains("05:09") ||
                TFaxEditor::LongTimeText(QTime(13, 5, 9)).contains("5:09"));

        // A cover table that cannot be opened: nothing is shown, the editor is unchanged.
        QTest::keyClicks(editor.WPCover(), "Mine");
        QFile blocker(QString::fromStdString(DataFolder()) + "QPXCOV.DBF");
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.write("not a table at all");
        blocker.close();
        ToolOf(&editor, "LoadCoverButton")->click();
        QCOMPARE(editor.WPCover()->toPlainText(), QString("Mine"));
    }

    // Help opens in front of the editor; the status line is the hint target while the
    // editor lives; the placement is kept under TFaxEditor_Placement.
    void helpHintsAndPlacement() {
        QLabel previous;
        SetHintTarget(&previous);
        {
            TFaxEditor editor;
            editor.show();
            QVERIFY(QTest::qWaitForWindowExposed(&editor));
            QCOMPARE(HintTarget(), editor.StatusLine());
            ButtonOf(&editor, "Helpbutton")->click();
            auto* help = editor.findChild<THelpBrowser*>();
            QVERIFY(help);
            QVERIFY(help->isVisible());
            QCOMPARE(help->Topic(), int(THelpBrowser::hcFaxEditor));
            help->close();
            const QStringList clashes = composertest::MnemonicClashes(&editor);
            QVERIFY2(clashes.isEmpty(), qPrintable(clashes.join('\n')));
            const QStringList unnamed = composertest::UnnamedControls(&editor);
            QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join('\n')));

            editor.move(40, 50);
            ButtonOf(&editor, "OKButton")->click();
            QCOMPARE(editor.result(), int(QDialog::Accepted));
        }
        QCOMPARE(HintTarget(), &previous);
        const IniFile ini(SettingsFileName());
        QVERIFY(ini.ReadInteger(
                    PlacementSection(&previous).replace("QLabel", "TFaxEditor").toStdString(),
                    "Bottom", 0) != 0);
        SetHintTarget(nullptr);
    }
};

QTEST_MAIN(FaxEditorTest)
#include "FaxEditorTest.moc"
