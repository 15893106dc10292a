// Laying rich text out into fax pages: successive calls cover the whole text with nothing
// lost or repeated, forced page breaks start pages, long paragraphs split between lines,
// and the fax rendering is black on white without insert point markers.
#include "richtext/TQpRichText.h"

#include "Headless.h"

#include <QPainter>
#include <QScreen>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextLayout>
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

qreal ScreenDpi() {
    return qRound(QGuiApplication::primaryScreen()->logicalDotsPerInchY());
}

// The first page of `rtf` rendered at `zoom` percent of the screen's resolution.
QImage RenderRtf(const QByteArray& rtf, int zoom) {
    TQpRichText editor;
    editor.SetRtf(rtf);
    return LayOut(editor, zoom).front().image;
}

bool IsInk(QRgb pixel) {
    return qGray(pixel) < 128;
}

// Ink bands of a page: the rows where lines of text begin and end, and each band's
// leftmost and rightmost ink column.
struct Band {
    int top = 0;
    int bottom = 0;
    int left = 0;
    int right = 0;
};

QList<Band> Bands(const QImage& page) {
    QList<Band> bands;
    bool inBand = false;
    for (int y = 0; y < page.height(); ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(page.constScanLine(y));
        int left = -1;
        int right = -1;
        for (int x = 0; x < page.width(); ++x) {
            if (IsInk(line[x])) {
                left = left < 0 ? x : left;
                right = x;
            }
        }
        if (left >= 0 && !inBand) {
            bands << Band{y, y, left, right};
        } else if (left >= 0) {
            bands.back().bottom = y;
            bands.back().left = qMin(bands.back().left, left);
            bands.back().right = qMax(bands.back().right, right);
        }
        inBand = left >= 0;
    }
    return bands;
}

QByteArray Rtf(const char* body) {
    return QByteArray("{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss Arial;}}") + body + "}";
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

    // Space before and after, exact and minimum line heights land where their twips say,
    // at the fax zoom and at the editor's 100 % and 70 %: one inch is the page's dots per
    // inch, measured between the tops of the ink of equal letters.
    void verticalLengthsLandAtTheirPlace_data() {
        QTest::addColumn<int>("zoom");
        QTest::newRow("fax 208%") << 208;
        QTest::newRow("editor 100%") << 100;
        QTest::newRow("editor 70%") << 70;
    }
    void verticalLengthsLandAtTheirPlace() {
        QFETCH(int, zoom);
        const qreal inch = qRound(ScreenDpi() * zoom / 100.0);
        const auto gap = [&](const char* body) {
            const QList<Band> bands = Bands(RenderRtf(Rtf(body), zoom));
            return bands.size() == 2 ? bands[1].top - bands[0].top : -1;
        };
        const int plain = gap("\\pard H\\par\\pard H\\par");
        QVERIFY(plain > 0);
        const struct {
            const char* body;
            qreal expected; // inches
            bool absolute;  // the gap itself, not its growth over single spacing
        } cases[] = {
            {"\\pard H\\par\\pard\\sb1440 H\\par", 1.0, false},
            {"\\pard\\sa720 H\\par\\pard H\\par", 0.5, false},
            {"\\pard\\sl-720 H\\par H\\par", 0.5, true},
            {"\\pard\\sl1440 H\\par H\\par", 1.0, true},
            {"\\pard H\\line H\\par", 0.0, false},
        };
        for (const auto& item : cases) {
            const int measured = gap(item.body) - (item.absolute ? 0 : plain);
            qInfo("%s: %d pixels, expected %.1f", item.body, measured, item.expected * inch);
            QVERIFY2(qAbs(measured - item.expected * inch) <= 2,
                     qPrintable(QString("%1: %2 pixels, expected %3")
                                    .arg(item.body)
                                    .arg(measured)
                                    .arg(item.expected * inch)));
        }
    }

    // Tab stops and the default half-inch tab land at their twips: a letter after a tab
    // stands exactly where the same letter stands after an indent of the same length
    // (indents are right), and a right tab ends the text at its stop.
    void tabStopsLandAtTheirPlace_data() { verticalLengthsLandAtTheirPlace_data(); }
    void tabStopsLandAtTheirPlace() {
        QFETCH(int, zoom);
        const qreal inch = qRound(ScreenDpi() * zoom / 100.0);
        const struct {
            const char* tabbed;
            const char* indented;
        } cases[] = {
            {"\\pard\\tx2880\\tab H\\par", "\\pard\\li2880 H\\par"},
            {"\\pard\\tab H\\par", "\\pard\\li720 H\\par"},
            {"\\pard\\tab\\tab\\tab H\\par", "\\pard\\li2160 H\\par"},
            {"\\pard\\tx1440\\tx4320 To:\\tab\\tab H\\par", "\\pard\\li4320 H\\par"},
        };
        for (const auto& item : cases) {
            const QList<Band> tabbed = Bands(RenderRtf(Rtf(item.tabbed), zoom));
            const QList<Band> indented = Bands(RenderRtf(Rtf(item.indented), zoom));
            QCOMPARE(tabbed.size(), 1);
            QCOMPARE(indented.size(), 1);
            qInfo("%s: H ends at %d, indented at %d", item.tabbed, tabbed[0].right,
                  indented[0].right);
            QVERIFY2(qAbs(tabbed[0].right - indented[0].right) <= 1,
                     qPrintable(QString("%1: H ends at %2, indented at %3")
                                    .arg(item.tabbed)
                                    .arg(tabbed[0].right)
                                    .arg(indented[0].right)));
        }
        const QList<Band> indented = Bands(RenderRtf(Rtf("\\pard\\li2880 H\\par"), zoom));
        QVERIFY(qAbs(indented[0].left - (kPageRect.left() + 2 * inch)) <= 4);
        const QList<Band> right = Bands(RenderRtf(Rtf("\\pard\\tqr\\tx5760\\tab H\\par"), zoom));
        // The letter's own side bearing keeps its ink a little inside the stop.
        QVERIFY2(qAbs(right[0].right - (kPageRect.left() + 4 * inch)) <= qMax(3.0, 0.03 * inch),
                 qPrintable(QString("right tab: H ends at %1").arg(right[0].right)));
    }

    // The fax shows the lines as the editor shows them: a long paragraph breaks after the
    // same words on the fax page as in the editor at 100 % (page 8.5 in wide, half-inch
    // margins), and each fax line ends where the editor's line ends, scaled to the fax.
    void faxBreaksLinesLikeTheEditor() {
        TQpRichText editor;
        editor.SetPageSize(12240, 15840);
        editor.SetMargins(720, 720, 720, 720);
        QStringList words;
        for (int i = 0; i < 260; ++i) {
            words << QString("w%1").arg(QString(1 + (i * 7) % 9, QChar('a' + i % 26)));
        }
        editor.setPlainText(words.join(' '));
        editor.resize(1000, 700);
        editor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&editor));
        const QTextLayout* layout = editor.document()->firstBlock().layout();
        QVERIFY(layout->lineCount() > 8);
        QList<qreal> editorEnds;
        for (int i = 0; i < layout->lineCount(); ++i) {
            const QTextLine line = layout->lineAt(i);
            int end = line.textStart() + line.textLength();
            const QString text = editor.document()->firstBlock().text();
            while (end > line.textStart() && text.at(end - 1) == QChar(' ')) {
                --end;
            }
            editorEnds << line.cursorToX(end) - line.x();
        }
        const QList<Band> bands = Bands(LayOut(editor).front().image);
        QCOMPARE(bands.size(), editorEnds.size());
        const qreal scale = qRound(ScreenDpi() * 2.08) / ScreenDpi();
        for (int i = 0; i < bands.size(); ++i) {
            const qreal expected = kPageRect.left() + editorEnds[i] * scale;
            qInfo("line %d ends at %d on the fax, %.1f expected", i + 1, bands[i].right, expected);
            QVERIFY2(qAbs(bands[i].right - expected) <= 12,
                     qPrintable(QString("line %1 ends at %2 on the fax, %3 expected")
                                    .arg(i + 1)
                                    .arg(bands[i].right)
                                    .arg(expected)));
        }
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
