#pragma once

#include <memory>
#include <vector>

#include <QAbstractScrollArea>
#include <QColor>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QTimer>

class FaxUnpackerEngine;

// How standard-resolution pages are brought to the proportions of fine ones.
enum TAutoScaleMode { asNone, asDoubleHeight, asHalfWidth };
enum TViewerBorderStyle { bsNone, bsSingle };

// Shows one page of an APF fax file at a time: scrollable, scalable, rotatable in
// quarter turns, with page navigation by keys, a rectangle marked with the mouse (and
// copied to the clipboard) and files dropped from the desktop.
//
// Two layers: the view operations (OpenFile, GoToPage, RotateTo, ...) return 0 or a
// negative error code; the component properties and methods (SetFileName,
// SetPageNumber, SetRotation, ...) raise those codes as exceptions. Without
// LoadWholeFax only the page in view is kept decoded.
class TQpFaxViewer final : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit TQpFaxViewer(QWidget* parent = nullptr);
    ~TQpFaxViewer() override;
    Q_DISABLE_COPY_MOVE(TQpFaxViewer)

    // ---- component properties ----
    TViewerBorderStyle BorderStyle() const { return borderStyle_; }
    void SetBorderStyle(TViewerBorderStyle style);
    QColor FGColor() const { return foreground_; }
    void SetFGColor(const QColor& color);
    QColor BGColor() const { return background_; }
    void SetBGColor(const QColor& color);
    bool Scaling() const { return scaling_; }
    void SetScaling(bool scaling);
    int HorizMult() const { return horizMult_; }
    void SetHorizMult(int value);
    int HorizDiv() const { return horizDiv_; }
    void SetHorizDiv(int value);
    int VertMult() const { return vertMult_; }
    void SetVertMult(int value);
    int VertDiv() const { return vertDiv_; }
    void SetVertDiv(int value);
    TAutoScaleMode AutoScaleMode() const { return autoScaleMode_; }
    void SetAutoScaleMode(TAutoScaleMode mode);
    bool WhitespaceCompression() const { return whitespaceCompression_; }
    void SetWhitespaceCompression(bool on);
    unsigned WhitespaceFrom() const { return whitespaceFrom_; }
    void SetWhitespaceFrom(unsigned lines);
    unsigned WhitespaceTo() const { return whitespaceTo_; }
    void SetWhitespaceTo(unsigned lines);
    int HorizScroll() const { return horizontalStep_; }
    void SetHorizScroll(int pixels) { SetScrollSteps(pixels, 0); }
    int VertScroll() const { return verticalStep_; }
    void SetVertScroll(int pixels) { SetScrollSteps(0, pixels); }
    bool AcceptDragged() const { return acceptDragged_; }
    void SetAcceptDragged(bool accept) { acceptDragged_ = accept; }
    bool LoadWholeFax() const { return loadWholeFax_; }
    void SetLoadWholeFax(bool whole);
    Qt::CursorShape BusyCursor() const { return busyCursor_; }
    void SetBusyCursor(Qt::CursorShape cursor) { busyCursor_ = cursor; }
    const QString& FileName() const { return fileName_; }
    // Loads the file (empty: shows none), then resets rotation and the scale factors.
    void SetFileName(const QString& fileName);

    // ---- component methods (throwing) ----
    int PageCount() const { return static_cast<int>(pages_.size()); }
    int PageNumber() const { return currentPage_; } // 0 when no file is loaded
    void SetPageNumber(int page);
    void FirstPage();
    void LastPage();
    void NextPage();
    void PrevPage();
    int Rotation() const { return rotation_; }
    void SetRotation(int rotation);
    int PageWidth() const { return pageWidth_; } // in view pixels
    int PageHeight() const { return pageHeight_; }
    void SelectAll();
    void CopyToClipboard();
    unsigned PageFlags() const { return pageFlags_; }

    // ---- view operations (0 or an error code) ----
    int OpenFile(const QString& fileName);
    void SetScale(int horizMult, int horizDiv, int vertMult, int vertDiv);
    void SetScrollSteps(int horizontal, int vertical); // 0 keeps a step
    int MarkWholePage();
    int MarkRectangle(const QRect& rect);
    int CopyMark();
    void SetWhitespace(unsigned from, unsigned to);
    QImage PagePicture(int page) const; // null until decoded
    void BeginUpdate();
    void EndUpdate();
    int GoToPage(int page);
    void SetDesignMode(const QString& text);
    int RotateTo(int rotation);
    void SetAspectMode(int mode); // 0, 2 or 4
    QRect PageDimensions() const;
    int ChangeLoadWholeFax(bool whole);

    // The marked rectangle in view pixels (right and bottom exclusive), if any.
    bool Marked() const { return marked_; }
    QRect MarkRect() const;
    QPoint ScrollPosition() const;

signals:
    void OnPageChange();
    void OnViewerError(int errorCode);
    void OnDropFile(const QString& fileName);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    struct PageEntry {
        bool decoded = false;
        QImage picture; // 1 = white; null for an empty page
    };

    void ForgetFile();
    void FreePictures();
    int DecodePage(int index);
    int RotatePicture(QImage& picture, int quarterTurns) const;
    void ShowPage();
    void UpdateScrollBars();
    void ScrollTo(int horizontal, int vertical);
    void ScrollBy(int dx, int dy) {
        ScrollTo(ScrollPosition().x() + dx, ScrollPosition().y() + dy);
    }
    void ApplyComponentScale();
    void PaintPage(QPainter& painter, const QRect& region);
    void ClearMark();
    void MoveFollowingCorner(QPoint viewportPoint);
    void AutoScrollStep();
    bool HandleNavigationKey(int key, bool control);

    std::vector<PageEntry> pages_;
    QString fileName_;
    // Decodes the pages of the open file; keeps the file's page headers between pages.
    std::unique_ptr<FaxUnpackerEngine> decoder_;
    int currentPage_ = 0;
    unsigned pageFlags_ = 0;
    bool loadWholeFax_ = false;
    Qt::CursorShape busyCursor_ = Qt::ArrowCursor;
    QColor foreground_ = Qt::black;
    QColor background_ = Qt::white;
    int pageWidth_ = 0;
    int pageHeight_ = 0;
    int verticalStep_ = 8;
    int horizontalStep_ = 8;
    int viewHorizMult_ = 1;
    int viewHorizDiv_ = 1;
    int viewVertMult_ = 1;
    int viewVertDiv_ = 1;
    int rotation_ = 0;
    int aspectMode_ = 2;
    unsigned viewWhitespaceFrom_ = 0;
    unsigned viewWhitespaceTo_ = 0;
    bool marked_ = false;
    bool marking_ = false;
    QPoint markAnchor_;
    QPoint markFollow_;
    QTimer autoScrollTimer_;
    QPoint lastMousePoint_;
    bool inUpdate_ = false;
    bool showingPage_ = false;
    bool designMode_ = false;
    QString designText_;

    TViewerBorderStyle borderStyle_ = bsSingle;
    bool scaling_ = false;
    int horizMult_ = 1;
    int horizDiv_ = 1;
    int vertMult_ = 1;
    int vertDiv_ = 1;
    TAutoScaleMode autoScaleMode_ = asDoubleHeight;
    bool whitespaceCompression_ = false;
    unsigned whitespaceFrom_ = 0;
    unsigned whitespaceTo_ = 0;
    bool acceptDragged_ = true;
};
