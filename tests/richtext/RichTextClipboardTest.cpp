// The clipboard and pictures in the rich text control: insert points survive cut, copy
// and paste within and between editors, other programs get plain text, and whatever is
// pasted (pictures, lists, tables) or loaded (word processors' pictures) shows in the
// editor exactly as it is saved and reaches the fax page.
#include "richtext/TQpRichText.h"

#include "Headless.h"

#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QMimeData>
#include <QPainter>
#include <QtTest>

namespace {

std::optional<QString> SalesDesk(int tag) {
    if (tag == 1) {
        return QString("Sales Desk");
    }
    return std::nullopt;
}

void PutOnClipboard(QMimeData* mime) {
    QApplication::clipboard()->setMimeData(mime);
}

// The first page of the editor's text at 100 % on a letter page at 96 dpi.
QImage Page(TQpRichText& editor, int zoom = 100, int renderOptions = 0) {
    editor.SetZoom(zoom);
    editor.SetRenderOptions(renderOptions);
    const qreal scale = zoom / 100.0;
    QImage page(qRound(816 * scale), qRound(1056 * scale), QImage::Format_RGB32);
    page.fill(Qt::white);
    QPainter painter(&page);
    editor.RenderPage(painter, 0, QRect(QPoint(48, 48) * scale, QPoint(767, 1007) * scale));
    return page;
}

int InkPixels(const QImage& page) {
    int ink = 0;
    for (int y = 0; y < page.height(); ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(page.constScanLine(y));
        for (int x = 0; x < page.width(); ++x) {
            ink += qGray(line[x]) < 128 ? 1 : 0;
        }
    }
    return ink;
}

QImage BlackBox(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::black);
    return image;
}

QByteArray Hex(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes.toHex();
}

// A device-independent bitmap: a bitmap file without its 14-byte file header.
QByteArray DibHex(const QImage& image) {
    return QByteArray::fromHex(Hex(image, "BMP")).mid(14).toHex();
}

} // namespace

class RichTextClipboardTest : public QObject {
    Q_OBJECT

private slots:
    // Copy and paste between two editors, cut and paste within one, and a copy of the
    // insert point alone: every pasted insert point is merged like the original.
    void insertPointsSurviveTheClipboard() {
        TQpRichText source;
        QTest::keyClicks(&source, "Dear ");
        source.InsertInsertPoint(1, "[RECIPIENT]");
        QTest::keyClicks(&source, ", thank you");
        source.selectAll();
        source.copy();

        TQpRichText target;
        target.paste();
        QCOMPARE(target.InsertPointCount(), 1);
        QCOMPARE(target.Rtf(), source.Rtf());

        source.selectAll();
        source.cut();
        QVERIFY(source.IsEmpty());
        source.paste();
        QCOMPARE(source.InsertPointCount(), 1);

        QTextCursor field = target.textCursor();
        field.setPosition(5);
        field.setPosition(17, QTextCursor::KeepAnchor); // the marker and "[RECIPIENT]"
        target.setTextCursor(field);
        target.copy();
        target.moveCursor(QTextCursor::End);
        QTest::keyClicks(&target, " from ");
        target.paste();
        QTest::keyClicks(&target, ".");
        QCOMPARE(target.InsertPointCount(), 2);

        for (TQpRichText* editor : {&source, &target}) {
            editor->GetTextToInsert = SalesDesk;
            editor->MergeInsertPoints();
        }
        QCOMPARE(source.LineText(0), QString("Dear Sales Desk, thank you"));
        QCOMPARE(target.LineText(0), QString("Dear Sales Desk, thank you from Sales Desk."));
    }

    // Other programs get the text without the insert point markers; plain text from them
    // pastes as ordinary text with the caret's attributes.
    void otherProgramsExchangePlainText() {
        TQpRichText editor;
        QTest::keyClicks(&editor, "To: ");
        editor.InsertInsertPoint(1, "[RECIPIENT]");
        editor.selectAll();
        editor.copy();
        const QMimeData* copied = QApplication::clipboard()->mimeData();
        QVERIFY(copied->hasText());
        QCOMPARE(copied->text(), QString("To: [RECIPIENT]"));

        auto* plain = new QMimeData;
        plain->setText(", Sales\nSecond line");
        PutOnClipboard(plain);
        editor.moveCursor(QTextCursor::End);
        editor.paste();
        QCOMPARE(editor.LineCount(), 2);
        editor.GetTextToInsert = SalesDesk;
        editor.MergeInsertPoints();
        QCOMPARE(editor.LineText(0), QString("To: Sales Desk, Sales"));
        QCOMPARE(editor.LineText(1), QString("Second line"));
    }

    // A pasted picture is saved with the text and drawn on the fax page: the page of the
    // reloaded text equals the editor's, and the picture's ink is there.
    void pastedPictureIsSavedAndSent() {
        TQpRichText editor;
        QTest::keyClicks(&editor, "Logo: ");
        auto* mime = new QMimeData;
        mime->setImageData(BlackBox(120, 60));
        PutOnClipboard(mime);
        editor.paste();
        QTest::keyClicks(&editor, " end");
        QVERIFY2(editor.Rtf().contains("{\\pict\\pngblip\\picw120\\pich60\\picwgoal1800"
                                       "\\pichgoal900"),
                 editor.Rtf());
        QCOMPARE(editor.LineText(0).remove(QChar::ObjectReplacementCharacter),
                 QString("Logo:  end"));

        TQpRichText reloaded;
        reloaded.SetRtf(editor.Rtf());
        const QImage shown = Page(editor);
        QCOMPARE(Page(reloaded), shown);
        QVERIFY(InkPixels(shown) >= 120 * 60);
        const QImage fax = Page(reloaded, 208, TQpRichText::roFaxPage);
        QVERIFY(InkPixels(fax) >= 249 * 124);
    }

    // Lists and tables pasted from a web page or word processor keep their bullets,
    // numbers and columns as text; the editor shows exactly what reloads from the RTF.
    void pastedListsAndTablesShowWhatIsSaved() {
        TQpRichText editor;
        auto* mime = new QMimeData;
        mime->setHtml("<p>Prices</p><ul><li>Alpha</li><li>Beta</li></ul>"
                      "<ol><li>One</li><li>Two</li></ol>"
                      "<table><tr><td>Name</td><td>Fax</td></tr>"
                      "<tr><td>Sales</td><td>555 0100</td></tr></table><p>End</p>");
        PutOnClipboard(mime);
        editor.paste();
        const QStringList lines = {"Prices",
                                   QString::fromUtf8("\u2022\tAlpha"),
                                   QString::fromUtf8("\u2022\tBeta"),
                                   "1.\tOne",
                                   "2.\tTwo",
                                   "Name\tFax",
                                   "Sales\t555 0100",
                                   "End"};
        for (int i = 0; i < lines.size(); ++i) {
            QCOMPARE(editor.LineText(i), lines[i]);
        }
        TQpRichText reloaded;
        reloaded.SetRtf(editor.Rtf());
        QCOMPARE(reloaded.LineText(6), lines[6]);
        QCOMPARE(Page(reloaded), Page(editor));
    }

    // Pictures in RTF from word processors (PNG in a shape picture with a metafile copy
    // for old readers, and a device-independent bitmap) are shown, kept and drawn on the fax.
    void wordProcessorPicturesReachTheFax_data() {
        QTest::addColumn<QByteArray>("picture");
        QTest::newRow("PNG shape picture")
            << "{\\*\\shppict{\\pict{\\*\\picprop}\\picw100\\pich50\\picwgoal1500\\pichgoal750"
               "\\pngblip\n" +
                   Hex(BlackBox(100, 50), "PNG") +
                   "}}{\\nonshppict{\\pict\\wmetafile8\\picw100\\pich50 0100}}";
        QTest::newRow("bitmap")
            << "{\\pict\\dibitmap0\\picw100\\pich50\\picwgoal1500\\pichgoal750 " +
                   DibHex(BlackBox(100, 50)) + "}";
    }
    void wordProcessorPicturesReachTheFax() {
        QFETCH(QByteArray, picture);
        TQpRichText editor;
        editor.SetRtf("{\\rtf1\\ansi{\\fonttbl{\\f0\\fswiss Arial;}}\\pard Logo " + picture +
                      " here\\par}");
        QVERIFY2(editor.Rtf().contains("{\\pict"), editor.Rtf());
        QVERIFY(!editor.Rtf().contains("wmetafile"));
        QVERIFY(InkPixels(Page(editor)) >= 100 * 50);
        const QImage fax = Page(editor, 208, TQpRichText::roFaxPage);
        QVERIFY2(InkPixels(fax) >= 207 * 103, qPrintable(QString::number(InkPixels(fax))));
        TQpRichText reloaded;
        reloaded.SetRtf(editor.Rtf());
        QCOMPARE(reloaded.Rtf(), editor.Rtf());
    }

    // A picture inserted by the program that is wider than the page's text is shown at
    // the text's width, keeping its proportions.
    void insertedPictureFitsThePage() {
        TQpRichText editor;
        editor.SetPageSize(12240, 15840);
        editor.SetMargins(720, 720, 720, 720);
        editor.InsertPicture(BlackBox(1600, 400));
        QVERIFY2(editor.Rtf().contains("\\picw1600\\pich400\\picwgoal10800\\pichgoal2700"),
                 editor.Rtf());
    }
};

QTEST_MAIN(RichTextClipboardTest)
#include "RichTextClipboardTest.moc"
