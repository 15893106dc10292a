// Tests of the "Fax Viewer " window on real fax files: loading with the initial zoom,
// the zoom ladder, rotation, the page counter, error boxes, printing and placement.
#include "FaxTestFiles.h"
#include "TestPaths.h"

#include "ui/MessageBoxScript.h"
#include "common/IniFile.h"
#include "common/Settings.h"
#include "ui/THelpBrowser.h"
#include "dialogs/TFaxViewer.h"
#include "faximage/viewer/TQpFaxPrinter.h"
#include "faximage/viewer/TQpFaxViewer.h"

#include <filesystem>

#include <QAction>
#include <QLabel>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QToolButton>

class TFaxViewerTest final : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init() { MessageBoxScript::Reset(); }
    void initialZoomEstimate();
    void loadsAtFirstActivationWithInitialZoom();
    void wideViewerKeepsFullSize();
    void zoomLadderSteps();
    void rotationItems();
    void onePageFaxHidesNavigation();
    void brokenFileShowsErrorAndNoFile();
    void viewerErrorWhilePaging();
    void printCurrentPageWithHeaderAndFooter();
    void placementSavedOnClose();
    void helpShowsFaxViewerTopic();

private:
    // Shows the window for `file` with the viewer `viewerWidth` pixels wide and waits for
    // the loading that the first activation performs.
    void ShowWindow(TFaxViewer& window, const QString& file, int viewerWidth = 600);
    QLabel* Counter(TFaxViewer& window) {
        return window.findChild<QLabel*>(QStringLiteral("StatusPanel"));
    }
    QAction* Item(TFaxViewer& window, const QString& name) {
        return window.findChild<QAction*>(name);
    }
    QStringList CheckedItems(TFaxViewer& window);

    std::unique_ptr<qptest::ScratchDir> scratch_;
    QString fivePages_;
    QString onePage_;
};

void TFaxViewerTest::initTestCase() {
    scratch_ = std::make_unique<qptest::ScratchDir>("faxwindow");
    fivePages_ = QString::fromStdString(scratch_->file("FAX0001.APF"));
    QVERIFY(faxtest::WriteFramedFax(fivePages_, 5));
    onePage_ = QString::fromStdString(scratch_->file("FAX0002.APF"));
    QVERIFY(faxtest::WriteFramedFax(onePage_, 1));
}

void TFaxViewerTest::ShowWindow(TFaxViewer& window, const QString& file, int viewerWidth) {
    window.SetFileName(file);
    window.resize(viewerWidth, 500);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QTRY_VERIFY(Counter(window)->text() != QStringLiteral("Loading..."));
    QCOMPARE(window.FaxViewer()->width(), viewerWidth);
}

QStringList TFaxViewerTest::CheckedItems(TFaxViewer& window) {
    QStringList checked;
    for (QAction* action : window.findChildren<QAction*>()) {
        if (action->isChecked()) {
            checked.append(action->text());
        }
    }
    checked.sort();
    return checked;
}

// The estimate W / P x 150 snapped to the ladder; a page that fits gives 100.
void TFaxViewerTest::initialZoomEstimate() {
    QCOMPARE(TFaxViewer::InitialZoom(600, 1728), 50);   // estimate 52
    QCOMPARE(TFaxViewer::InitialZoom(1200, 1728), 100); // estimate 104
    QCOMPARE(TFaxViewer::InitialZoom(900, 864), 100);   // narrow page fits
    QCOMPARE(TFaxViewer::InitialZoom(300, 1728), 25);
    const QList<QPair<int, int>> snaps = {{0, 25},    {36, 25},   {37, 50},   {62, 50},
                                          {63, 75},   {87, 75},   {88, 100},  {125, 100},
                                          {126, 150}, {175, 150}, {176, 200}, {300, 200}};
    for (const auto& [estimate, zoom] : snaps) {
        QCOMPARE(TFaxViewer::SnapToLadder(estimate), zoom);
    }
}

// A 1728-pixel page in a 600-pixel viewer opens at 50 % with its menu item checked, the
// counter on page 1 and the navigation buttons shown for a multi-page fax.
void TFaxViewerTest::loadsAtFirstActivationWithInitialZoom() {
    TFaxViewer window;
    QCOMPARE(window.windowTitle(), QStringLiteral("Fax Viewer "));
    QCOMPARE(Counter(window)->text(), QStringLiteral("Loading..."));
    ShowWindow(window, fivePages_);
    QCOMPARE(window.Zoom(), 50);
    QCOMPARE(window.FaxViewer()->PageWidth(), 864);
    QCOMPARE(CheckedItems(window), QStringList{QStringLiteral("50%")});
    QCOMPARE(Counter(window)->text(), QStringLiteral("Page 1 of 5"));
    for (const char* name : {"FirstButton", "PrevButton", "NextButton", "LastButton"}) {
        QVERIFY(window.findChild<QToolButton*>(QLatin1String(name))->isVisible());
    }
    window.findChild<QToolButton*>(QStringLiteral("NextButton"))->click();
    QCOMPARE(Counter(window)->text(), QStringLiteral("Page 2 of 5"));
    window.findChild<QToolButton*>(QStringLiteral("LastButton"))->click();
    window.findChild<QToolButton*>(QStringLiteral("NextButton"))->click();
    QCOMPARE(Counter(window)->text(), QStringLiteral("Page 5 of 5"));
    window.findChild<QToolButton*>(QStringLiteral("FirstButton"))->click();
    QCOMPARE(Counter(window)->text(), QStringLiteral("Page 1 of 5"));
    // The zoom survives paging.
    QCOMPARE(window.FaxViewer()->PageWidth(), 864);
    const bool printers = !QPrinterInfo::availablePrinters().isEmpty();
    QCOMPARE(window.findChild<QToolButton*>(QStringLiteral("Printbutton"))->isEnabled(), printers);
    QCOMPARE(window.findChild<QToolButton*>(QStringLiteral("PrinterSetupButton"))->isEnabled(),
             printers);
}

// In a 1200-pixel viewer the estimate is 104, so the zoom stays 100 with Scaling off.
void TFaxViewerTest::wideViewerKeepsFullSize() {
    TFaxViewer window;
    ShowWindow(window, fivePages_, 1200);
    QCOMPARE(window.Zoom(), 100);
    QVERIFY(!window.FaxViewer()->Scaling());
    QCOMPARE(window.FaxViewer()->PageWidth(), 1728);
    QCOMPARE(CheckedItems(window), QStringList{QStringLiteral("100%")});
}

// Zoom in from 100 gives 150, zoom out from 150 gives 100; both ends stay put.
void TFaxViewerTest::zoomLadderSteps() {
    TFaxViewer window;
    ShowWindow(window, fivePages_, 1200);
    window.ZoomIn();
    QCOMPARE(window.Zoom(), 150);
    QCOMPARE(window.FaxViewer()->PageWidth(), 2592);
    QCOMPARE(window.FaxViewer()->HorizMult(), 150);
    QCOMPARE(window.FaxViewer()->VertDiv(), 100);
    window.ZoomOut();
    QCOMPARE(window.Zoom(), 100);
    QVERIFY(!window.FaxViewer()->Scaling());
    window.ZoomIn();
    window.ZoomIn();
    QCOMPARE(window.Zoom(), 200);
    window.ZoomIn(); // beeps
    QCOMPARE(window.Zoom(), 200);
    QCOMPARE(CheckedItems(window), QStringList{QStringLiteral("200%")});
    for (int step = 0; step < 6; ++step) {
        window.ZoomOut();
    }
    QCOMPARE(window.Zoom(), 25);
    QCOMPARE(window.FaxViewer()->PageWidth(), 432);
    Item(window, QStringLiteral("Zoom75"))->trigger();
    QCOMPARE(window.Zoom(), 75);
    QCOMPARE(CheckedItems(window), QStringList{QStringLiteral("75%")});
}

// Rotation items turn the page and keep one item checked; the zoom stays.
void TFaxViewerTest::rotationItems() {
    TFaxViewer window;
    ShowWindow(window, fivePages_);
    Item(window, QStringLiteral("Rotate1"))->trigger();
    QCOMPARE(window.FaxViewer()->Rotation(), 1);
    QCOMPARE(window.FaxViewer()->PageWidth(), 1100); // 2200 x 50 %
    QCOMPARE(CheckedItems(window),
             (QStringList{QStringLiteral("50%"), QStringLiteral("Rotate 90 degrees")}));
    Item(window, QStringLiteral("Rotate2"))->trigger();
    QCOMPARE(window.FaxViewer()->Rotation(), 2);
    QCOMPARE(window.FaxViewer()->PageWidth(), 864);
    QCOMPARE(window.Zoom(), 50);
    QCOMPARE(CheckedItems(window),
             (QStringList{QStringLiteral("50%"), QStringLiteral("Rotate 180 degrees")}));
}

// A one-page fax: no navigation buttons, counter "Page 1 of 1".
void TFaxViewerTest::onePageFaxHidesNavigation() {
    TFaxViewer window;
    ShowWindow(window, onePage_);
    QCOMPARE(Counter(window)->text(), QStringLiteral("Page 1 of 1"));
    for (const char* name : {"FirstButton", "PrevButton", "NextButton", "LastButton"}) {
        QVERIFY(!window.findChild<QToolButton*>(QLatin1String(name))->isVisible());
    }
}

// A file that is not a fax: "Error opening fax file", "No file loaded", no navigation,
// and zoom and print commands do nothing harmful.
void TFaxViewerTest::brokenFileShowsErrorAndNoFile() {
    const QString text = QString::fromStdString(scratch_->file("NOTAFAX.APF"));
    QFile file(text);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(200, 'x'));
    file.close();
    MessageBoxScript::AnswerAll(true);
    TFaxViewer window;
    ShowWindow(window, text);
    QCOMPARE(MessageBoxScript::Shown().size(), 1);
    QCOMPARE(MessageBoxScript::Shown().first().text, QStringLiteral("Error opening fax file"));
    QCOMPARE(Counter(window)->text(), QStringLiteral("No file loaded"));
    QVERIFY(!window.findChild<QToolButton*>(QStringLiteral("NextButton"))->isVisible());
    window.ZoomOut();
    window.ApplyRotation(1);
    window.PrintAll();
    window.PrintCurrentPage();
    window.PrinterSetup();
    QCOMPARE(window.FaxViewer()->PageNumber(), 0);
    QCOMPARE(MessageBoxScript::Shown().size(), 1);
}

// A page that cannot be decoded while paging gives "Viewer error -100" and no file.
void TFaxViewerTest::viewerErrorWhilePaging() {
    const QString broken = QString::fromStdString(scratch_->file("BROKEN.APF"));
    QVERIFY(faxtest::WriteFramedFax(broken, 2));
    std::filesystem::resize_file(broken.toStdString(),
                                 std::filesystem::file_size(broken.toStdString()) - 3000);
    MessageBoxScript::AnswerAll(true);
    TFaxViewer window;
    ShowWindow(window, broken);
    QCOMPARE(Counter(window)->text(), QStringLiteral("Page 1 of 2"));
    window.findChild<QToolButton*>(QStringLiteral("NextButton"))->click();
    QCOMPARE(MessageBoxScript::Shown().size(), 1);
    QCOMPARE(MessageBoxScript::Shown().first().text, QStringLiteral("Viewer error -100"));
    QCOMPARE(Counter(window)->text(), QStringLiteral("No file loaded"));
}

// Print current page prints that page alone with the caller's header caption and the
// footer "Page: $P of $N"; print all prints every page whatever range was set before.
void TFaxViewerTest::printCurrentPageWithHeaderAndFooter() {
    TFaxViewer window;
    ShowWindow(window, fivePages_);
    const QString pdf = QString::fromStdString(scratch_->file("current.pdf"));
    QPrinter& printer = window.FaxPrinter()->Printer();
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    window.FaxPrinter()->FaxHeader().SetCaption(QStringLiteral("Smith - Quarterly offer"));
    QCOMPARE(window.FaxPrinter()->Caption(), QStringLiteral("QP Fax Printer"));
    window.FaxViewer()->SetPageNumber(3);
    window.PrintCurrentPage();
    std::string output;
    qptest::RunCommand(QStringLiteral("pdftotext '%1' -").arg(pdf).toStdString(), &output);
    const QString text = QString::fromStdString(output);
    QVERIFY2(text.contains(QStringLiteral("Smith - Quarterly oﬀer")) ||
                 text.contains(QStringLiteral("Smith - Quarterly offer")),
             qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("Page: 3 of 5")), qPrintable(text));
    QVERIFY(!text.contains(QStringLiteral("Page: 2 of 5")));

    window.FaxPrinter()->SetFirstPageToPrint(2);
    window.FaxPrinter()->SetLastPageToPrint(2);
    window.PrintAll();
    output.clear();
    qptest::RunCommand(QStringLiteral("pdfinfo '%1'").arg(pdf).toStdString(), &output);
    QVERIFY2(QString::fromStdString(output).contains(QRegularExpression("Pages:\\s+5")),
             output.c_str());
}

// Closing the window saves its placement under "TFaxViewer_Placement".
void TFaxViewerTest::placementSavedOnClose() {
    {
        TFaxViewer window;
        ShowWindow(window, onePage_);
        window.move(40, 30);
        window.resize(700, 520);
        window.findChild<QPushButton*>(QStringLiteral("CloseButton"))->click();
        QVERIFY(!window.isVisible());
    }
    const IniFile ini(SettingsFileName());
    QCOMPARE(ini.ReadInteger("TFaxViewer_Placement", "Right", 0) -
                 ini.ReadInteger("TFaxViewer_Placement", "Left", 0),
             700);
    TFaxViewer again;
    QCOMPARE(again.width(), 700);
}

// The Help button opens help context 1021.
void TFaxViewerTest::helpShowsFaxViewerTopic() {
    TFaxViewer window;
    ShowWindow(window, onePage_);
    window.findChild<QPushButton*>(QStringLiteral("Helpbutton"))->click();
    THelpBrowser* help = nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* browser = qobject_cast<THelpBrowser*>(widget)) {
            help = browser;
        }
    }
    QVERIFY(help);
    QCOMPARE(help->Topic(), 1021);
    help->close();
}

QTEST_MAIN(TFaxViewerTest)
#include "TFaxViewerTest.moc"
