// The control against real peers: RTF written by LibreOffice Writer loads with its text,
// fonts, styles, alignment and page breaks; RTF the control writes is read by unrtf with
// the same text; qpx rtf works on real files.
#include "richtext/TQpRichText.h"

#include "Headless.h"

#include "TestPaths.h"

#include <QFile>
#include <QTextBlock>
#include <QTextFragment>
#include <QtTest>

namespace {

QString Sample(const char* name) {
    return QString::fromStdString((qptest::TestDataDir() / "richtext" / name).string());
}

// The fragment of the document's text that starts with `text`.
QTextCharFormat FormatOf(const TQpRichText& editor, const QString& text) {
    for (QTextBlock block = editor.document()->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            if (it.fragment().text().startsWith(text)) {
                return it.fragment().charFormat();
            }
        }
    }
    return QTextCharFormat();
}

QTextBlock BlockOf(const TQpRichText& editor, const QString& text) {
    for (QTextBlock block = editor.document()->begin(); block.isValid(); block = block.next()) {
        if (block.text().startsWith(text)) {
            return block;
        }
    }
    return QTextBlock();
}

QString Family(const QTextCharFormat& format) {
    return format.fontFamilies().toStringList().value(0);
}

// Runs a command and captures what it writes to standard output only: Qt's warnings on
// standard error (for example about a missing XDG_RUNTIME_DIR) must not reach the RTF or
// text being compared.
int RunForOutput(const std::string& command, std::string* output) {
    return qptest::RunCommand("{ " + command + " 2>/dev/null; }", output);
}

QStringList Words(const QString& text) {
    return text.split(QRegularExpression("\\s+"), Qt::SkipEmptyParts);
}

} // namespace

class RichTextPeersTest : public QObject {
    Q_OBJECT

private slots:
    // A three-page letter written by LibreOffice: text, fonts, sizes, styles, colours,
    // alignment, indents, spacing and both page breaks.
    void loadsLibreOfficeLetter() {
        TQpRichText editor;
        QVERIFY(editor.LoadFromFile(Sample("lo-letter.rtf")));
        const QString text = editor.document()->toPlainText();
        QVERIFY(text.startsWith("Quarterly Report\nPlain text, bold, italic, underlined, struck, "
                                "E=mc2 and H2O.\n"));
        QVERIFY(text.contains(QString::fromUtf8("Name\tNumber\nCafé crème €5 “quoted” αβγ")));
        QVERIFY(text.endsWith("Third page, centred."));

        const QTextCharFormat title = FormatOf(editor, "Quarterly");
        QCOMPARE(Family(title), QString("Liberation Sans"));
        QCOMPARE(title.fontPointSize(), 18.0);
        QCOMPARE(title.fontWeight(), int(QFont::Bold));
        QCOMPARE(Family(FormatOf(editor, "Plain text")), QString("Liberation Serif"));
        QCOMPARE(FormatOf(editor, "Plain text").fontPointSize(), 12.0);
        QVERIFY(FormatOf(editor, "italic").fontItalic());
        QVERIFY(FormatOf(editor, "underlined").fontUnderline());
        QVERIFY(FormatOf(editor, "struck").fontStrikeOut());
        QCOMPARE(FormatOf(editor, "2").verticalAlignment(), QTextCharFormat::AlignSuperScript);
        QCOMPARE(FormatOf(editor, "Red words").foreground().color(), QColor(255, 0, 0));
        QCOMPARE(FormatOf(editor, "blue words").foreground().color(), QColor(0, 0, 255));
        QCOMPARE(FormatOf(editor, "large").fontPointSize(), 16.0);
        QCOMPARE(Family(FormatOf(editor, "Fixed pitch")), QString("Liberation Mono"));

        QCOMPARE(BlockOf(editor, "Quarterly").blockFormat().alignment() & Qt::AlignHorizontal_Mask,
                 Qt::AlignHCenter);
        QCOMPARE(BlockOf(editor, "Right aligned").blockFormat().alignment() &
                     Qt::AlignHorizontal_Mask,
                 Qt::AlignRight);
        QCOMPARE(BlockOf(editor, "Justified").blockFormat().alignment() & Qt::AlignHorizontal_Mask,
                 Qt::AlignJustify);
        editor.setTextCursor(QTextCursor(BlockOf(editor, "Indented")));
        QCOMPARE(editor.LeftIndent(), 1440);
        QCOMPARE(editor.RightIndent(), 720);
        QCOMPARE(editor.FirstIndent(), 2160);
        QCOMPARE(editor.SpaceBefore(), 240);
        QCOMPARE(editor.SpaceAfter(), 120);
        int breaks = 0;
        for (QTextBlock block = editor.document()->begin(); block.isValid(); block = block.next()) {
            if (block.blockFormat().pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore) {
                ++breaks;
                QVERIFY(block.text() == "Second page starts here." ||
                        block.text() == "Third page, centred.");
            }
        }
        QCOMPARE(breaks, 2);
        QCOMPARE(editor.PageLayout().paperWidth, 11906);
        QCOMPARE(editor.PageLayout().marginLeft, 1134);

        // Written in the stored form, it loads again with the same text and breaks.
        TQpRichText again;
        again.SetRtf(editor.Rtf());
        QCOMPARE(again.document()->toPlainText(), editor.document()->toPlainText());
        QCOMPARE(again.Rtf(), editor.Rtf());
        QCOMPARE(again.Rtf().count("\\page"), 2);
    }

    // The long LibreOffice document keeps every paragraph.
    void loadsLongLibreOfficeDocument() {
        TQpRichText editor;
        QVERIFY(editor.LoadFromFile(Sample("lo-long.rtf")));
        QCOMPARE(editor.document()->blockCount(), 121);
        QVERIFY(editor.LineText(120).startsWith("Paragraph 120. The quick brown fox"));
    }

    // unrtf reads what the control writes with the same words, accents included.
    void unrtfReadsWhatWeWrite() {
        TQpRichText editor;
        QTest::keyClicks(&editor, "Dear Sir or Madam,");
        QTest::keyClick(&editor, Qt::Key_Return);
        editor.SetBold(true);
        QTest::keyClicks(&editor, "Prices {net} \\ gross");
        editor.SetBold(false);
        editor.InsertPageBreak();
        editor.textCursor().insertText(QString::fromUtf8("Café crème, Größe: 12\tend"));
        editor.InsertInsertPoint(1, "[RECIPIENT]");
        const QString file = QString::fromStdString(qptest::DataDir() / "peer.rtf");
        QVERIFY(editor.SaveToFile(file));

        std::string output;
        QCOMPARE(RunForOutput("unrtf --text '" + file.toStdString() + "'", &output), 0);
        QStringList lines =
            QString::fromLatin1(output.data(), qsizetype(output.size())).split('\n');
        lines.erase(std::remove_if(lines.begin(), lines.end(),
                                   [](const QString& line) {
                                       return line.startsWith("###") || line.startsWith("-----");
                                   }),
                    lines.end());
        QString ours = editor.document()->toPlainText();
        ours.remove(QChar::ObjectReplacementCharacter);
        QCOMPARE(Words(lines.join(' ')), Words(ours));
    }

    // qpx rtf totext, roundtrip and render on a LibreOffice document.
    void qpxRtfCommands() {
        const std::string qpx = (qptest::BinaryDir() / "bin" / "qpx").string();
        const std::string sample = Sample("lo-letter.rtf").toStdString();
        std::string text;
        QCOMPARE(RunForOutput(qpx + " rtf totext " + sample, &text), 0);
        QVERIFY(QString::fromStdString(text).startsWith("Quarterly Report\nPlain text, bold"));

        std::string rtf;
        QCOMPARE(RunForOutput(qpx + " rtf roundtrip " + sample, &rtf), 0);
        QVERIFY(
            QByteArray::fromStdString(rtf).startsWith("{\\rtf1\\ansi\\deff0\\deftab720{\\fonttbl"));
        QVERIFY(QByteArray::fromStdString(rtf).endsWith("\\par\n\r\r\n}"));

        const qptest::ScratchDir scratch("render");
        std::string listing;
        QCOMPARE(
            RunForOutput(qpx + " rtf render " + sample + " -o " + scratch.file("page"), &listing),
            0);
        QCOMPARE(QString::fromStdString(listing).split('\n', Qt::SkipEmptyParts).size(), 3);
        QImage page(QString::fromStdString(scratch.file("page002.pbm")));
        QCOMPARE(page.size(), QSize(1664, 2156));
        QVERIFY(page.pixelColor(1663, 2155) == Qt::black);
        // netpbm reads the page files too.
        std::string info;
        QCOMPARE(qptest::RunCommand("pnmfile " + scratch.file("page001.pbm"), &info), 0);
        QVERIFY2(QString::fromStdString(info).contains("1664 by 2156"), info.c_str());

        QVERIFY(qptest::RunCommand(qpx + " rtf totext /no/such/file 2>/dev/null") != 0);
        QVERIFY(qptest::RunCommand(qpx + " rtf bogus 2>/dev/null") != 0);
    }
};

QTEST_MAIN(RichTextPeersTest)
#include "RichTextPeersTest.moc"
