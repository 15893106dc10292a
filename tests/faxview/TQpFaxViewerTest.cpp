// Tests of the fax viewer control on real APF files: loading, navigation keys, scale,
// rotation, marking and copying, freeing of pages and painting.
#include "FaxTestFiles.h"
#include "TestPaths.h"

#include "faximage/viewer/FaxPictureOps.h"
#include "faximage/viewer/TQpFaxViewer.h"

#include "common/EQPException.h"

#include <filesystem>
#include <fstream>

#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

namespace {

int ErrorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const EQPException& error) {
        return error.ErrorCode();
    }
    return 0;
}

bool IsBlackInView(const QImage& shot, QPoint point) {
    return qGray(shot.pixel(point)) < 128;
}

} // namespace

class TQpFaxViewerTest final : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void missingAndForeignFilesFail();
    void navigationKeys();
    void navigationMethodsAndPageNumber();
    void rotationOneThenThreeIsHalfTurn();
    void scaleHalvesTheWidth();
    void halfWidthAspectForStandardPages();
    void clickWithoutDragLeavesNoMark();
    void dragMarksAndSelectAllCopiesPage();
    void onlyCurrentPageStaysDecoded();
    void paintsPageInForegroundColour();
    void brokenPageReportsViewerError();
    void droppedFileIsLoaded();

private:
    QString fivePages_;
    QString standardPage_;
    std::unique_ptr<qptest::ScratchDir> scratch_;
};

void TQpFaxViewerTest::initTestCase() {
    scratch_ = std::make_unique<qptest::ScratchDir>("faxview");
    fivePages_ = QString::fromStdString(scratch_->file("FIVE.APF"));
    QVERIFY(faxtest::WriteFramedFax(fivePages_, 5));
    standardPage_ = QString::fromStdString(scratch_->file("STANDARD.APF"));
    QVERIFY(faxtest::WriteApf(standardPage_, {faxtest::FramedPage(1, 1100)}, false));
}

// Setting FileName to a missing file raises -2, to a file that is not a fax -8001; the
// viewer then shows no file.
void TQpFaxViewerTest::missingAndForeignFilesFail() {
    TQpFaxViewer viewer;
    QCOMPARE(ErrorOf([&] { viewer.SetFileName(scratch_->path().c_str() + QString("/NONE.APF")); }),
             -2);
    const QString text = QString::fromStdString(scratch_->file("TEXT.APF"));
    std::ofstream(text.toStdString()) << "This is a letter, not a fax file.\n"
                                      << std::string(100, 'x');
    QCOMPARE(ErrorOf([&] { viewer.SetFileName(text); }), -8001);
    QCOMPARE(viewer.PageNumber(), 0);
    QCOMPARE(viewer.PageCount(), 0);
    QCOMPARE(viewer.MarkWholePage(), -8050);
    QCOMPARE(ErrorOf([&] { viewer.SelectAll(); }), -8050);
}

// Page Down on the last page does nothing; Ctrl+Home from page 3 shows page 1; Ctrl+End
// shows the last page; Ctrl+Page Down scrolls to the bottom of the page.
void TQpFaxViewerTest::navigationKeys() {
    TQpFaxViewer viewer;
    viewer.resize(600, 400);
    viewer.show();
    viewer.SetFileName(fivePages_);
    QSignalSpy changes(&viewer, &TQpFaxViewer::OnPageChange);
    QCOMPARE(viewer.PageCount(), 5);
    QCOMPARE(viewer.PageNumber(), 1);

    QTest::keyClick(&viewer, Qt::Key_PageDown);
    QTest::keyClick(&viewer, Qt::Key_PageDown);
    QCOMPARE(viewer.PageNumber(), 3);
    QTest::keyClick(&viewer, Qt::Key_Home, Qt::ControlModifier);
    QCOMPARE(viewer.PageNumber(), 1);
    QTest::keyClick(&viewer, Qt::Key_End, Qt::ControlModifier);
    QCOMPARE(viewer.PageNumber(), 5);
    const int before = changes.count();
    QTest::keyClick(&viewer, Qt::Key_PageDown);
    QCOMPARE(viewer.PageNumber(), 5);
    QCOMPARE(changes.count(), before);

    QTest::keyClick(&viewer, Qt::Key_PageDown, Qt::ControlModifier);
    QCOMPARE(viewer.ScrollPosition().y(), viewer.PageHeight() - viewer.viewport()->height());
    QTest::keyClick(&viewer, Qt::Key_Up);
    QCOMPARE(viewer.ScrollPosition().y(), viewer.PageHeight() - viewer.viewport()->height() - 8);
    QTest::keyClick(&viewer, Qt::Key_Right, Qt::ControlModifier);
    QCOMPARE(viewer.ScrollPosition().x(), 80);
    QTest::keyClick(&viewer, Qt::Key_PageUp, Qt::ControlModifier);
    QCOMPARE(viewer.ScrollPosition().y(), 0);
    // Ctrl+End on the last page scrolls to the top left instead.
    QTest::keyClick(&viewer, Qt::Key_End, Qt::ControlModifier);
    QCOMPARE(viewer.ScrollPosition(), QPoint(0, 0));
    QTest::keyClick(&viewer, Qt::Key_PageUp);
    QCOMPARE(viewer.PageNumber(), 4);
}

// The page number can be set within 1..page count only.
void TQpFaxViewerTest::navigationMethodsAndPageNumber() {
    TQpFaxViewer viewer;
    viewer.SetFileName(fivePages_);
    viewer.LastPage();
    QCOMPARE(viewer.PageNumber(), 5);
    viewer.PrevPage();
    QCOMPARE(viewer.PageNumber(), 4);
    viewer.FirstPage();
    QCOMPARE(viewer.PageNumber(), 1);
    viewer.PrevPage();
    QCOMPARE(viewer.PageNumber(), 1);
    viewer.SetPageNumber(3);
    QCOMPARE(viewer.PageNumber(), 3);
    for (int bad : {0, 6, -1}) {
        QCOMPARE(ErrorOf([&] { viewer.SetPageNumber(bad); }), -1002);
    }
    QCOMPARE(viewer.PageNumber(), 3);
}

// Rotating to 1 and then to 3 turns the page by a further half turn (3 - 1 quarter
// turns), leaving it a quarter turn anticlockwise from the original; a quarter turn swaps
// the page's width and height.
void TQpFaxViewerTest::rotationOneThenThreeIsHalfTurn() {
    TQpFaxViewer viewer;
    viewer.SetFileName(fivePages_);
    const QImage original = viewer.PagePicture(1);
    QVERIFY(!original.isNull());
    const QSize size(viewer.PageWidth(), viewer.PageHeight());

    viewer.SetRotation(1);
    QCOMPARE(QSize(viewer.PageWidth(), viewer.PageHeight()), size.transposed());
    // The page-number squares sit top left; a clockwise quarter turn takes them top right.
    const QImage quarter = viewer.PagePicture(1);
    QCOMPARE(quarter.pixelIndex(quarter.width() - 1 - 30, 30), 0);
    QCOMPARE(quarter.pixelIndex(30, 30), 1);

    viewer.SetRotation(3);
    QCOMPARE(viewer.Rotation(), 3);
    QCOMPARE(QSize(viewer.PageWidth(), viewer.PageHeight()), size.transposed());
    QCOMPARE(viewer.PagePicture(1), FaxPictureOps::RotateHalf(quarter));
    QCOMPARE(viewer.PagePicture(1), FaxPictureOps::RotateAnticlockwise(original));
    QCOMPARE(ErrorOf([&] { viewer.SetRotation(4); }), -1002);

    // Pages decoded later are turned on decoding: the squares end up bottom left.
    viewer.SetRotation(2);
    viewer.NextPage();
    QCOMPARE(viewer.PageWidth(), size.width());
    QCOMPARE(viewer.PagePicture(2).pixelIndex(size.width() - 1 - 30, size.height() - 1 - 30), 0);
    QCOMPARE(viewer.PagePicture(2).pixelIndex(30, 30), 1);
}

// At HorizMult 1 and HorizDiv 2 a 1728-pixel page is shown 864 pixels wide; scale factors
// are ignored while Scaling is off, and setting FileName resets them.
void TQpFaxViewerTest::scaleHalvesTheWidth() {
    TQpFaxViewer viewer;
    viewer.SetFileName(fivePages_);
    QCOMPARE(viewer.PageWidth(), 1728);
    viewer.SetHorizDiv(2);
    QCOMPARE(viewer.PageWidth(), 1728);
    viewer.SetScaling(true);
    QCOMPARE(viewer.PageWidth(), 864);
    QCOMPARE(viewer.PageHeight(), 2200);
    viewer.SetVertMult(3);
    viewer.SetVertDiv(4);
    QCOMPARE(viewer.PageHeight(), 1650);
    viewer.SetHorizDiv(0); // ignored
    QCOMPARE(viewer.HorizDiv(), 2);
    viewer.SetFileName(fivePages_);
    QCOMPARE(viewer.HorizDiv(), 1);
    QCOMPARE(viewer.PageWidth(), 1728);
}

// Standard-resolution pages: half width (864 x 1100) or double height (1728 x 2200).
void TQpFaxViewerTest::halfWidthAspectForStandardPages() {
    TQpFaxViewer viewer;
    viewer.SetFileName(standardPage_);
    QCOMPARE(QSize(viewer.PageWidth(), viewer.PageHeight()), QSize(1728, 2200));
    QCOMPARE(viewer.PageFlags() & 1u, 0u);
    viewer.SetAutoScaleMode(asHalfWidth);
    viewer.SetFileName(standardPage_);
    QCOMPARE(QSize(viewer.PageWidth(), viewer.PageHeight()), QSize(864, 1100));
}

// A click without a drag leaves no mark, so copying fails with -8051.
void TQpFaxViewerTest::clickWithoutDragLeavesNoMark() {
    TQpFaxViewer viewer;
    viewer.resize(600, 400);
    viewer.show();
    viewer.SetFileName(fivePages_);
    QTest::mouseClick(viewer.viewport(), Qt::LeftButton, {}, QPoint(50, 50));
    QVERIFY(!viewer.Marked());
    QCOMPARE(viewer.CopyMark(), -8051);
    QCOMPARE(ErrorOf([&] { viewer.CopyToClipboard(); }), -8051);
}

// Dragging marks a rectangle (in page pixels, scroll offsets included); select all + copy
// puts a picture of the page's size on the clipboard, black where the page is black.
void TQpFaxViewerTest::dragMarksAndSelectAllCopiesPage() {
    TQpFaxViewer viewer;
    viewer.resize(600, 400);
    viewer.show();
    viewer.SetFileName(fivePages_);
    QTest::keyClick(&viewer, Qt::Key_Down);
    QTest::mousePress(viewer.viewport(), Qt::LeftButton, {}, QPoint(100, 50));
    QMouseEvent move(QEvent::MouseMove, QPointF(10, 150),
                     viewer.viewport()->mapToGlobal(QPointF(10, 150)), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(viewer.viewport(), &move);
    QTest::mouseRelease(viewer.viewport(), Qt::LeftButton, {}, QPoint(10, 150));
    QVERIFY(viewer.Marked());
    QCOMPARE(viewer.MarkRect(), QRect(10, 58, 90, 100));
    QCOMPARE(viewer.CopyMark(), 0);
    QCOMPARE(QApplication::clipboard()->image().size(), QSize(90, 100));

    viewer.SelectAll();
    viewer.CopyToClipboard();
    const QImage copied = QApplication::clipboard()->image();
    QCOMPARE(copied.size(), QSize(viewer.PageWidth(), viewer.PageHeight()));
    QCOMPARE(qGray(copied.pixel(0, 0)), 0);       // frame
    QCOMPARE(qGray(copied.pixel(30, 30)), 0);     // page-number square
    QCOMPARE(qGray(copied.pixel(200, 500)), 255); // paper
    // Changing page drops the mark.
    viewer.NextPage();
    QVERIFY(!viewer.Marked());
}

// Without LoadWholeFax, going from page 1 to page 2 frees page 1's picture; with it every
// page stays decoded.
void TQpFaxViewerTest::onlyCurrentPageStaysDecoded() {
    TQpFaxViewer viewer;
    viewer.SetFileName(fivePages_);
    QVERIFY(!viewer.PagePicture(1).isNull());
    QVERIFY(viewer.PagePicture(2).isNull());
    viewer.NextPage();
    QVERIFY(viewer.PagePicture(1).isNull());
    QVERIFY(!viewer.PagePicture(2).isNull());

    viewer.SetLoadWholeFax(true);
    for (int page = 1; page <= 5; ++page) {
        QVERIFY(!viewer.PagePicture(page).isNull());
    }
    viewer.SetPageNumber(4);
    QVERIFY(!viewer.PagePicture(2).isNull());
    // Each page carries its own number of squares.
    QCOMPARE(faxtest::CountBlack(viewer.PagePicture(4), true) -
                 faxtest::CountBlack(viewer.PagePicture(3), true),
             40 * 40);
}

// The page is painted with picture bit 0 in the foreground colour, the mark inverted,
// and the space beside a narrow page in the background colour.
void TQpFaxViewerTest::paintsPageInForegroundColour() {
    TQpFaxViewer viewer;
    viewer.resize(600, 400);
    viewer.show();
    viewer.SetFileName(fivePages_);
    viewer.SetFGColor(QColor(0, 0, 255));
    QImage shot = viewer.viewport()->grab().toImage();
    QCOMPARE(shot.pixel(0, 0), qRgb(0, 0, 255));
    QCOMPARE(shot.pixel(30, 30), qRgb(0, 0, 255));
    QCOMPARE(shot.pixel(300, 300), qRgb(255, 255, 255));

    viewer.MarkRectangle(QRect(290, 290, 20, 20));
    shot = viewer.viewport()->grab().toImage();
    QCOMPARE(shot.pixel(300, 300), qRgb(0, 0, 255));
    QCOMPARE(shot.pixel(280, 280), qRgb(255, 255, 255));

    // At 1/4 the page is 432 x 550 pixels and the first square 10 x 10 at (5, 5); the
    // rest of the client is background.
    viewer.SetScaling(true);
    viewer.SetHorizDiv(4);
    viewer.SetVertDiv(4);
    viewer.SetFGColor(Qt::black);
    viewer.SetBGColor(QColor(255, 255, 0));
    shot = viewer.viewport()->grab().toImage();
    QCOMPARE(viewer.PageWidth(), 432);
    QVERIFY(IsBlackInView(shot, QPoint(10, 10)));
    QVERIFY(!IsBlackInView(shot, QPoint(20, 10)));
    QCOMPARE(shot.pixel(100, 100), qRgb(255, 255, 0));
    QCOMPARE(shot.pixel(500, 100), qRgb(255, 255, 0));
}

// A page that cannot be decoded while paging is reported through OnViewerError, after
// which the viewer shows no file; earlier pages were readable.
void TQpFaxViewerTest::brokenPageReportsViewerError() {
    const QString broken = QString::fromStdString(scratch_->file("BROKEN.APF"));
    QVERIFY(faxtest::WriteFramedFax(broken, 2));
    const auto size = std::filesystem::file_size(broken.toStdString());
    std::filesystem::resize_file(broken.toStdString(), size - 3000);
    TQpFaxViewer viewer;
    QSignalSpy errors(&viewer, &TQpFaxViewer::OnViewerError);
    viewer.SetFileName(broken);
    QCOMPARE(viewer.PageNumber(), 1);
    viewer.NextPage();
    QCOMPARE(errors.count(), 1);
    QCOMPARE(errors.first().first().toInt(), -100);
    QCOMPARE(viewer.PageNumber(), 0);
    QVERIFY(viewer.FileName().isEmpty());
}

// A file dropped on the viewer is loaded and reported through OnDropFile.
void TQpFaxViewerTest::droppedFileIsLoaded() {
    TQpFaxViewer viewer;
    viewer.resize(300, 300);
    viewer.show();
    QSignalSpy drops(&viewer, &TQpFaxViewer::OnDropFile);
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(fivePages_)});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewer.viewport(), &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewer.viewport(), &drop);
    QCOMPARE(drops.count(), 1);
    QCOMPARE(drops.first().first().toString(), fivePages_);
    QCOMPARE(viewer.PageCount(), 5);
}

QTEST_MAIN(TQpFaxViewerTest)
#include "TQpFaxViewerTest.moc"
