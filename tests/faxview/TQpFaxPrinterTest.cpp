// Tests of the fax printer: sheet layout and scaling, header and footer tags, MultiPage,
// progress, log lines, abort and failures, checked by printing real fax files into PDF
// files and rendering them with pdftoppm / reading them with pdftotext.
#include "FaxTestFiles.h"
#include "TestPaths.h"

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

private:
    QImage Render(const QString& pdf, int page, int dpi = 50);
    int PdfPages(const QString& pdf);
    QString PdfText(const QString& pdf);

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

QTEST_MAIN(TQpFaxPrinterTest)
#include "TQpFaxPrinterTest.moc"
