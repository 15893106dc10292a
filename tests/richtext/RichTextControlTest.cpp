// The rich text editor control: what the rest of the program relies on. RTF it writes
// reads back unchanged, contents queries, attributes for new text, insert points, the
// spell-check word scan and paragraph values.
#include "richtext/TQpRichText.h"

#include "Headless.h"
#include "richtext/TQpRichToolBar.h"

#include <QComboBox>
#include <QFontComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>
#include <QTextBlock>
#include <QToolButton>
#include <QtTest>

namespace {

// A document with every attribute, insert points, page breaks, tabs and characters
// outside ASCII, in the stored form.
QByteArray RichRtf() {
    return "{\\rtf1\\ansi\\deff0\\deftab720{\\fonttbl{\\f0\\fswiss\\charset0 Arial;}"
           "{\\f1\\fmodern\\charset0 Courier New;}{\\f2\\fdecor\\charset2 Symbol;}}"
           "{\\colortbl\\red0\\green0\\blue0;\\red255\\green255\\blue255;\\red255\\green0\\blue0;"
           "\\red0\\green255\\blue0;\\red0\\green0\\blue255;\\red255\\green255\\blue0;"
           "\\red255\\green0\\blue255;\\red0\\green255\\blue255;\\red128\\green0\\blue0;"
           "\\red0\\green128\\blue0;\\red0\\green0\\blue128;\\red128\\green128\\blue0;"
           "\\red128\\green0\\blue128;\\red0\\green128\\blue128;\\red128\\green128\\blue128;}"
           "\\paperw12240\\paperh15840\\margl720\\margr720\\margt720\\margb720"
           "{\\title Offer}{\\subject\tPrices}{\\comment\tDraft}"
           "\\pard\\qc\\plain\\f0\\fs28\\cf0\\b Dear \\plain\\f0\\fs20\\cf2\\inspnt1 [RECIPIENT]"
           "\\plain\\f0\\fs20\\cf0 ,\\par\n\r"
           "\\pard\\qj\\li720\\ri360\\fi-360\\sb120\\sa240\\sl300\\tqr\\tx1440\\tx2880"
           "\\plain\\f1\\fs22\\cf4\\cb5\\ul\\i\\strike\\shad tab\\tab here\\line caf\\'e9 \\'80 "
           "\\\\ \\{x\\} \\u945?\\plain\\f0\\fs20\\cf0\\uldb\\super x\\plain\\f2\\fs20\\cf0\\sub 2"
           "\\plain\\f0\\fs20\\cf0\\v secret\\plain\\par\n\r"
           "\\page\\pard\\plain\\f0\\fs20\\cf2\\inspnt4 [DATE]\\plain\\f0\\fs20\\cf2\\inspnt4 "
           "[DATE]\\par\n\r\\page\\par\n\r\r\n}";
}

} // namespace

class RichTextControlTest : public QObject {
    Q_OBJECT

private slots:
    // RTF the control writes reads back unchanged: stored form in, same bytes out, and
    // write -> read -> write identical.
    void rtfReadsBackUnchanged() {
        TQpRichText editor;
        editor.SetRtf(RichRtf());
        const QByteArray written = editor.Rtf();
        QCOMPARE(written, RichRtf());
        TQpRichText second;
        second.SetRtf(written);
        QCOMPARE(second.Rtf(), written);
        QCOMPARE(editor.InsertPointCount(), 3);
    }

    // File load and save go through the same reader and writer; a missing file leaves
    // the editor empty.
    void loadsAndSavesFiles() {
        TQpRichText editor;
        editor.SetRtf(RichRtf());
        const QString file = QDir::temp().filePath("qp-richtext-test.rtf");
        QVERIFY(editor.SaveToFile(file));
        TQpRichText loaded;
        QVERIFY(loaded.LoadFromFile(file));
        QCOMPARE(loaded.Rtf(), RichRtf());
        QFile::remove(file);
        QVERIFY(!loaded.LoadFromFile(file));
        QVERIFY(loaded.IsEmpty());
    }

    // Empty test, character count, line count and line text decide whether a fax part is
    // empty; insert point markers are not characters of the text.
    void reportsContents() {
        TQpRichText editor;
        QVERIFY(editor.IsEmpty());
        QCOMPARE(editor.CharCount(), 0);
        editor.SetRtf("{\\rtf1 first\\par   \\par third\\line fourth\\par}");
        QVERIFY(!editor.IsEmpty());
        QCOMPARE(editor.LineCount(), 4);
        QCOMPARE(editor.LineText(0), QString("first"));
        QCOMPARE(editor.LineText(1), QString("  "));
        QCOMPARE(editor.LineText(3), QString("fourth"));
        QCOMPARE(editor.CharCount(), QString("first\n  \nthird\nfourth").size());
        editor.Clear();
        QVERIFY(editor.IsEmpty());
        editor.InsertInsertPoint(1, "[RECIPIENT]");
        QCOMPARE(editor.CharCount(), 11);
    }

    // Attributes set for new text apply to what is typed next and are written out.
    void attributesApplyToTypedText() {
        TQpRichText editor;
        editor.SetFontName("Courier New");
        editor.SetFontSize(14);
        editor.SetBold(true);
        editor.SetItalic(true);
        editor.SetUnderline(true);
        QCOMPARE(editor.FontName(), QString("Courier New"));
        QCOMPARE(editor.FontSize(), 14);
        QVERIFY(editor.Bold() && editor.Italic() && editor.Underline());
        QTest::keyClicks(&editor, "Typed");
        editor.SetNormal();
        QTest::keyClicks(&editor, " plain");
        const QByteArray rtf = editor.Rtf();
        QVERIFY2(rtf.contains("{\\f0\\fmodern\\charset0 Courier New;}"), rtf);
        QVERIFY2(
            rtf.contains("\\plain\\f0\\fs28\\cf0\\b\\ul\\i Typed\\plain\\f0\\fs28\\cf0  plain"),
            rtf);
    }

    // Zoom scales the view only: the document and what is written stay the same.
    void zoomLeavesDocumentUnchanged() {
        TQpRichText editor;
        editor.SetRtf(RichRtf());
        for (int zoom : {70, 208, 100}) {
            editor.SetZoom(zoom);
            QCOMPARE(editor.Zoom(), zoom);
            QCOMPARE(editor.Rtf(), RichRtf());
        }
    }

    // Word wrap wraps at the page's text width; off, lines run on.
    void wordWrapFollowsPageWidth() {
        TQpRichText editor;
        editor.SetPageSize(12240, 15840);
        editor.SetMargins(720, 720, 720, 720);
        QVERIFY(editor.WordWrap());
        QCOMPARE(editor.lineWrapMode(), QTextEdit::FixedPixelWidth);
        const int width = editor.lineWrapColumnOrWidth();
        editor.SetMargins(1440, 1440, 720, 720);
        QVERIFY(editor.lineWrapColumnOrWidth() < width);
        editor.SetWordWrap(false);
        QCOMPARE(editor.lineWrapMode(), QTextEdit::NoWrap);
        QCOMPARE(editor.PageLayout().marginLeft, 1440);
    }

    // A page break inserted at the caret starts the next paragraph on a new page and
    // keeps the current attributes; Enter after it does not copy the break.
    void insertsPageBreak() {
        TQpRichText editor;
        QTest::keyClicks(&editor, "one");
        editor.SetBold(true);
        editor.InsertPageBreak();
        QTest::keyClicks(&editor, "two");
        QTest::keyClick(&editor, Qt::Key_Return);
        QTest::keyClicks(&editor, "three");
        const QByteArray rtf = editor.Rtf();
        QVERIFY2(rtf.contains("one\\par\n\r\\page\\plain\\f0\\fs20\\cf0\\b two\\par\n\r\\plain"),
                 rtf);
        QCOMPARE(rtf.count("\\page"), 1);
    }

    // Insert points: marker + field text in red; merge asks GetTextToInsert per tag and
    // leaves unanswered tags alone; markers can be hidden while field texts stay; the
    // merged values survive saving and loading.
    void mergesInsertPoints() {
        TQpRichText editor;
        QTest::keyClicks(&editor, "To ");
        editor.InsertInsertPoint(1, "[RECIPIENT]");
        QTest::keyClicks(&editor, " and ");
        editor.InsertInsertPoint(1, "[RECIPIENT]");
        QTest::keyClicks(&editor, " at ");
        editor.InsertInsertPoint(9, "[OTHER]");
        QCOMPARE(editor.InsertPointCount(), 3);
        QVERIFY(editor.Rtf().contains("\\plain\\f0\\fs20\\cf2\\inspnt1 [RECIPIENT]"));

        QList<int> asked;
        editor.GetTextToInsert = [&](int tag) -> std::optional<QString> {
            asked << tag;
            if (tag == 1) {
                return QString("Sales Desk");
            }
            return std::nullopt;
        };
        editor.MergeInsertPoints();
        editor.SetInsertPointMarkersHidden(true);
        QVERIFY(editor.InsertPointMarkersHidden());
        QCOMPARE(asked.size(), 3);
        QCOMPARE(editor.LineText(0), QString("To Sales Desk and Sales Desk at [OTHER]"));

        TQpRichText reloaded;
        reloaded.SetRtf(editor.Rtf());
        QCOMPARE(reloaded.LineText(0), QString("To Sales Desk and Sales Desk at [OTHER]"));
        QCOMPARE(reloaded.InsertPointCount(), 3);
        QVERIFY(reloaded.Rtf().contains("\\inspnt1 Sales Desk"));
    }

    // The word scan walks every word once, skips field texts, highlights, replaces and
    // removes the highlight.
    void scansWordsForSpelling() {
        TQpRichText editor;
        QTest::keyClicks(&editor, "Helo world, it's ");
        editor.InsertInsertPoint(1, "[RECIPIENT]");
        QTest::keyClicks(&editor, " 42 fine");
        editor.ResetWordScan();
        QStringList words;
        for (QString word = editor.NextWord(); !word.isEmpty(); word = editor.NextWord()) {
            words << word;
        }
        QCOMPARE(words, QStringList({"Helo", "world", "it's", "fine"}));
        editor.ResetWordScan();
        QCOMPARE(editor.NextWord(), QString("Helo"));
        editor.HighlightWord();
        QCOMPARE(editor.extraSelections().size(), 1);
        QCOMPARE(editor.textCursor().selectedText(), QString("Helo"));
        editor.ReplaceWord("Hello");
        QCOMPARE(editor.NextWord(), QString("world"));
        editor.RemoveHighlight();
        QVERIFY(editor.extraSelections().isEmpty());
        QVERIFY(!editor.textCursor().hasSelection());
        QCOMPARE(editor.LineText(0), QString("Hello world, it's [RECIPIENT] 42 fine"));
    }

    // Paragraph values in twips: set on the current (or selected) paragraphs, read back,
    // and kept in the RTF; the first-line indent is measured from the left margin.
    void paragraphValuesInTwips() {
        TQpRichText editor;
        editor.SetRtf("{\\rtf1 one\\par two\\par three\\par}");
        QTextCursor cursor = editor.textCursor();
        cursor.movePosition(QTextCursor::Start);
        cursor.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor);
        editor.setTextCursor(cursor);
        editor.SetParagraphSpacing(240, 360, 120);
        editor.SetParagraphIndents(1440, 720, 360);
        QCOMPARE(editor.SpaceBefore(), 240);
        QCOMPARE(editor.LineHeight(), 360);
        QCOMPARE(editor.SpaceAfter(), 120);
        QCOMPARE(editor.FirstIndent(), 1440);
        QCOMPARE(editor.LeftIndent(), 720);
        QCOMPARE(editor.RightIndent(), 360);
        const QByteArray rtf = editor.Rtf();
        QVERIFY2(rtf.contains(
                     "\\pard\\li720\\ri360\\fi720\\sb240\\sa120\\sl360\\plain\\f0\\fs20\\cf0 one"
                     "\\par\n\r\\plain"),
                 rtf);
        QVERIFY2(rtf.contains("\\pard\\plain\\f0\\fs20\\cf0 three"), rtf);
        editor.SetZoom(150); // pixels change with the zoom, twips do not
        QCOMPARE(editor.FirstIndent(), 1440);
        QCOMPARE(editor.Rtf(), rtf);
    }

    // The toolbar offers its controls with their hints, works on its editor and raises
    // the spell-check request.
    void toolbarDrivesEditor() {
        TQpRichText editor;
        TQpRichToolBar toolbar;
        toolbar.SetEditor(&editor);
        for (const char* hint : {"Normal", "Bold", "Italic", "Under", "Left", "Right", "Justified",
                                 "Center", "Copy", "Cut", "Paste", "Spell"}) {
            QToolButton* button = toolbar.Button(hint);
            QVERIFY2(button, hint);
            QCOMPARE(button->statusTip(), QString(hint));
        }
        QCOMPARE(toolbar.FontSizeBox()->itemText(0), QString("8"));
        toolbar.Button("Bold")->click();
        QVERIFY(editor.Bold());
        toolbar.Button("Center")->click();
        QCOMPARE(editor.textCursor().blockFormat().alignment() & Qt::AlignHorizontal_Mask,
                 Qt::AlignHCenter);
        int requests = 0;
        editor.OnSpellCheckRequest = [&] { ++requests; };
        toolbar.Button("Spell")->click();
        QCOMPARE(requests, 1);
        auto* extra = new QToolButton;
        toolbar.AddButton(extra);
        QCOMPARE(extra->parentWidget(), &toolbar);

        // Every control is a Tab stop in the order shown, with a spoken name; the lists
        // have labels with Alt letters and their hints as descriptions.
        const QList<QWidget*> stops = toolbar.TabStops();
        QCOMPARE(stops.size(), 2 + 12 + 1);
        QCOMPARE(stops[0], static_cast<QWidget*>(toolbar.FontNameBox()));
        QCOMPARE(stops[1], static_cast<QWidget*>(toolbar.FontSizeBox()));
        QCOMPARE(stops[2], static_cast<QWidget*>(toolbar.Button("Normal")));
        QCOMPARE(stops[13], static_cast<QWidget*>(toolbar.Button("Spell")));
        QCOMPARE(stops.last(), static_cast<QWidget*>(extra));
        QCOMPARE(toolbar.Button("Under")->accessibleName(), QString("Underline"));
        QCOMPARE(toolbar.Button("Left")->accessibleName(), QString("Left"));
        for (QComboBox* list :
             {static_cast<QComboBox*>(toolbar.FontNameBox()), toolbar.FontSizeBox()}) {
            QVERIFY(!list->accessibleName().isEmpty());
            QCOMPARE(list->accessibleDescription(), list->statusTip());
            int labels = 0;
            for (const QLabel* label : toolbar.findChildren<QLabel*>()) {
                labels += label->buddy() == list && label->text().contains('&') ? 1 : 0;
            }
            QCOMPARE(labels, 1);
        }
    }

    // Tab is text in the editor; Ctrl+Tab leaves it for the next control, Shift+Tab and
    // Ctrl+Shift+Tab for the previous one, and none of them types anything.
    void ctrlTabLeavesTheText() {
        QWidget window;
        auto* layout = new QVBoxLayout(&window);
        auto* before = new QLineEdit(&window);
        auto* editor = new TQpRichText(&window);
        auto* after = new QLineEdit(&window);
        layout->addWidget(before);
        layout->addWidget(editor);
        layout->addWidget(after);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        editor->setFocus();
        QTest::keyClicks(editor, "a");
        QTest::keyClick(editor, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(editor));
        QCOMPARE(editor->toPlainText(), QString("a\t"));

        QTest::keyClick(editor, Qt::Key_Tab, Qt::ControlModifier);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(after));
        editor->setFocus();
        QTest::keyClick(editor, Qt::Key_Tab, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(before));
        editor->setFocus();
        QTest::keyClick(editor, Qt::Key_Backtab, Qt::ShiftModifier | Qt::ControlModifier);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(before));
        QCOMPARE(editor->toPlainText(), QString("a\t"));
    }
};

QTEST_MAIN(RichTextControlTest)
#include "RichTextControlTest.moc"
