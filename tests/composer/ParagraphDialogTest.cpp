// The paragraph properties dialog on a real rich text editor: the twips conversions both
// ways, the first-indent rule, unit switching, refusal of text that is not a number,
// and that OK really changes the paragraph.
#include "dialogs/TParagraphPropDlg.h"

#include "KeyboardCheck.h"
#include "ModalAnswer.h"
#include "WindowChecks.h"

#include "richtext/TQpRichText.h"
#include "ui/MessageBoxScript.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

namespace {

using Dlg = TParagraphPropDlg;

// Types over the field's text, as a user who selected it first.
void Type(QLineEdit* field, const QString& text) {
    field->selectAll();
    if (text.isEmpty()) {
        QTest::keyClick(field, Qt::Key_Delete);
    } else {
        QTest::keyClicks(field, text);
    }
}

void ChooseUnit(Dlg& dialog, Dlg::Unit unit) {
    dialog.UnitCombo()->setCurrentIndex(unit);
}

} // namespace

class ParagraphDialogTest : public QObject {
    Q_OBJECT

private slots:
    void init() { MessageBoxScript::Reset(); }

    // Display and reading of every kind of field, as a table of twips, unit and text.
    void convertsBetweenTwipsAndText_data() {
        QTest::addColumn<int>("twips");
        QTest::addColumn<bool>("spacing");
        QTest::addColumn<int>("unit");
        QTest::addColumn<QString>("shown");
        QTest::newRow("half inch") << 720 << false << int(Dlg::uInch) << "0.50";
        QTest::newRow("half inch in cm") << 720 << false << int(Dlg::uCm) << "1.27";
        QTest::newRow("one cm") << 567 << false << int(Dlg::uCm) << "1.00";
        QTest::newRow("negative indent") << -360 << false << int(Dlg::uInch) << "-0.25";
        QTest::newRow("12 points") << 240 << true << int(Dlg::uInch) << "12";
        QTest::newRow("spacing rounds") << 250 << true << int(Dlg::uCm) << "13";
        QTest::newRow("zero") << 0 << false << int(Dlg::uCm) << "0.00";
    }
    void convertsBetweenTwipsAndText() {
        QFETCH(int, twips);
        QFETCH(bool, spacing);
        QFETCH(int, unit);
        QFETCH(QString, shown);
        QCOMPARE(Dlg::TwipsToText(twips, spacing, Dlg::Unit(unit)), shown);
    }

    void readsTypedNumbers() {
        QCOMPARE(Dlg::TextToTwips("12", true, Dlg::uInch), std::optional<int>(240));
        QCOMPARE(Dlg::TextToTwips("1", false, Dlg::uCm), std::optional<int>(567));
        QCOMPARE(Dlg::TextToTwips("0.5", false, Dlg::uInch), std::optional<int>(720));
        QCOMPARE(Dlg::TextToTwips(" 1.5 ", true, Dlg::uInch), std::optional<int>(30));
        QCOMPARE(Dlg::TextToTwips("", false, Dlg::uCm), std::optional<int>(0));
        QCOMPARE(Dlg::TextToTwips("   ", true, Dlg::uCm), std::optional<int>(0));
        QVERIFY(!Dlg::TextToTwips("abc", false, Dlg::uInch));
        QVERIFY(!Dlg::TextToTwips("1..2", false, Dlg::uInch));
        QVERIFY(!Dlg::TextToTwips("-", true, Dlg::uInch));
        QVERIFY(!Dlg::TextToTwips("1e300", true, Dlg::uInch));
    }

    // The dialog shows the paragraph's values; typing stores twips; OK applies them to
    // the paragraph, and the editor reports the new values.
    void okChangesTheParagraph() {
        TQpRichText editor;
        editor.setPlainText("First paragraph\nSecond paragraph");
        editor.moveCursor(QTextCursor::Start);
        editor.SetParagraphIndents(720, 720, 0);
        editor.SetParagraphSpacing(0, 0, 0);

        Dlg dialog;
        dialog.SetEditor(&editor);
        QCOMPARE(dialog.Field(Dlg::vLeftIndent)->text(), QString("0.50"));
        QCOMPARE(dialog.FirstIndentCombo()->currentIndex(), 0); // same as left
        QVERIFY(!dialog.Field(Dlg::vFirstIndent)->isEnabled());
        ChooseUnit(dialog, Dlg::uCm);
        QCOMPARE(dialog.Field(Dlg::vLeftIndent)->text(), QString("1.27"));
        QVERIFY(dialog.Field(Dlg::vLeftIndent)->statusTip().endsWith("in centimeters"));

        Type(dialog.Field(Dlg::vLeftIndent), "1");
        QCOMPARE(dialog.Twips(Dlg::vLeftIndent), 567);
        // "Same as Left Indent" copies the left indent into the first indent.
        QCOMPARE(dialog.Field(Dlg::vFirstIndent)->text(), QString("1"));
        QCOMPARE(dialog.Twips(Dlg::vFirstIndent), 567);
        Type(dialog.Field(Dlg::vRightIndent), "");
        QCOMPARE(dialog.Twips(Dlg::vRightIndent), 0);
        Type(dialog.Field(Dlg::vSpaceBefore), "12");
        QCOMPARE(dialog.Twips(Dlg::vSpaceBefore), 240);
        Type(dialog.Field(Dlg::vSpaceAfter), "6");
        Type(dialog.Field(Dlg::vLineHeight), "14");
        dialog.findChild<QPushButton*>("OKButton")->click();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));

        QCOMPARE(editor.LeftIndent(), 567);
        QCOMPARE(editor.FirstIndent(), 567);
        QCOMPARE(editor.RightIndent(), 0);
        QCOMPARE(editor.SpaceBefore(), 240);
        QCOMPARE(editor.SpaceAfter(), 120);
        QCOMPARE(editor.LineHeight(), 280);
        // Only the current paragraph changed.
        editor.moveCursor(QTextCursor::End);
        QCOMPARE(editor.LeftIndent(), 0);

        // Shown again, the values come back in inches and points.
        Dlg again;
        editor.moveCursor(QTextCursor::Start);
        again.SetEditor(&editor);
        QCOMPARE(again.Field(Dlg::vLeftIndent)->text(), QString("0.39"));
        QCOMPARE(again.Field(Dlg::vSpaceBefore)->text(), QString("12"));
        QVERIFY(again.Field(Dlg::vLeftIndent)->statusTip().endsWith("in inches"));
    }

    // A value shown rounded must not be read back from its display when the unit changes:
    // OK applies exactly what was there.
    void unitSwitchingDoesNotDrift() {
        TQpRichText editor;
        editor.setPlainText("Text");
        editor.SetParagraphIndents(500, 333, 101);
        editor.SetParagraphSpacing(7, 0, 13);
        Dlg dialog;
        dialog.SetEditor(&editor);
        QCOMPARE(dialog.FirstIndentCombo()->currentIndex(), 1); // indented by
        QVERIFY(dialog.Field(Dlg::vFirstIndent)->isEnabled());
        for (int round = 0; round < 3; ++round) {
            ChooseUnit(dialog, Dlg::uCm);
            ChooseUnit(dialog, Dlg::uInch);
        }
        dialog.findChild<QPushButton*>("OKButton")->click();
        QCOMPARE(editor.FirstIndent(), 500);
        QCOMPARE(editor.LeftIndent(), 333);
        QCOMPARE(editor.RightIndent(), 101);
        QCOMPARE(editor.SpaceBefore(), 7);
        QCOMPARE(editor.SpaceAfter(), 13);
    }

    // Choosing "Same as Left Indent" takes over the left indent and disables the field.
    void firstIndentFollowsTheChoice() {
        TQpRichText editor;
        editor.setPlainText("Text");
        editor.SetParagraphIndents(1440, 720, 0);
        Dlg dialog;
        dialog.SetEditor(&editor);
        QCOMPARE(dialog.Field(Dlg::vFirstIndent)->text(), QString("1.00"));
        dialog.FirstIndentCombo()->setCurrentIndex(0);
        emit dialog.FirstIndentCombo()->activated(0);
        QCOMPARE(dialog.Field(Dlg::vFirstIndent)->text(), QString("0.50"));
        QVERIFY(!dialog.Field(Dlg::vFirstIndent)->isEnabled());
        QCOMPARE(dialog.Twips(Dlg::vFirstIndent), 720);
    }

    // A text that is not a number keeps the stored value; OK says which field is wrong,
    // stays open and changes nothing in the document. Cancel never changes it.
    void refusesTextThatIsNotANumber() {
        TQpRichText editor;
        editor.setPlainText("Text");
        editor.SetParagraphIndents(0, 720, 0);
        Dlg dialog;
        dialog.SetEditor(&editor);
        dialog.show();
        Type(dialog.Field(Dlg::vSpaceBefore), "12");
        Type(dialog.Field(Dlg::vLeftIndent), "x1");
        QCOMPARE(dialog.Twips(Dlg::vLeftIndent), 720);
        MessageBoxScript::PushAnswer(true);
        dialog.findChild<QPushButton*>("OKButton")->click();
        QVERIFY(dialog.isVisible());
        QCOMPARE(MessageBoxScript::Shown().size(), 1);
        QVERIFY(MessageBoxScript::Shown()[0].text.contains("x1"));
        QVERIFY(MessageBoxScript::Shown()[0].text.contains("Left Indent"));
        QCOMPARE(editor.SpaceBefore(), 0);
        QCOMPARE(editor.LeftIndent(), 720);

        dialog.findChild<QPushButton*>("CancelButton")->click();
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QCOMPARE(editor.SpaceBefore(), 0);
    }

    // The window opens with the focus in its first field; hints and names are there.
    void keyboardAndHints() {
        Dlg dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(dialog.FirstIndentCombo()));
        QP_VERIFY_KEYBOARD(&dialog);
        QCOMPARE(dialog.windowTitle(), QString("Paragraph Properties"));
        QCOMPARE(dialog.size(), QSize(494, 137));
        QCOMPARE(dialog.Field(Dlg::vSpaceAfter)->statusTip(),
                 QString("Specify spacing after paragraph in points (1 point=1/72 inch)"));
        QCOMPARE(dialog.UnitCombo()->statusTip(),
                 QString("Change unit of measurement to inches or centimeters"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        // The first indent is disabled (same as left): Tab goes on to the left indent.
        QCOMPARE(QApplication::focusWidget(),
                 static_cast<QWidget*>(dialog.Field(Dlg::vRightIndent)));
        const QStringList problems =
            composertest::MnemonicClashes(&dialog) + composertest::UnnamedControls(&dialog);
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
        QTest::keyClick(&dialog, Qt::Key_Escape);
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QVERIFY(!dialog.isVisible());
    }
};

QTEST_MAIN(ParagraphDialogTest)
#include "ParagraphDialogTest.moc"
