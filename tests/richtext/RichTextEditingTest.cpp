// Editing in the rich text control as the fax editor and the cover templates use it:
// text typed next to an insert point stays ordinary text, typing attributes survive empty
// paragraphs, empty paragraphs keep their size, an unchanged paragraph dialog keeps
// proportional line spacing, and merged covers keep their state through the stored RTF.
#include "richtext/TQpRichText.h"

#include "Headless.h"
#include "richtext/core/TRtfReader.h"

#include <QPainter>
#include <QTextBlock>
#include <QtTest>

namespace {

TRtfDocument Stored(const TQpRichText& editor) {
    const QByteArray rtf = editor.Rtf();
    return TRtfReader::Read(std::string_view(rtf.constData(), rtf.size()));
}

// The merge handler of the fax editor for a fax to "Sales Desk".
std::optional<QString> SalesDesk(int tag) {
    if (tag == 1) {
        return QString("Sales Desk");
    }
    return std::nullopt;
}

// Every run of the stored text that is not an insert point, with its text.
QList<TRtfRun> OrdinaryRuns(const TRtfDocument& document) {
    QList<TRtfRun> runs;
    for (const TRtfParagraph& paragraph : document.paragraphs) {
        for (const TRtfRun& run : paragraph.runs) {
            if (run.insertPointId == 0 && !run.text.empty()) {
                runs << run;
            }
        }
    }
    return runs;
}

// Types `text` key by key, also characters no key of a Western keyboard gives.
void TypeAnyText(TQpRichText& editor, const QString& text) {
    for (const QChar ch : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(ch));
        QApplication::sendEvent(&editor, &press);
    }
}

void MoveCaretTo(TQpRichText& editor, QTextCursor::MoveOperation where) {
    QTextCursor cursor = editor.textCursor();
    cursor.movePosition(where);
    editor.setTextCursor(cursor);
}

bool RowHasInk(const QImage& page, int y) {
    const QRgb* line = reinterpret_cast<const QRgb*>(page.constScanLine(y));
    for (int x = 0; x < page.width(); ++x) {
        if (qGray(line[x]) < 128) {
            return true;
        }
    }
    return false;
}

// The top rows of the ink bands (lines of text) on the first fax page of `editor`.
QList<int> InkBandTops(TQpRichText& editor) {
    editor.SetZoom(208);
    editor.SetRenderOptions(TQpRichText::roFaxPage);
    QImage page(1664, 2156, QImage::Format_RGB32);
    page.fill(Qt::white);
    {
        QPainter painter(&page);
        editor.RenderPage(painter, 0, QRect(49, 49, 1566, 2058));
    }
    QList<int> tops;
    bool inBand = false;
    for (int y = 0; y < page.height(); ++y) {
        const bool ink = RowHasInk(page, y);
        if (ink && !inBand) {
            tops << y;
        }
        inBand = ink;
    }
    return tops;
}

} // namespace

class RichTextEditingTest : public QObject {
    Q_OBJECT

private slots:
    // "[RECIPIENT], thank you" must merge to "Sales Desk, thank you" however the caret
    // reached the end (or the start) of the insert point before typing.
    void typingNextToInsertPointIsOrdinaryText_data() {
        QTest::addColumn<QString>("way");
        QTest::addColumn<QString>("merged");
        QTest::newRow("right after inserting") << "insert"
                                               << "Dear Sales Desk, thank you";
        QTest::newRow("End key") << "end"
                                 << "Dear Sales Desk, thank you";
        QTest::newRow("caret placed by the program") << "placed"
                                                     << "Dear Sales Desk, thank you";
        QTest::newRow("left and right arrows") << "arrows"
                                               << "Dear Sales Desk, thank you";
        QTest::newRow("loaded from the template") << "loaded"
                                                  << "Dear Sales Desk, thank you";
        QTest::newRow("after a merge") << "merged"
                                       << "Dear Sales Desk, thank you";
        QTest::newRow("before, at the line start") << "home"
                                                   << "Dear Sales Desk";
    }
    void typingNextToInsertPointIsOrdinaryText() {
        QFETCH(QString, way);
        QFETCH(QString, merged);
        TQpRichText editor;
        if (way != "home") {
            QTest::keyClicks(&editor, "Dear ");
        }
        editor.InsertInsertPoint(1, "[RECIPIENT]");
        if (way == "end") {
            QTest::keyClick(&editor, Qt::Key_Home);
            QTest::keyClick(&editor, Qt::Key_End);
        } else if (way == "placed") {
            MoveCaretTo(editor, QTextCursor::Start);
            MoveCaretTo(editor, QTextCursor::End);
        } else if (way == "arrows") {
            QTest::keyClick(&editor, Qt::Key_Left);
            QTest::keyClick(&editor, Qt::Key_Right);
        } else if (way == "loaded") {
            editor.SetRtf(editor.Rtf());
            MoveCaretTo(editor, QTextCursor::End);
        } else if (way == "merged") {
            editor.GetTextToInsert = [](int) { return std::optional<QString>("[RECIPIENT]"); };
            editor.MergeInsertPoints();
            MoveCaretTo(editor, QTextCursor::End);
        } else if (way == "home") {
            QTest::keyClick(&editor, Qt::Key_Home);
            QTest::keyClicks(&editor, "Dear ");
        }
        if (way != "home") {
            QTest::keyClicks(&editor, ", thank you");
        }
        QCOMPARE(editor.InsertPointCount(), 1);

        // The typed text is stored as ordinary black text, the field text alone as the
        // insert point.
        const TRtfDocument stored = Stored(editor);
        QCOMPARE(stored.paragraphs.size(), size_t(1));
        QString fieldText;
        for (const TRtfRun& run : stored.paragraphs[0].runs) {
            if (run.insertPointId > 0) {
                fieldText += QString::fromStdU32String(run.text);
            } else {
                QCOMPARE(run.format.insertPointTag, 0);
                QCOMPARE(run.format.color, (TRtfColor{0, 0, 0}));
            }
        }
        QCOMPARE(fieldText, QString("[RECIPIENT]"));

        editor.GetTextToInsert = SalesDesk;
        editor.MergeInsertPoints();
        QCOMPARE(editor.LineText(0), merged);
    }

    // Typing inside the field text edits the field text: it is merged away with it.
    void typingInsideFieldTextStaysInIt() {
        TQpRichText editor;
        editor.InsertInsertPoint(1, "[RECIPIENT]");
        for (int i = 0; i < 3; ++i) {
            QTest::keyClick(&editor, Qt::Key_Left);
        }
        QTest::keyClicks(&editor, "xx");
        QCOMPARE(editor.LineText(0), QString("[RECIPIExxNT]"));
        editor.GetTextToInsert = SalesDesk;
        editor.MergeInsertPoints();
        QCOMPARE(editor.LineText(0), QString("Sales Desk"));
    }

    // Text typed over a selected insert point (marker and field text) replaces it with
    // ordinary text that the merge leaves alone.
    void typingOverSelectedInsertPointReplacesIt() {
        TQpRichText editor;
        QTest::keyClicks(&editor, "Dear ");
        editor.InsertInsertPoint(1, "[RECIPIENT]");
        QTest::keyClicks(&editor, ",");
        QTextCursor selection = editor.textCursor();
        selection.setPosition(5);
        selection.setPosition(17, QTextCursor::KeepAnchor);
        editor.setTextCursor(selection);
        QCOMPARE(editor.InsertPointCount(), 1); // selecting changes nothing
        QTest::keyClicks(&editor, "Bob");
        QCOMPARE(editor.InsertPointCount(), 0);
        editor.GetTextToInsert = SalesDesk;
        editor.MergeInsertPoints();
        QCOMPARE(editor.LineText(0), QString("Dear Bob,"));
        QVERIFY(!editor.Rtf().contains("\\inspnt"));
    }

    // Attributes chosen for new text survive Enter on empty lines: Times New Roman 12
    // bold, then "H", Enter, Enter, "W" stores both letters (and the empty line) in that
    // font; so does a document that starts with Enter.
    void typingAttributesSurviveEmptyParagraphs_data() {
        QTest::addColumn<QString>("keys"); // text, '|' for Enter
        QTest::newRow("H, Enter, Enter, W") << "H||W";
        QTest::newRow("Enter first") << "|W";
        QTest::newRow("three empty lines") << "|||W||X";
    }
    void typingAttributesSurviveEmptyParagraphs() {
        QFETCH(QString, keys);
        TQpRichText editor;
        editor.SetFontName("Times New Roman");
        editor.SetFontSize(12);
        editor.SetBold(true);
        for (QChar key : keys) {
            if (key == '|') {
                QTest::keyClick(&editor, Qt::Key_Return);
            } else {
                QTest::keyClicks(&editor, QString(key));
            }
        }
        QCOMPARE(editor.FontName(), QString("Times New Roman"));
        QCOMPARE(editor.FontSize(), 12);
        QVERIFY(editor.Bold());
        const QList<TRtfRun> runs = OrdinaryRuns(Stored(editor));
        QCOMPARE(runs.size(), keys.count(QRegularExpression("[A-Z]")));
        for (const TRtfRun& run : runs) {
            QCOMPARE(run.format.font.name, std::string("Times New Roman"));
            QCOMPARE(run.format.halfPoints, 24);
            QVERIFY(run.format.bold);
        }
        // Every empty line shows the same attributes when the caret is on it.
        for (QTextBlock block = editor.document()->begin(); block.isValid(); block = block.next()) {
            editor.setTextCursor(QTextCursor(block));
            QCOMPARE(editor.FontName(), QString("Times New Roman"));
            QCOMPARE(editor.FontSize(), 12);
        }
    }

    // A 28 point empty line keeps its size when the text is saved and loaded again, so
    // the layout does not change.
    void emptyParagraphsKeepTheirSize() {
        TQpRichText editor;
        editor.SetFontSize(28);
        QTest::keyClicks(&editor, "Top");
        QTest::keyClick(&editor, Qt::Key_Return);
        QTest::keyClick(&editor, Qt::Key_Return);
        editor.SetFontSize(10);
        QTest::keyClicks(&editor, "Bottom");
        const QList<int> before = InkBandTops(editor);

        TQpRichText reloaded;
        reloaded.SetRtf(editor.Rtf());
        QTextCursor empty(reloaded.document()->findBlockByNumber(1));
        reloaded.setTextCursor(empty);
        QCOMPARE(reloaded.FontSize(), 28);
        QCOMPARE(reloaded.Rtf(), editor.Rtf());
        const QList<int> after = InkBandTops(reloaded);
        QCOMPARE(after.size(), 2);
        QCOMPARE(after, before);
    }

    // An unchanged OK in the paragraph dialog (read the six values, set them again) keeps
    // 1.5 lines spacing from a word processor; a changed line height replaces it.
    void proportionalLineSpacingIsReportedAndKept() {
        TQpRichText editor;
        editor.SetRtf("{\\rtf1\\pard\\sb120\\sl360\\slmult1 one\\par}");
        QCOMPARE(editor.LineHeight(), 360);
        editor.SetParagraphSpacing(editor.SpaceBefore(), editor.LineHeight(), editor.SpaceAfter());
        editor.SetParagraphIndents(editor.FirstIndent(), editor.LeftIndent(), editor.RightIndent());
        QVERIFY2(editor.Rtf().contains("\\sb120\\sl360\\slmult1"), editor.Rtf());

        editor.SetParagraphSpacing(editor.SpaceBefore(), 400, editor.SpaceAfter());
        QCOMPARE(editor.LineHeight(), 400);
        QVERIFY2(editor.Rtf().contains("\\sl400\\plain"), editor.Rtf());
    }

    // A merged cover with hidden markers reopens with hidden markers; one whose markers
    // show reopens with them showing.
    void hiddenMarkersAreStored() {
        TQpRichText editor;
        editor.InsertInsertPoint(1, "[RECIPIENT]");
        TQpRichText shown;
        shown.SetRtf(editor.Rtf());
        QVERIFY(!shown.InsertPointMarkersHidden());

        editor.GetTextToInsert = SalesDesk;
        editor.MergeInsertPoints();
        editor.SetInsertPointMarkersHidden(true);
        TQpRichText reopened;
        reopened.SetRtf(editor.Rtf());
        QVERIFY(reopened.InsertPointMarkersHidden());
        QCOMPARE(reopened.Rtf(), editor.Rtf());
        QCOMPARE(reopened.LineText(0), QString("Sales Desk"));
    }

    // An insert point merged to an empty value stays in the stored text (with empty field
    // text) and takes a value again at the next merge.
    void emptyMergedInsertPointIsKept() {
        TQpRichText editor;
        QTest::keyClicks(&editor, "Re: ");
        editor.InsertInsertPoint(3, "[SUBJECT]");
        QTest::keyClicks(&editor, ".");
        editor.GetTextToInsert = [](int) { return std::optional<QString>(QString()); };
        editor.MergeInsertPoints();
        QCOMPARE(editor.LineText(0), QString("Re: ."));
        QCOMPARE(editor.InsertPointCount(), 1);
        QVERIFY2(editor.Rtf().contains("\\inspnt3 "), editor.Rtf());

        TQpRichText reopened;
        reopened.SetRtf(editor.Rtf());
        QCOMPARE(reopened.InsertPointCount(), 1);
        QCOMPARE(reopened.Rtf(), editor.Rtf());
        reopened.GetTextToInsert = [](int tag) {
            return tag == 3 ? std::optional<QString>("Prices") : std::nullopt;
        };
        reopened.MergeInsertPoints();
        QCOMPARE(reopened.LineText(0), QString("Re: Prices."));
    }

    // RTF from Cyrillic and Central European word processors reads as its writer meant it;
    // what is stored reads back the same, also text typed that the font's code page lacks.
    void textOfOtherCodePagesIsReadAndStored() {
        TQpRichText editor;
        editor.SetRtf("{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss\\fcharset204 Arial;}"
                      "{\\f1\\fswiss\\fcharset238 Arial CE;}}\\f0 \\'cf\\'f0\\'e8\\'e2\\'e5\\'f2 "
                      "\\f1 \\'b3\\'f3d\\'9f\\par}");
        const QString expected = QString::fromUtf8("Привет łódź");
        QCOMPARE(editor.LineText(0), expected);

        MoveCaretTo(editor, QTextCursor::End);
        TypeAnyText(editor, QString::fromUtf8(" Ωμέγα €"));
        const QByteArray rtf = editor.Rtf();
        QVERIFY2(rtf.contains("\\'cf\\'f0\\'e8\\'e2\\'e5\\'f2"), rtf);
        QVERIFY2(rtf.contains("\\u937?"), rtf);

        TQpRichText reopened;
        reopened.SetRtf(rtf);
        QCOMPARE(reopened.LineText(0), expected + QString::fromUtf8(" Ωμέγα €"));
        QCOMPARE(reopened.Rtf(), rtf);
    }
};

QTEST_MAIN(RichTextEditingTest)
#include "RichTextEditingTest.moc"
