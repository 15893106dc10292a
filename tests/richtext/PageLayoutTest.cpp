// Laying rich text out into fax pages: successive calls cover the whole text with nothing
// lost or repeated, forced page breaks start pages, long paragraphs split between lines,
// and the fax rendering is black on white without insert point markers.
#include "richtext/TQpRichText.h"

#include <QPainter>
#include <QTextCursor>
#include <QTextDocumentFragment>
#include <QtTest>

namespace {

const QRect kPageRect(QPoint(49, 49), QPoint(1614, 2106)); // inside a 1664 x 2156 page

struct Page {
    int start = 0;
    int next = 0;
    QImage image;
};

// Lays the editor's text out page by page the way the fax build does.
QList<Page> LayOut(TQpRichText& editor, int zoom = 208) {
    editor.SetZoom(zoom);
    editor.SetRenderOptions(TQpRichText::roFaxPage);
    QList<Page> pages;
    int position = 0;
    do {
        Page page;
        page.start = position;
        page.image = QImage(1664, 2156, QImage::Format_RGB32);
        page.image.fill(Qt::white);
        QPainter painter(&page.image);
        page.next = editor.RenderPage(painter, position, kPageRect);
        pages << page;
        if (page.next <= position || pages.size() > 500) {
            break;
        }
        position = page.next;
    } while (true);
    return pages;
}

QString TextBetween(const TQpRichText& editor, int start, int end) {
    QTextCursor cursor(editor.document());
    cursor.setPosition(start);
    cursor.setPosition(end < 0 ? editor.document()->characterCount() - 1 : end,
                       QTextCursor::KeepAnchor);
    return cursor.selection().toPlainText();
}

bool HasInk(const QImage& image) {
    for (int y = 0; y < image.height(); y += 2) {
        const QRgb* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (qGray(line[x]) < 128) {
                return true;
            }
        }
    }
    return false;
}

QString LongText(int paragraphs) {
    QStringList lines;
    for (int i = 1; i <= paragraphs; ++i) {
        lines << QString("Paragraph %1: the quick brown fox jumps over the lazy dog, and every "
                         "word of this sentence must arrive at the far end exactly once.")
                     .arg(i);
    }
    return lines.join('\n');
}

} // namespace

class PageLayoutTest : public QObject {
    Q_OBJECT

private slots:
    // A document of one line gives one page, with ink on it.
    void oneLineGivesOnePage() {
        TQpRichText editor;
        editor.setPlainText("Just one line");
        const QList<Page> pages = LayOut(editor);
        QCOMPARE(pages.size(), 1);
        QCOMPARE(pages[0].next, 0);
        QVERIFY(HasInk(pages[0].image));
    }

    // N forced page breaks give N + 1 pages, each beginning at its break.
    void forcedBreaksGivePages_data() {
        QTest::addColumn<int>("breaks");
        QTest::newRow("1") << 1;
        QTest::newRow("3") << 3;
        QTest::newRow("7") << 7;
    }
    void forcedBreaksGivePages() {
        QFETCH(int, breaks);
        TQpRichText editor;
        QTest::keyClicks(&editor, "Page 1");
        for (int i = 2; i <= breaks + 1; ++i) {
            editor.InsertPageBreak();
            QTest::keyClicks(&editor, QString("Page %1").arg(i));
        }
        TQpRichText loaded; // through the stored form, as the fax build gets it
        loaded.SetRtf(editor.Rtf());
        const QList<Page> pages = LayOut(loaded);
        QCOMPARE(pages.size(), breaks + 1);
        for (int i = 0; i < pages.size(); ++i) {
            QCOMPARE(TextBetween(loaded, pages[i].start, pages[i].next > 0 ? pages[i].next : -1)
                         .trimmed(),
                     QString("Page %1").arg(i + 1));
            QVERIFY(HasInk(pages[i].image));
        }
    }

    // A long document's pages together hold every character exactly once, at several
    // zooms; the zoom changes the page count, not the document.
    void pagesCoverTextExactlyOnce_data() {
        QTest::addColumn<int>("zoom");
        QTest::newRow("208%") << 208;
        QTest::newRow("100%") << 100;
        QTest::newRow("300%") << 300;
    }
    void pagesCoverTextExactlyOnce() {
        QFETCH(int, zoom);
        TQpRichText editor;
        editor.setPlainText(LongText(150));
        const QByteArray before = editor.Rtf();
        const QList<Page> pages = LayOut(editor, zoom);
        QVERIFY(pages.size() > 1);
        QString joined;
        for (int i = 0; i < pages.size(); ++i) {
            const Page& page = pages[i];
            if (i + 1 < pages.size()) {
                QCOMPARE(pages[i + 1].start, page.next);
                QVERIFY(page.next > page.start);
            }
            joined += TextBetween(editor, page.start, page.next > 0 ? page.next : -1);
            QVERIFY(HasInk(page.image));
        }
        QCOMPARE(joined, editor.document()->toPlainText());
        QCOMPARE(editor.Rtf(), before);
    }

    // A paragraph longer than a page is split between lines onto several pages.
    void longParagraphSplitsBetweenLines() {
        TQpRichText editor;
        editor.setPlainText(LongText(200).replace('\n', ' '));
        QCOMPARE(editor.document()->blockCount(), 1);
        const QList<Page> pages = LayOut(editor);
        QVERIFY(pages.size() >= 2);
        const QString text = editor.document()->toPlainText();
        QCOMPARE(TextBetween(editor, 0, pages[0].next) +
                     TextBetween(editor, pages[0].next, -1).left(text.size() - pages[0].next),
                 text);
        // The break falls at the start of a line: the previous character ends a word.
        QCOMPARE(text.at(pages[0].next - 1), QChar(' '));
    }

    // The fax rendering is black on white: coloured text and insert points turn black and
    // the red markers are not drawn; the screen rendering keeps the colours.
    void faxRenderingIsBlackAndWhite() {
        TQpRichText editor;
        editor.SetFontSize(28);
        editor.InsertInsertPoint(1, "[RECIPIENT]");
        editor.setTextColor(Qt::blue);
        editor.textCursor().insertText(" blue text");
        const QList<Page> pages = LayOut(editor);
        QCOMPARE(pages.size(), 1);
        const QImage& image = pages[0].image;
        for (int y = 0; y < 300; ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QColor color = image.pixelColor(x, y);
                QVERIFY2(color.red() == color.green() && color.green() == color.blue(),
                         qPrintable(QString("coloured pixel at %1,%2").arg(x).arg(y)));
            }
        }
        editor.SetRenderOptions(0);
        QImage screen(1664, 400, QImage::Format_RGB32);
        screen.fill(Qt::white);
        QPainter painter(&screen);
        editor.RenderPage(painter, 0, QRect(49, 49, 1566, 300));
        bool red = false;
        for (int y = 0; y < screen.height() && !red; ++y) {
            for (int x = 0; x < screen.width() && !red; ++x) {
                const QColor color = screen.pixelColor(x, y);
                red = color.red() > 200 && color.green() < 60 && color.blue() < 60;
            }
        }
        QVERIFY(red);
    }

    // Rendering the same page twice gives the same pixels, and an empty document one
    // empty page.
    void renderingIsRepeatable() {
        TQpRichText editor;
        editor.setPlainText(LongText(40));
        const QList<Page> first = LayOut(editor);
        const QList<Page> second = LayOut(editor);
        QCOMPARE(first.size(), second.size());
        QCOMPARE(first[0].image, second[0].image);
        TQpRichText empty;
        const QList<Page> none = LayOut(empty);
        QCOMPARE(none.size(), 1);
        QVERIFY(!HasInk(none[0].image));
    }
};

QTEST_MAIN(PageLayoutTest)
#include "PageLayoutTest.moc"
