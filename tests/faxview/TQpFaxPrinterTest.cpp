// Tests of the fax printer: sheet layout and scaling, header and footer tags, MultiPage,
// progress, log lines, abort and failures, checked by printing real fax files into PDF
// files and rendering them with pdftoppm / reading them with pdftotext.
#include "FaxTestFiles.h"
#include "TestPaths.h"

#include "faximage/TQpFaxUnpacker.h"
#include "faximage/core/ApfFileHeader.h"
#include "faximage/viewer/FaxPrintLayout.h"
#include "faximage/viewer/FaxPrintTags.h"
#include "faximage/viewer/TQpFaxPrinter.h"
#include "faximage/viewer/TQpFaxPrinterLog.h"
#include "faximage/viewer/TQpFaxPrinterStatus.h"
#include "faximage/viewer/TStandardFaxPrinterStatusDisplay.h"

#include "common/EQPException.h"

#include <filesystem>
#include <fstream>

#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPageLayout>
#include <QPrinter>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

namespace {

// The box around the dark pixels of a rendered page (grey below 160).
QRect DarkBox(const QImage& page, const QRect& within) {
    int left = INT_MAX, top = INT_MAX, right = -1, bottom = -1;
    for (int y = within.top(); y <= within.bottom(); ++y) {
        for (int x = within.left(); x <= within.right(); ++x) {
            if (qGray(page.pixel(x, y)) < 160) {
                left = std::min(left, x);
                top = std::min(top, y);
                right = std::max(right, x);
                bottom = std::max(bottom, y);
            }
        }
    }
    return right < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}

// Sets up a PDF printer of `width` x `height` inches at 100 dots per inch, no margins.
void UsePdf(TQpFaxPrinter& printer, const QString& pdf, double width, double height,
            QPageLayout::Orientation orientation = QPageLayout::Portrait) {
    QPrinter& device = printer.Printer();
    device.setOutputFormat(QPrinter::PdfFormat);
    device.setOutputFileName(pdf);
    device.setResolution(100);
    device.setPageLayout(QPageLayout(QPageSize(QSizeF(width, height), QPageSize::Inch), orientation,
                                     QMarginsF(0, 0, 0, 0)));
}

// A picture whose 1 bits are black: whether pixel (x, y) is black, white outside.
bool BlackAt(const QImage& picture, int x, int y) {
    if (x < 0 || y < 0 || x >= picture.width() || y >= picture.height()) {
        return false;
    }
    return picture.constScanLine(y)[x >> 3] & (0x80 >> (x & 7));
}

// How a rendering of printer dots compares with a fax picture drawn into `target`.
struct RenderComparison {
    int compared = 0; // rendered pixels inside the target
    int grey = 0;     // pixels neither black nor white
    int wrong = 0;    // pixels whose colour no nearby picture pixel has
};

// Compares `rendered`, which shows the dots from `origin` on at `factor` pixels per dot,
// with `picture` (1 = black) scaled into the dot rectangle `target` by taking for every
// pixel the picture pixel under its centre. Where a pixel centre lies within one pixel of
// the edge between two picture pixels, either of them may give its colour.
RenderComparison CompareWithPicture(const QImage& rendered, QPoint origin, int factor,
                                    const QImage& picture, const QRect& target) {
    RenderComparison result;
    const double stepX = double(picture.width()) / target.width() / factor;
    const double stepY = double(picture.height()) / target.height() / factor;
    for (int py = 0; py < rendered.height(); ++py) {
        const double dotY = origin.y() + (py + 0.5) / factor;
        const double sy = (dotY - target.top()) * picture.height() / target.height();
        for (int px = 0; px < rendered.width(); ++px) {
            const double dotX = origin.x() + (px + 0.5) / factor;
            const double sx = (dotX - target.left()) * picture.width() / target.width();
            if (sx < 0 || sy < 0 || sx >= picture.width() || sy >= picture.height()) {
                continue;
            }
            ++result.compared;
            const int grey = qGray(rendered.pixel(px, py));
            result.grey += grey != 0 && grey != 255 ? 1 : 0;
            const bool black = grey < 128;
            const int x = int(sx);
            const int y = int(sy);
            if (black == BlackAt(picture, x, y)) {
                continue;
            }
            const int dx = sx - x < stepX ? -1 : (sx - x > 1 - stepX ? 1 : 0);
            const int dy = sy - y < stepY ? -1 : (sy - y > 1 - stepY ? 1 : 0);
            const bool nearEdge = (dx != 0 && black == BlackAt(picture, x + dx, y)) ||
                                  (dy != 0 && black == BlackAt(picture, x, y + dy)) ||
                                  (dx != 0 && dy != 0 && black == BlackAt(picture, x + dx, y + dy));
            result.wrong += nearEdge ? 0 : 1;
        }
    }
    return result;
}

// The images of a PDF file as "pdfimages -list" shows them: one row of columns each.
QList<QStringList> PdfImageList(const QString& pdf) {
    std::string output;
    qptest::RunCommand(QStringLiteral("pdfimages -list '%1'").arg(pdf).toStdString(), &output);
    QList<QStringList> rows;
    const QStringList lines = QString::fromStdString(output).split(QLatin1Char('\n'));
    for (const QString& line : lines.mid(2)) {
        const QStringList columns = line.simplified().split(QLatin1Char(' '));
        if (columns.size() >= 10) {
            rows.append(columns);
        }
    }
    return rows;
}

// Sets up the fax printer's own device (HighResolution) to write a PDF of `width` x
// `height` inches without margins.
void UsePdfAtPrinterResolution(TQpFaxPrinter& printer, const QString& pdf, double width,
                               double height) {
    QPrinter& device = printer.Printer();
    device.setOutputFormat(QPrinter::PdfFormat);
    device.setOutputFileName(pdf);
    device.setPageLayout(QPageLayout(QPageSize(QSizeF(width, height), QPageSize::Inch),
                                     QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
}

// A fax page of 1728 x `height` pixels with ink only in its top left 160 x 120 pixels:
// dots, bars and blocks of one to seven pixels, different for every seed.
QImage SmallDetailedPage(int seed, int height = 120) {
    QImage page(1728, height, QImage::Format_Mono);
    page.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
    page.fill(0);
    unsigned state = static_cast<unsigned>(seed) * 2654435761u + 7;
    auto next = [&state](int range) {
        state = state * 1103515245u + 12345u;
        return static_cast<int>((state >> 16) % static_cast<unsigned>(range));
    };
    for (int block = 0; block < 220; ++block) {
        faxtest::FillBlack(page, QRect(next(154), next(114), 1 + next(7), 1 + next(7)));
    }
    faxtest::FillBlack(page, QRect(159, 119, 1, 1)); // the picture's far corner
    return page;
}

} // namespace

class TQpFaxPrinterTest final : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void fitToPageAndUnscaledSizes();
    void multiPageAreasAndSheets();
    void tagReplacement();
    void settingFileNameSetsTheRange();
    void fitToPageOnPdf();
    void headerAndFooterTexts();
    void multiPagePortraitOneSheet();
    void multiPageLandscapeTwoSheets();
    void progressLogAndStatusDisplay();
    void abortStopsBeforeNextPage();
    void decodingErrorIsLoggedAndThrown();
    void qpxPrintCommand();
    void pagesGoToThePrinterAsLosslessBitmaps();
    void printedPagesStaySharpAtEveryScale();

private:
    QImage Render(const QString& pdf, int page, int dpi = 50);
    int PdfPages(const QString& pdf);
    QString PdfText(const QString& pdf);
    QImage RenderDots(const QString& pdf, int page, const QRect& dots, int factor);

    std::unique_ptr<qptest::ScratchDir> scratch_;
    QString fivePages_;
    QString sevenPages_;
};

void TQpFaxPrinterTest::initTestCase() {
    scratch_ = std::make_unique<qptest::ScratchDir>("faxprint");
    fivePages_ = QString::fromStdString(scratch_->file("FIVE.APF"));
    QVERIFY(faxtest::WriteFramedFax(fivePages_, 5));
    sevenPages_ = QString::fromStdString(scratch_->file("SEVEN.APF"));
    QVERIFY(faxtest::WriteFramedFax(sevenPages_, 7, 400));
}

QImage TQpFaxPrinterTest::Render(const QString& pdf, int page, int dpi) {
    const QString prefix = pdf + QStringLiteral("-page%1").arg(page);
    const int status = qptest::RunCommand(QStringLiteral("pdftoppm -gray -r %1 -f %2 -l %2 "
                                                         "-singlefile '%3' '%4'")
                                              .arg(dpi)
                                              .arg(page)
                                              .arg(pdf, prefix)
                                              .toStdString());
    if (status != 0) {
        return {};
    }
    return QImage(prefix + QStringLiteral(".pgm"));
}

int TQpFaxPrinterTest::PdfPages(const QString& pdf) {
    std::string output;
    qptest::RunCommand(QStringLiteral("pdfinfo '%1'").arg(pdf).toStdString(), &output);
    const QString text = QString::fromStdString(output);
    const qsizetype at = text.indexOf(QStringLiteral("Pages:"));
    return at < 0 ? -1 : text.mid(at + 6).section(QLatin1Char('\n'), 0, 0).trimmed().toInt();
}

QString TQpFaxPrinterTest::PdfText(const QString& pdf) {
    std::string output;
    qptest::RunCommand(QStringLiteral("pdftotext -layout '%1' -").arg(pdf).toStdString(), &output);
    return QString::fromStdString(output);
}

// The destination size of a picture in a print area, with and without fitting.
void TQpFaxPrinterTest::fitToPageAndUnscaledSizes() {
    struct Case {
        QSize picture;
        FaxPrintArea area;
        TFaxPrintScale scale;
        QSize expected;
    };
    const Case cases[] = {
        {{1728, 2200}, {0, 0, 4800, 6400}, psFitToPage, {4800, 6111}}, // width-bound
        {{1728, 4400}, {0, 0, 4800, 6400}, psFitToPage, {2513, 6400}}, // height-bound
        {{1728, 2200}, {10, 20, 1738, 2220}, psFitToPage, {1728, 2200}},
        {{1728, 9000}, {0, 0, 4800, 6400}, psNone, {1728, 6400}}, // squeezed to the area
        {{864, 1100}, {0, 0, 4800, 6400}, psNone, {864, 1100}},
        {{}, {0, 0, 4800, 6400}, psFitToPage, {}}, // empty page: nothing drawn
    };
    for (const Case& c : cases) {
        QCOMPARE(FaxPrintLayout::DestinationSize(c.picture, c.area, c.scale), c.expected);
    }
}

// Four pages share a portrait sheet as a 2 x 2 grid, two a landscape one side by side;
// each quarter or half is shrunk by 2 dots on every side.
void TQpFaxPrinterTest::multiPageAreasAndSheets() {
    using FaxPrintLayout::PageArea;
    QCOMPARE(PageArea(1000, 1400, false, true, 3, 2), (FaxPrintArea{0, 0, 1000, 1400}));
    QCOMPARE(PageArea(1000, 1400, true, true, 2, 2), (FaxPrintArea{2, 2, 498, 698}));
    QCOMPARE(PageArea(1000, 1400, true, true, 3, 2), (FaxPrintArea{502, 2, 998, 698}));
    QCOMPARE(PageArea(1000, 1400, true, true, 4, 2), (FaxPrintArea{2, 702, 498, 1398}));
    QCOMPARE(PageArea(1000, 1400, true, true, 5, 2), (FaxPrintArea{502, 702, 998, 1398}));
    QCOMPARE(PageArea(1400, 1000, true, false, 2, 2), (FaxPrintArea{2, 2, 698, 998}));
    QCOMPARE(PageArea(1400, 1000, true, false, 3, 2), (FaxPrintArea{702, 2, 1398, 998}));
    QCOMPARE(PageArea(1400, 1000, true, false, 4, 2), (FaxPrintArea{2, 2, 698, 998}));

    using FaxPrintLayout::StartsNewSheet;
    QVERIFY(!StartsNewSheet(2, 2, false, true));
    QVERIFY(StartsNewSheet(3, 2, false, true));
    QVERIFY(!StartsNewSheet(5, 2, true, true));
    QVERIFY(StartsNewSheet(6, 2, true, true));
    QVERIFY(!StartsNewSheet(3, 2, true, false));
    QVERIFY(StartsNewSheet(4, 2, true, false));
}

// Tags in header and footer captions.
void TQpFaxPrinterTest::tagReplacement() {
    const FaxPrintTagValues values{"08.12.26", "C:/FAX/FAX0001.APF", 7, 3, "10:15"};
    struct Case {
        const char* caption;
        const char* expected;
    };
    const Case cases[] = {
        {"PAGE: $P of $N", "PAGE: 3 of 7"},
        {"Page $Q here", "Page  here"}, // unknown tag disappears
        {"$P, more", "3 more"},         // the comma is part of the tag
        {"$p/$n", "3"},                 // either case; the tag runs to a space
        {"FILE: $F on $D at $T", "FILE: C:/FAX/FAX0001.APF on 08.12.26 at 10:15"},
        {"trailing $", "trailing "},
        {"no tags", "no tags"},
    };
    for (const Case& c : cases) {
        QCOMPARE(FaxPrintTags::Replace(QString::fromUtf8(c.caption), values),
                 QString::fromUtf8(c.expected));
    }
    // A replacement that holds a tag is expanded again; one that brings back its own tag
    // forever is cut off instead of hanging.
    FaxPrintTagValues nested = values;
    nested.fileName = QStringLiteral("page-$P");
    QCOMPARE(FaxPrintTags::Replace(QStringLiteral("$F"), nested), QStringLiteral("page-3"));
    nested.fileName = QStringLiteral("x$F");
    const QString runaway = FaxPrintTags::Replace(QStringLiteral("$F"), nested);
    QVERIFY(!runaway.contains(QLatin1Char('$')));
    QCOMPARE(runaway, QString(FaxPrintTags::MaxExpansions, QLatin1Char('x')));
}

// FileName reads the page count and page 1's flags and selects the whole file; a file
// without pages leaves the range 0 to 0 and printing does nothing.
void TQpFaxPrinterTest::settingFileNameSetsTheRange() {
    TQpFaxPrinter printer;
    QCOMPARE(printer.Caption(), QStringLiteral("ZAde Fax Printer"));
    QCOMPARE(printer.PrintScale(), psFitToPage);
    QCOMPARE(printer.FaxHeader().Caption(), QStringLiteral("FILE: $F"));
    QCOMPARE(printer.FaxFooter().Caption(), QStringLiteral("PAGE: $P of $N"));
    printer.SetFileName(fivePages_);
    QCOMPARE(printer.TotalPages(), 5);
    QCOMPARE(printer.FirstPageToPrint(), 1);
    QCOMPARE(printer.LastPageToPrint(), 5);
    QVERIFY(printer.FirstPageIsFine());
    QVERIFY(!printer.FirstPageIsWide());

    const QString empty = QString::fromStdString(scratch_->file("EMPTY.APF"));
    ApfFileHeader header;
    const auto bytes = header.Serialize();
    std::ofstream(empty.toStdString(), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    printer.SetFileName(empty);
    QCOMPARE(printer.TotalPages(), 0);
    QCOMPARE(printer.FirstPageToPrint(), 0);
    QCOMPARE(printer.LastPageToPrint(), 0);
    const QString pdf = QString::fromStdString(scratch_->file("empty.pdf"));
    UsePdf(printer, pdf, 8.5, 11);
    QSignalSpy logs(&printer, &TQpFaxPrinter::OnFaxPrintLog);
    printer.PrintPages();
    QCOMPARE(logs.count(), 0);
    QVERIFY(!QFile::exists(pdf));

    bool failed = false;
    try {
        printer.SetFileName(QString::fromStdString(scratch_->file("MISSING.APF")));
    } catch (const EQPException& error) {
        failed = error.ErrorCode() == -2;
    }
    QVERIFY(failed);
}

// A 1728 x 2200 page fitted onto a 48 x 64 inch sheet at 100 dots per inch (4800 x 6400
// dots) is drawn 4800 x 6111 dots: rendered at 5 dpi, its frame spans 240 x 305.5 pixels.
void TQpFaxPrinterTest::fitToPageOnPdf() {
    TQpFaxPrinter printer;
    const QString pdf = QString::fromStdString(scratch_->file("fit.pdf"));
    UsePdf(printer, pdf, 48, 64);
    QCOMPARE(QSize(printer.Printer().width(), printer.Printer().height()), QSize(4800, 6400));
    printer.FaxHeader().SetEnabled(false);
    printer.FaxFooter().SetEnabled(false);
    printer.SetFileName(fivePages_);
    printer.SetLastPageToPrint(1);
    printer.PrintPages();
    QCOMPARE(PdfPages(pdf), 1);
    const QImage page = Render(pdf, 1, 5);
    QCOMPARE(page.size(), QSize(240, 320));
    const QRect box = DarkBox(page, page.rect());
    QCOMPARE(box.left(), 0);
    QCOMPARE(box.top(), 0);
    QVERIFY2(box.right() >= 238 && box.right() <= 239, qPrintable(QString::number(box.right())));
    QVERIFY2(box.bottom() >= 304 && box.bottom() <= 306, qPrintable(QString::number(box.bottom())));
}

// The header carries "FILE: " and the file name, the footer "PAGE: n of N", both after
// tag replacement; the page sits between the header line and the footer line.
void TQpFaxPrinterTest::headerAndFooterTexts() {
    TQpFaxPrinter printer;
    const QString pdf = QString::fromStdString(scratch_->file("texts.pdf"));
    UsePdf(printer, pdf, 8.5, 11);
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(10);
    printer.FaxHeader().SetFont(font);
    printer.FaxFooter().SetFont(font);
    printer.FaxHeader().SetCaption(QStringLiteral("Smith-$Q Offer $P"));
    printer.SetFileName(sevenPages_);
    printer.SetFirstPageToPrint(3);
    printer.SetLastPageToPrint(3);
    printer.PrintPages();
    const QString text = PdfText(pdf);
    QVERIFY2(text.contains(QStringLiteral("Smith- Offer 3")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("PAGE: 3 of 7")), qPrintable(text));
    QVERIFY(!text.contains(QLatin1Char('$')));

    // Rendered at 100 dpi: text and a rule at the top, the fax page (400 lines high, so
    // fitted to the width) right below it, a rule and text at the bottom.
    const QImage page = Render(pdf, 1, 100);
    const int headerHeight = printer.FaxHeader().TextHeight();
    const int footerHeight = printer.FaxFooter().TextHeight();
    QVERIFY(headerHeight > 5 && headerHeight < 40);
    const int ruleY = headerHeight + 2;
    QVERIFY(qGray(page.pixel(400, ruleY)) < 160);
    const QRect faxBox = DarkBox(page, QRect(0, ruleY + 2, 850, 1100 - ruleY - footerHeight - 6));
    QCOMPARE(faxBox.top(), ruleY + 2);
    QCOMPARE(faxBox.left(), 0);
    QVERIFY(faxBox.right() >= 848);
    QVERIFY(std::abs(faxBox.height() - 400 * 850 / 1728) <= 2);
    const int footerRuleY = 1100 - footerHeight - 2;
    QVERIFY(qGray(page.pixel(400, footerRuleY)) < 160);
    QVERIFY(qGray(page.pixel(400, footerRuleY - 3)) > 200);
}

// Pages 2 to 5 of 5 with MultiPage on a portrait sheet: one sheet, a 2 x 2 grid, each
// quarter showing its page (page n carries n squares in its corner).
void TQpFaxPrinterTest::multiPagePortraitOneSheet() {
    TQpFaxPrinter printer;
    const QString pdf = QString::fromStdString(scratch_->file("portrait.pdf"));
    UsePdf(printer, pdf, 8, 10);
    printer.FaxHeader().SetEnabled(false);
    printer.FaxFooter().SetEnabled(false);
    printer.SetMultiPage(true);
    printer.SetFileName(fivePages_);
    printer.SetFirstPageToPrint(2);
    printer.PrintPages();
    QCOMPARE(PdfPages(pdf), 1);
    const QImage sheet = Render(pdf, 1, 100); // 800 x 1000
    const QList<QRect> quarters = {QRect(0, 0, 400, 500), QRect(400, 0, 400, 500),
                                   QRect(0, 500, 400, 500), QRect(400, 500, 400, 500)};
    for (int slot = 0; slot < 4; ++slot) {
        const QRect box = DarkBox(sheet, quarters[slot]);
        QVERIFY2(box.width() > 350, qPrintable(QString::number(slot)));
        QCOMPARE(box.topLeft(), quarters[slot].topLeft() + QPoint(2, 2));
        // Squares of 40 page pixels every 60 pixels; at this scale (392 / 1728) a square
        // is about 9 dots: count the squares along the row through their middle.
        const int y = quarters[slot].top() + 2 + 40 * 392 / 1728 / 2 * 2 + 4;
        int squares = 0;
        bool inSquare = false;
        for (int x = quarters[slot].left() + 6; x < quarters[slot].left() + 200; ++x) {
            const bool dark = qGray(sheet.pixel(x, y)) < 160;
            squares += dark && !inSquare ? 1 : 0;
            inSquare = dark;
        }
        QCOMPARE(squares, slot + 2);
    }
}

// The same range on a landscape sheet takes two sheets, two pages side by side on each.
void TQpFaxPrinterTest::multiPageLandscapeTwoSheets() {
    TQpFaxPrinter printer;
    const QString pdf = QString::fromStdString(scratch_->file("landscape.pdf"));
    UsePdf(printer, pdf, 8, 10, QPageLayout::Landscape);
    printer.FaxHeader().SetEnabled(false);
    printer.FaxFooter().SetEnabled(false);
    printer.SetMultiPage(true);
    printer.SetFileName(fivePages_);
    printer.SetFirstPageToPrint(2);
    printer.PrintPages();
    QCOMPARE(PdfPages(pdf), 2);
    for (int sheetNumber = 1; sheetNumber <= 2; ++sheetNumber) {
        const QImage sheet = Render(pdf, sheetNumber, 50); // 500 x 400
        QCOMPARE(sheet.size(), QSize(500, 400));
        const QRect left = DarkBox(sheet, QRect(0, 0, 250, 400));
        const QRect right = DarkBox(sheet, QRect(250, 0, 250, 400));
        // Each half is 496 x 796 dots at 100 dpi; a page fits it 496 wide and 631 high,
        // 248 x 315.5 pixels at 50 dpi.
        QCOMPARE(left.topLeft(), QPoint(1, 1));
        QCOMPARE(right.topLeft(), QPoint(251, 1));
        QVERIFY(std::abs(left.width() - 248) <= 1 && std::abs(right.width() - 248) <= 1);
        QVERIFY(std::abs(left.height() - 316) <= 1 && std::abs(right.height() - 316) <= 1);
    }
}

// One job of three pages: progress codes in order without repeats, OnNextPage before
// every page, the log's "started" and "finished" lines, and the status form shown during
// the job and hidden after it.
void TQpFaxPrinterTest::progressLogAndStatusDisplay() {
    QObject owner;
    auto* status = new TQpFaxPrinterStatus(&owner);
    auto* log = new TQpFaxPrinterLog(&owner);
    auto* printer = new TQpFaxPrinter(&owner);
    QCOMPARE(printer->StatusDisplay(), status);
    QCOMPARE(printer->FaxPrinterLog(), log);
    const QString pdf = QString::fromStdString(scratch_->file("status.pdf"));
    UsePdf(*printer, pdf, 8.5, 11);
    printer->SetFileName(fivePages_);
    printer->SetFirstPageToPrint(2);
    printer->SetLastPageToPrint(4);

    QList<int> progress;
    QStringList statusLines;
    QList<bool> shown;
    connect(printer, &TQpFaxPrinter::OnFaxPrintStatus, this, [&](TFaxPrintProgress code) {
        progress.append(code);
        statusLines.append(status->Display()->StatusLabel()->text());
    });
    QList<QPair<int, int>> nextPages;
    connect(printer, &TQpFaxPrinter::OnNextPage, this, [&](int page, int total) {
        nextPages.append({page, total});
        shown.append(status->Visible());
    });
    printer->PrintPages();

    QCOMPARE(nextPages, (QList<QPair<int, int>>{{2, 5}, {3, 5}, {4, 5}}));
    QCOMPARE(progress, (QList<int>{4, 1, 2, 3, 4, 1, 2, 3, 4, 1, 2, 3}));
    QCOMPARE(shown, (QList<bool>{true, true, true}));
    QVERIFY(!status->Visible());
    QCOMPARE(printer->CurrentPage(), 0);
    QCOMPARE(PdfPages(pdf), 3);

    const auto* form = status->Display();
    QCOMPARE(form->windowTitle(), QStringLiteral("Print Status"));
    QCOMPARE(form->findChild<QLabel*>(QStringLiteral("FileName"))->text(),
             QStringLiteral("FIVE.APF"));
    QCOMPARE(form->findChild<QLabel*>(QStringLiteral("Resolution"))->text(),
             QStringLiteral("high"));
    QCOMPARE(form->findChild<QLabel*>(QStringLiteral("PageWidth"))->text(), QStringLiteral("1728"));
    // The form shows the progress reported before each code.
    QCOMPARE(statusLines.value(5), QStringLiteral("Converting 3 of 4"));

    QFile file(QString::fromStdString((qptest::DataDir() / "FAXPRINT.LOG").string()));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromLocal8Bit(file.readAll()).split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 4); // started, finished, empty line, end
    QVERIFY(lines[0].startsWith(QStringLiteral("Printing ") + fivePages_ + " started at "));
    QVERIFY(lines[1].startsWith(QStringLiteral("Printing ") + fivePages_ + " finished at "));
    QVERIFY(lines[2].isEmpty());
}

// AbortPrinting during page 2 stops before page 3, logs "aborted" and hides the display.
void TQpFaxPrinterTest::abortStopsBeforeNextPage() {
    QObject owner;
    auto* status = new TQpFaxPrinterStatus(&owner);
    auto* printer = new TQpFaxPrinter(&owner);
    auto* log = new TQpFaxPrinterLog(&owner);
    log->SetLogFileName(QString::fromStdString(scratch_->file("abort.log")));
    printer->SetFaxPrinterLog(log);
    UsePdf(*printer, QString::fromStdString(scratch_->file("abort.pdf")), 8.5, 11);
    printer->SetFileName(fivePages_);
    QList<int> pages;
    connect(printer, &TQpFaxPrinter::OnNextPage, this, [&](int page, int) {
        pages.append(page);
        if (page == 2) {
            status->Display()->AbortButton()->click();
        }
    });
    QSignalSpy logs(printer, &TQpFaxPrinter::OnFaxPrintLog);
    printer->PrintPages();
    QCOMPARE(pages, (QList<int>{1, 2}));
    QCOMPARE(logs.count(), 2);
    QCOMPARE(logs.at(1).first().value<TFaxPLCode>(), lcAborted);
    QVERIFY(!status->Visible());
    QVERIFY(!printer->Printing());
    QFile file(log->LogFileName());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(QString::fromLocal8Bit(file.readAll()).contains(QStringLiteral(" aborted at ")));
}

// A page that cannot be decoded ends the job: "failed" is logged and the error thrown.
void TQpFaxPrinterTest::decodingErrorIsLoggedAndThrown() {
    const QString broken = QString::fromStdString(scratch_->file("BROKEN.APF"));
    QVERIFY(faxtest::WriteFramedFax(broken, 2));
    std::filesystem::resize_file(broken.toStdString(),
                                 std::filesystem::file_size(broken.toStdString()) - 3000);
    TQpFaxPrinter printer;
    UsePdf(printer, QString::fromStdString(scratch_->file("broken.pdf")), 8.5, 11);
    printer.SetFileName(broken);
    QSignalSpy logs(&printer, &TQpFaxPrinter::OnFaxPrintLog);
    int code = 0;
    try {
        printer.PrintPages();
    } catch (const EQPException& error) {
        code = error.ErrorCode();
    }
    QCOMPARE(code, -100);
    QCOMPARE(logs.count(), 2);
    QCOMPARE(logs.at(1).first().value<TFaxPLCode>(), lcFailed);
    QVERIFY(!printer.Printing());
    QCOMPARE(printer.CurrentPage(), 0);
}

// "qpx apf print" prints through the same printer into a PDF file: the page range, the
// MultiPage sheets and the header and footer texts arrive there; bad input fails cleanly.
void TQpFaxPrinterTest::qpxPrintCommand() {
    const std::string qpx = (qptest::BinaryDir() / "bin" / "qpx").string();
    const QString pdf = QString::fromStdString(scratch_->file("qpx.pdf"));
    std::string output;
    QCOMPARE(qptest::RunCommand(qpx + " apf print '" + sevenPages_.toStdString() + "' -o '" +
                                    pdf.toStdString() +
                                    "' --pages 2-6 --header 'To Smith $P' --footer 'p$P of $N'",
                                &output),
             0);
    QCOMPARE(PdfPages(pdf), 5);
    const QString text = PdfText(pdf);
    QVERIFY2(text.contains(QStringLiteral("To Smith 6")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("p2 of 7")), qPrintable(text));
    QVERIFY(!text.contains(QStringLiteral("p1 of 7")));

    QCOMPARE(qptest::RunCommand(qpx + " apf print '" + fivePages_.toStdString() + "' -o '" +
                                    pdf.toStdString() + "' --pages 2-5 --multipage --header ''",
                                &output),
             0);
    QCOMPARE(PdfPages(pdf), 1);
    QVERIFY(!PdfText(pdf).contains(QStringLiteral("FILE:")));

    const std::string missing = scratch_->file("NONE.APF");
    QCOMPARE(qptest::RunCommand(qpx + " apf print '" + missing + "' -o '" + pdf.toStdString() + "'",
                                &output),
             1);
    QVERIFY2(QString::fromStdString(output).contains(QStringLiteral("File not found")),
             output.c_str());
    QCOMPARE(qptest::RunCommand(qpx + " apf print '" + fivePages_.toStdString() + "' -o '" +
                                    pdf.toStdString() + "' --pages 4-9",
                                &output),
             1);
    QCOMPARE(qptest::RunCommand(qpx + " apf print --pages x"), 2);
}

QImage TQpFaxPrinterTest::RenderDots(const QString& pdf, int page, const QRect& dots, int factor) {
    const QString prefix = pdf + QStringLiteral("-dots%1").arg(page);
    const int dpi = 1200 * factor;
    const int status = qptest::RunCommand(
        QStringLiteral("pdftoppm -gray -r %1 -f %2 -l %2 -x %3 -y %4 -W %5 -H %6 -singlefile "
                       "'%7' '%8'")
            .arg(dpi)
            .arg(page)
            .arg(dots.left() * factor)
            .arg(dots.top() * factor)
            .arg(dots.width() * factor)
            .arg(dots.height() * factor)
            .arg(pdf, prefix)
            .toStdString());
    return status == 0 ? QImage(prefix + QStringLiteral(".pgm")) : QImage();
}

// A five-page text fax printed to PDF: every page is a one-bit image stored losslessly
// (not a JPEG), the page exactly as decoded, and the file stays under 100 KB a page.
void TQpFaxPrinterTest::pagesGoToThePrinterAsLosslessBitmaps() {
    const QString apf = QString::fromStdString(scratch_->file("TEXT5.APF"));
    QList<QImage> pages;
    for (int seed = 1; seed <= 5; ++seed) {
        pages.append(faxtest::TextLikePage(seed, 1100));
    }
    QVERIFY(faxtest::WriteApf(apf, pages, false));
    TQpFaxPrinter printer;
    const QString pdf = QString::fromStdString(scratch_->file("text5.pdf"));
    printer.Printer().setOutputFormat(QPrinter::PdfFormat);
    printer.Printer().setOutputFileName(pdf);
    QCOMPARE(printer.Printer().resolution(), 1200);
    printer.SetFileName(apf);
    printer.PrintPages();
    QCOMPARE(PdfPages(pdf), 5);
    QVERIFY2(QFileInfo(pdf).size() < 5 * 100 * 1024,
             qPrintable(QString::number(QFileInfo(pdf).size())));

    const QList<QStringList> images = PdfImageList(pdf);
    QCOMPARE(images.size(), 5);
    for (int index = 0; index < 5; ++index) {
        const QStringList& row = images[index];
        const QString what = row.join(QLatin1Char(' '));
        QCOMPARE(row[0].toInt(), index + 1);
        QVERIFY2(row[5] == QStringLiteral("gray") && row[7] == QStringLiteral("1"),
                 qPrintable(what));
        QVERIFY2(row[8] != QStringLiteral("jpeg") && row[8] != QStringLiteral("jpx"),
                 qPrintable(what));
        QVERIFY2(row[9] == QStringLiteral("no"), qPrintable(what)); // no smoothing asked for

        // The stored bitmap is the decoded page, pixel for pixel (a standard page, rows
        // doubled).
        const QImage page = printer.Unpacker().DecodePageToBitmap(index + 1);
        QCOMPARE(QSize(row[3].toInt(), row[4].toInt()), page.size());
        const QString prefix = pdf + QStringLiteral("-image%1").arg(index + 1);
        QCOMPARE(qptest::RunCommand(QStringLiteral("pdfimages -f %1 -l %1 '%2' '%3'")
                                        .arg(index + 1)
                                        .arg(pdf, prefix)
                                        .toStdString()),
                 0);
        const QImage stored(prefix + QStringLiteral("-000.pbm"));
        QCOMPARE(stored.size(), page.size());
        int different = 0;
        for (int y = 0; y < page.height(); ++y) {
            for (int x = 0; x < page.width(); ++x) {
                different += (qGray(stored.pixel(x, y)) < 128) != BlackAt(page, x, y) ? 1 : 0;
            }
        }
        QCOMPARE(different, 0);
    }
}

// Rendered at its own scale, a printed page shows exactly the fax page scaled to its
// place: only black and white pixels, each the colour of the page pixel under it, whether
// the page is fitted to the sheet, printed four to a sheet or printed unscaled. (pdftoppm
// smooths pictures it enlarges less than four times, so each sheet is rendered at a
// resolution that enlarges the page more than that.)
void TQpFaxPrinterTest::printedPagesStaySharpAtEveryScale() {
    const QString apf = QString::fromStdString(scratch_->file("DETAIL.APF"));
    QList<QImage> faxPages;
    for (int seed = 1; seed <= 4; ++seed) {
        faxPages.append(SmallDetailedPage(seed));
    }
    QVERIFY(faxtest::WriteApf(apf, faxPages, true));

    struct Job {
        const char* name;
        TFaxPrintScale scale;
        bool multiPage;
        int factor; // rendered pixels per printer dot
    };
    const Job jobs[] = {{"fit", psFitToPage, false, 1},
                        {"fourup", psFitToPage, true, 2},
                        {"unscaled", psNone, false, 6}};
    for (const Job& job : jobs) {
        TQpFaxPrinter printer;
        const QString pdf = QString::fromStdString(scratch_->file(std::string(job.name) + ".pdf"));
        UsePdfAtPrinterResolution(printer, pdf, 1, 1.25);
        printer.FaxHeader().SetEnabled(false);
        printer.FaxFooter().SetEnabled(false);
        printer.SetPrintScale(job.scale);
        printer.SetMultiPage(job.multiPage);
        printer.SetFileName(apf);
        printer.PrintPages();
        const int sheetWidth = printer.Printer().width();
        const int sheetHeight = printer.Printer().height();
        QCOMPARE(QSize(sheetWidth, sheetHeight), QSize(1200, 1500));
        for (const QStringList& row : PdfImageList(pdf)) {
            QVERIFY2(row[7] == QStringLiteral("1") && row[8] != QStringLiteral("jpeg"),
                     qPrintable(row.join(QLatin1Char(' '))));
        }
        for (int page = 1; page <= 4; ++page) {
            const QImage picture = printer.Unpacker().DecodePageToBitmap(page);
            QCOMPARE(picture.size(), QSize(160, 120));
            const FaxPrintArea area =
                FaxPrintLayout::PageArea(sheetWidth, sheetHeight, job.multiPage, true, page, 1);
            const QSize size = FaxPrintLayout::DestinationSize(picture.size(), area, job.scale);
            const QRect target(QPoint(area.left, area.top), size);
            const int sheet = job.multiPage ? 1 : page;
            const QRect window =
                target.adjusted(-2, -2, 2, 2) & QRect(0, 0, sheetWidth, sheetHeight);
            const QImage rendered = RenderDots(pdf, sheet, window, job.factor);
            QVERIFY(!rendered.isNull());
            const RenderComparison comparison =
                CompareWithPicture(rendered, window.topLeft(), job.factor, picture, target);
            const QString what = QStringLiteral("%1 page %2: %3 compared, %4 grey, %5 wrong")
                                     .arg(QLatin1String(job.name))
                                     .arg(page)
                                     .arg(comparison.compared)
                                     .arg(comparison.grey)
                                     .arg(comparison.wrong);
            QVERIFY2(comparison.compared >
                         size.width() * size.height() * job.factor * job.factor * 9 / 10,
                     qPrintable(what));
            QVERIFY2(comparison.grey == 0 && comparison.wrong == 0, qPrintable(what));
        }
    }
}

QTEST_MAIN(TQpFaxPrinterTest)
#include "TQpFaxPrinterTest.moc"
