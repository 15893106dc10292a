#include "faximage/viewer/TQpFaxViewer.h"

#include "faximage/core/FaxUnpackerEngine.h"
#include "faximage/viewer/FaxPageDecoder.h"
#include "faximage/viewer/FaxPictureOps.h"

#include "common/EQPException.h"

#include <algorithm>
#include <cstdint>

#include <QApplication>
#include <QClipboard>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

namespace {

constexpr int NoImageLoaded = -8050;
constexpr int NothingMarked = -8051;
constexpr int BadArgument = -1002;
constexpr int OutOfMemory = -8;
constexpr int AutoScrollInterval = 50; // ms
constexpr int FarOutside = 20;         // pixels: auto-scroll doubles its step beyond this

int MulDiv(int value, int multiplier, int divisor) {
    return static_cast<int>(static_cast<std::int64_t>(value) * multiplier / divisor);
}

// Shows the busy cursor while it lives.
class BusyCursorGuard {
public:
    explicit BusyCursorGuard(Qt::CursorShape shape) { QApplication::setOverrideCursor(shape); }
    ~BusyCursorGuard() { QApplication::restoreOverrideCursor(); }
    BusyCursorGuard(const BusyCursorGuard&) = delete;
    BusyCursorGuard& operator=(const BusyCursorGuard&) = delete;
};

} // namespace

TQpFaxViewer::TQpFaxViewer(QWidget* parent) : QAbstractScrollArea(parent) {
    setObjectName(QStringLiteral("QpFaxViewer"));
    setFocusPolicy(Qt::StrongFocus);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    viewport()->setAutoFillBackground(false);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    SetBorderStyle(bsSingle);
    autoScrollTimer_.setInterval(AutoScrollInterval);
    connect(&autoScrollTimer_, &QTimer::timeout, this, &TQpFaxViewer::AutoScrollStep);
    SetScrollSteps(horizontalStep_, verticalStep_);
}

TQpFaxViewer::~TQpFaxViewer() = default;

// ---------------------------------------------------------------- component properties

void TQpFaxViewer::SetBorderStyle(TViewerBorderStyle style) {
    borderStyle_ = style;
    setFrameStyle(style == bsSingle ? (QFrame::Box | QFrame::Plain) : QFrame::NoFrame);
}

void TQpFaxViewer::SetFGColor(const QColor& color) {
    foreground_ = color;
    viewport()->update();
}

void TQpFaxViewer::SetBGColor(const QColor& color) {
    background_ = color;
    viewport()->update();
}

void TQpFaxViewer::ApplyComponentScale() {
    if (scaling_) {
        SetScale(horizMult_, horizDiv_, vertMult_, vertDiv_);
    } else {
        SetScale(1, 1, 1, 1);
    }
}

void TQpFaxViewer::SetScaling(bool scaling) {
    scaling_ = scaling;
    ApplyComponentScale();
}

void TQpFaxViewer::SetHorizMult(int value) {
    if (value == 0) {
        return;
    }
    horizMult_ = value;
    if (scaling_) {
        ApplyComponentScale();
    }
}

void TQpFaxViewer::SetHorizDiv(int value) {
    if (value == 0) {
        return;
    }
    horizDiv_ = value;
    if (scaling_) {
        ApplyComponentScale();
    }
}

void TQpFaxViewer::SetVertMult(int value) {
    if (value == 0) {
        return;
    }
    vertMult_ = value;
    if (scaling_) {
        ApplyComponentScale();
    }
}

void TQpFaxViewer::SetVertDiv(int value) {
    if (value == 0) {
        return;
    }
    vertDiv_ = value;
    if (scaling_) {
        ApplyComponentScale();
    }
}

void TQpFaxViewer::SetAutoScaleMode(TAutoScaleMode mode) {
    autoScaleMode_ = mode;
    SetAspectMode(mode == asDoubleHeight ? FaxPageDecoder::AspectDoubleHeight
                  : mode == asHalfWidth  ? FaxPageDecoder::AspectHalfWidth
                                         : FaxPageDecoder::AspectNone);
}

void TQpFaxViewer::SetWhitespaceCompression(bool on) {
    whitespaceCompression_ = on;
    SetWhitespace(on ? whitespaceFrom_ : 0, on ? whitespaceTo_ : 0);
}

void TQpFaxViewer::SetWhitespaceFrom(unsigned lines) {
    whitespaceFrom_ = lines;
    SetWhitespaceCompression(whitespaceCompression_);
}

void TQpFaxViewer::SetWhitespaceTo(unsigned lines) {
    whitespaceTo_ = lines;
    SetWhitespaceCompression(whitespaceCompression_);
}

void TQpFaxViewer::SetLoadWholeFax(bool whole) {
    FaxPageDecoder::RaiseOnError(ChangeLoadWholeFax(whole));
}

void TQpFaxViewer::SetFileName(const QString& fileName) {
    const int result = OpenFile(fileName);
    rotation_ = 0;
    horizMult_ = horizDiv_ = vertMult_ = vertDiv_ = 1;
    FaxPageDecoder::RaiseOnError(result);
}

// ---------------------------------------------------------------- component methods

void TQpFaxViewer::SetPageNumber(int page) {
    FaxPageDecoder::RaiseOnError(GoToPage(page));
}

void TQpFaxViewer::FirstPage() {
    HandleNavigationKey(Qt::Key_Home, true);
}

void TQpFaxViewer::LastPage() {
    HandleNavigationKey(Qt::Key_End, true);
}

void TQpFaxViewer::NextPage() {
    HandleNavigationKey(Qt::Key_PageDown, false);
}

void TQpFaxViewer::PrevPage() {
    HandleNavigationKey(Qt::Key_PageUp, false);
}

void TQpFaxViewer::SetRotation(int rotation) {
    FaxPageDecoder::RaiseOnError(RotateTo(rotation));
}

void TQpFaxViewer::SelectAll() {
    FaxPageDecoder::RaiseOnError(MarkWholePage());
}

void TQpFaxViewer::CopyToClipboard() {
    FaxPageDecoder::RaiseOnError(CopyMark());
}

// ---------------------------------------------------------------- view operations

void TQpFaxViewer::FreePictures() {
    for (PageEntry& entry : pages_) {
        entry = PageEntry{};
    }
}

void TQpFaxViewer::ForgetFile() {
    pages_.clear();
    fileName_.clear();
    decoder_.reset();
    currentPage_ = 0;
    pageWidth_ = pageHeight_ = 0;
    marked_ = marking_ = false;
    autoScrollTimer_.stop();
    UpdateScrollBars();
    viewport()->update();
}

int TQpFaxViewer::DecodePage(int index) {
    FaxPageDecoder::Options options;
    options.aspect = aspectMode_;
    options.whitespaceFrom = viewWhitespaceFrom_;
    options.whitespaceTo = viewWhitespaceTo_;
    options.invert = true;
    QImage picture;
    unsigned flags = 0;
    int result = 0;
    {
        BusyCursorGuard busy(busyCursor_);
        if (!decoder_) {
            decoder_ = std::make_unique<FaxUnpackerEngine>();
        }
        result =
            FaxPageDecoder::DecodePicture(*decoder_, fileName_, index + 1, options, picture, flags);
    }
    if (result != 0) {
        return result;
    }
    pageFlags_ = flags;
    if (rotation_ != 0 && !picture.isNull()) {
        const int rotated = RotatePicture(picture, rotation_);
        if (rotated != 0) {
            return rotated;
        }
    }
    pages_[index].picture = picture;
    pages_[index].decoded = true;
    return 0;
}

int TQpFaxViewer::RotatePicture(QImage& picture, int quarterTurns) const {
    if (picture.isNull()) {
        return 0;
    }
    QImage rotated = FaxPictureOps::Rotate(picture, quarterTurns);
    if (rotated.isNull()) {
        return OutOfMemory;
    }
    picture = rotated;
    return 0;
}

int TQpFaxViewer::OpenFile(const QString& fileName) {
    if (fileName.isEmpty()) {
        ForgetFile();
        return 0;
    }
    if (!QFileInfo::exists(fileName)) {
        return -2;
    }
    int count = 0;
    const int counted = FaxPageDecoder::ReadPageCount(fileName, count);
    if (counted != 0) {
        return counted;
    }
    ForgetFile();
    fileName_ = fileName;
    try {
        pages_.resize(static_cast<std::size_t>(count));
    } catch (const std::bad_alloc&) {
        ForgetFile();
        return OutOfMemory;
    }
    rotation_ = 0;
    const int toDecode = loadWholeFax_ ? count : std::min(count, 1);
    if (toDecode == 0) {
        ForgetFile();
        return -8001; // no page 1
    }
    for (int index = 0; index < toDecode; ++index) {
        const int decoded = DecodePage(index);
        if (decoded != 0) {
            ForgetFile();
            return decoded;
        }
    }
    currentPage_ = 1;
    viewHorizMult_ = viewHorizDiv_ = viewVertMult_ = viewVertDiv_ = 1;
    ShowPage();
    return 0;
}

void TQpFaxViewer::SetScale(int horizMult, int horizDiv, int vertMult, int vertDiv) {
    if (horizMult <= 0 || horizDiv <= 0 || horizMult == horizDiv) {
        horizMult = horizDiv = 1;
    }
    if (vertMult <= 0 || vertDiv <= 0 || vertMult == vertDiv) {
        vertMult = vertDiv = 1;
    }
    const bool changed = horizMult != viewHorizMult_ || horizDiv != viewHorizDiv_ ||
                         vertMult != viewVertMult_ || vertDiv != viewVertDiv_;
    viewHorizMult_ = horizMult;
    viewHorizDiv_ = horizDiv;
    viewVertMult_ = vertMult;
    viewVertDiv_ = vertDiv;
    if (changed && !inUpdate_ && currentPage_ > 0) {
        ShowPage();
    }
}

void TQpFaxViewer::SetScrollSteps(int horizontal, int vertical) {
    if (horizontal > 0) {
        horizontalStep_ = horizontal;
    }
    if (vertical > 0) {
        verticalStep_ = vertical;
    }
    horizontalScrollBar()->setSingleStep(horizontalStep_);
    verticalScrollBar()->setSingleStep(verticalStep_);
    UpdateScrollBars();
}

int TQpFaxViewer::MarkWholePage() {
    if (currentPage_ == 0) {
        return NoImageLoaded;
    }
    return MarkRectangle(QRect(0, 0, pageWidth_, pageHeight_));
}

int TQpFaxViewer::MarkRectangle(const QRect& rect) {
    if (currentPage_ == 0) {
        return NoImageLoaded;
    }
    const QRect clamped = rect.normalized().intersected(QRect(0, 0, pageWidth_, pageHeight_));
    markAnchor_ = clamped.topLeft();
    markFollow_ = clamped.topLeft() + QPoint(clamped.width(), clamped.height());
    marked_ = !clamped.isEmpty();
    viewport()->update();
    return 0;
}

QRect TQpFaxViewer::MarkRect() const {
    if (!marked_) {
        return {};
    }
    const int left = std::min(markAnchor_.x(), markFollow_.x());
    const int top = std::min(markAnchor_.y(), markFollow_.y());
    return QRect(left, top, std::abs(markFollow_.x() - markAnchor_.x()),
                 std::abs(markFollow_.y() - markAnchor_.y()));
}

int TQpFaxViewer::CopyMark() {
    if (currentPage_ == 0) {
        return NoImageLoaded;
    }
    const QRect mark = MarkRect();
    if (!marked_ || mark.isEmpty()) {
        return NothingMarked;
    }
    const QImage& picture = pages_[currentPage_ - 1].picture;
    QImage copy(mark.size(), QImage::Format_Mono);
    if (copy.isNull()) {
        return OutOfMemory;
    }
    copy.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    copy.fill(1);
    if (!picture.isNull()) {
        // The mark is in view pixels; take the matching part of the page picture.
        const QRect source(MulDiv(mark.left(), viewHorizDiv_, viewHorizMult_),
                           MulDiv(mark.top(), viewVertDiv_, viewVertMult_),
                           std::max(1, MulDiv(mark.width(), viewHorizDiv_, viewHorizMult_)),
                           std::max(1, MulDiv(mark.height(), viewVertDiv_, viewVertMult_)));
        QImage part = picture.copy(source);
        if (part.size() != mark.size()) {
            part = part.scaled(mark.size(), Qt::IgnoreAspectRatio, Qt::FastTransformation);
        }
        part = part.convertToFormat(QImage::Format_Mono);
        part.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
        copy = part;
    }
    QApplication::clipboard()->setImage(copy);
    return 0;
}

void TQpFaxViewer::SetWhitespace(unsigned from, unsigned to) {
    viewWhitespaceFrom_ = from;
    viewWhitespaceTo_ = to;
}

QImage TQpFaxViewer::PagePicture(int page) const {
    if (page < 1 || page > PageCount()) {
        return {};
    }
    return pages_[page - 1].picture;
}

void TQpFaxViewer::BeginUpdate() {
    inUpdate_ = true;
}

void TQpFaxViewer::EndUpdate() {
    inUpdate_ = false;
    if (currentPage_ > 0) {
        ShowPage();
    }
}

int TQpFaxViewer::GoToPage(int page) {
    if (currentPage_ == 0 || page < 1 || page > PageCount()) {
        return BadArgument;
    }
    currentPage_ = page;
    ShowPage();
    return 0;
}

void TQpFaxViewer::SetDesignMode(const QString& text) {
    designMode_ = true;
    designText_ = text;
    viewport()->update();
}

int TQpFaxViewer::RotateTo(int rotation) {
    if (rotation < 0 || rotation > 3) {
        return BadArgument;
    }
    if (rotation == rotation_) {
        return 0;
    }
    const int turns = ((rotation - rotation_) % 4 + 4) % 4;
    for (int index = 0; index < PageCount(); ++index) {
        const bool wanted = loadWholeFax_ || index + 1 == currentPage_;
        if (wanted && pages_[index].decoded) {
            const int result = RotatePicture(pages_[index].picture, turns);
            if (result != 0) {
                return result;
            }
        }
    }
    rotation_ = rotation;
    if (currentPage_ > 0) {
        ShowPage();
    }
    return 0;
}

void TQpFaxViewer::SetAspectMode(int mode) {
    aspectMode_ = mode;
}

QRect TQpFaxViewer::PageDimensions() const {
    return QRect(0, 0, pageWidth_, pageHeight_);
}

int TQpFaxViewer::ChangeLoadWholeFax(bool whole) {
    loadWholeFax_ = whole;
    if (!whole || currentPage_ == 0) {
        return 0;
    }
    for (int index = 0; index < PageCount(); ++index) {
        if (!pages_[index].decoded) {
            const int result = DecodePage(index);
            if (result != 0) {
                return result;
            }
        }
    }
    return 0;
}

QPoint TQpFaxViewer::ScrollPosition() const {
    return {horizontalScrollBar()->value(), verticalScrollBar()->value()};
}

// ---------------------------------------------------------------- showing a page

void TQpFaxViewer::ShowPage() {
    if (showingPage_ || currentPage_ < 1 || currentPage_ > PageCount()) {
        return;
    }
    showingPage_ = true;
    const int index = currentPage_ - 1;
    if (!loadWholeFax_ && !pages_[index].decoded) {
        FreePictures();
        const int result = DecodePage(index);
        if (result != 0) {
            showingPage_ = false;
            ForgetFile();
            emit OnViewerError(result);
            return;
        }
    }
    const QImage& picture = pages_[index].picture;
    pageWidth_ = MulDiv(picture.width(), viewHorizMult_, viewHorizDiv_);
    pageHeight_ = MulDiv(picture.height(), viewVertMult_, viewVertDiv_);
    marked_ = marking_ = false;
    autoScrollTimer_.stop();
    if (viewport()->mouseGrabber() == viewport()) {
        viewport()->releaseMouse();
    }
    UpdateScrollBars();
    horizontalScrollBar()->setValue(0);
    verticalScrollBar()->setValue(0);
    viewport()->update();
    showingPage_ = false;
    emit OnPageChange();
}

void TQpFaxViewer::UpdateScrollBars() {
    const QSize client = viewport()->size();
    QScrollBar* horizontal = horizontalScrollBar();
    QScrollBar* vertical = verticalScrollBar();
    horizontal->setRange(0, std::max(0, pageWidth_ - client.width()));
    horizontal->setPageStep(10 * horizontalStep_);
    vertical->setRange(0, std::max(0, pageHeight_ - client.height()));
    vertical->setPageStep(10 * verticalStep_);
}

void TQpFaxViewer::ScrollTo(int horizontal, int vertical) {
    horizontalScrollBar()->setValue(horizontal);
    verticalScrollBar()->setValue(vertical);
}

void TQpFaxViewer::scrollContentsBy(int dx, int dy) {
    if (std::abs(dx) >= viewport()->width() || std::abs(dy) >= viewport()->height()) {
        viewport()->update();
    } else {
        viewport()->scroll(dx, dy);
    }
}

void TQpFaxViewer::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBars();
}

// ---------------------------------------------------------------- painting

void TQpFaxViewer::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    const QRect region = event->rect();
    painter.fillRect(region, background_);
    if (designMode_) {
        painter.setPen(foreground_);
        painter.drawText(QPoint(3, 3 + painter.fontMetrics().ascent()), designText_);
        return;
    }
    if (currentPage_ == 0) {
        return;
    }
    PaintPage(painter, region);
}

// Draws the part of the page inside `region` (viewport pixels). The visible part of the
// picture is taken out, stretched to the view scale, the mark inverted in it, and drawn
// with picture bit 0 in the foreground and bit 1 in the background colour.
void TQpFaxViewer::PaintPage(QPainter& painter, const QRect& region) {
    const QImage& picture = pages_[currentPage_ - 1].picture;
    if (picture.isNull()) {
        return;
    }
    const QPoint scroll = ScrollPosition();
    const QRect pageInView(-scroll.x(), -scroll.y(), pageWidth_, pageHeight_);
    const QRect target = region.intersected(pageInView);
    if (target.isEmpty()) {
        return;
    }
    const QRect inPage = target.translated(scroll); // view pixels of the page
    const int sourceLeft = MulDiv(inPage.left(), viewHorizDiv_, viewHorizMult_);
    const int sourceTop = MulDiv(inPage.top(), viewVertDiv_, viewVertMult_);
    const int sourceRight = MulDiv(inPage.left() + inPage.width(), viewHorizDiv_, viewHorizMult_);
    const int sourceBottom = MulDiv(inPage.top() + inPage.height(), viewVertDiv_, viewVertMult_);
    const QRect source(sourceLeft, sourceTop, std::max(1, sourceRight - sourceLeft),
                       std::max(1, sourceBottom - sourceTop));
    QImage part = picture.copy(source);
    if (part.size() != target.size()) {
        part = part.scaled(target.size(), Qt::IgnoreAspectRatio, Qt::FastTransformation);
    }
    if (part.format() != QImage::Format_Mono) {
        part = part.convertToFormat(QImage::Format_Mono);
    }
    if (marked_) {
        FaxPictureOps::InvertRect(part, MarkRect().translated(-inPage.topLeft()));
    }
    part.setColorTable({foreground_.rgb(), background_.rgb()});
    painter.drawImage(target.topLeft(), part);
}

// ---------------------------------------------------------------- keyboard

bool TQpFaxViewer::HandleNavigationKey(int key, bool control) {
    QScrollBar* horizontal = horizontalScrollBar();
    QScrollBar* vertical = verticalScrollBar();
    const int steps = control ? 10 : 1;
    switch (key) {
    case Qt::Key_PageUp:
        if (control) {
            vertical->setValue(0);
        } else if (currentPage_ > 1) {
            GoToPage(currentPage_ - 1);
        }
        return true;
    case Qt::Key_PageDown:
        if (control) {
            vertical->setValue(vertical->maximum());
        } else if (currentPage_ > 0 && currentPage_ < PageCount()) {
            GoToPage(currentPage_ + 1);
        }
        return true;
    case Qt::Key_Home:
        if (!control) {
            horizontal->setValue(0);
        } else if (currentPage_ > 1) {
            GoToPage(1);
        } else {
            ScrollTo(0, 0);
        }
        return true;
    case Qt::Key_End:
        if (!control) {
            horizontal->setValue(horizontal->maximum());
        } else if (currentPage_ > 0 && currentPage_ < PageCount()) {
            GoToPage(PageCount());
        } else {
            ScrollTo(0, 0);
        }
        return true;
    case Qt::Key_Left:
        ScrollBy(-steps * horizontalStep_, 0);
        return true;
    case Qt::Key_Right:
        ScrollBy(steps * horizontalStep_, 0);
        return true;
    case Qt::Key_Up:
        ScrollBy(0, -steps * verticalStep_);
        return true;
    case Qt::Key_Down:
        ScrollBy(0, steps * verticalStep_);
        return true;
    default:
        return false;
    }
}

void TQpFaxViewer::keyPressEvent(QKeyEvent* event) {
    if (marking_) {
        event->accept();
        return;
    }
    if (!HandleNavigationKey(event->key(), event->modifiers() & Qt::ControlModifier)) {
        QAbstractScrollArea::keyPressEvent(event);
    }
}

// ---------------------------------------------------------------- mouse marking

void TQpFaxViewer::ClearMark() {
    if (marked_) {
        marked_ = false;
        viewport()->update();
    }
}

void TQpFaxViewer::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || currentPage_ == 0) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    ClearMark();
    const QPoint start = event->position().toPoint() + ScrollPosition();
    markAnchor_ = markFollow_ =
        QPoint(std::clamp(start.x(), 0, pageWidth_), std::clamp(start.y(), 0, pageHeight_));
    marked_ = true;
    marking_ = true;
    viewport()->grabMouse();
}

void TQpFaxViewer::MoveFollowingCorner(QPoint viewportPoint) {
    const QRect client = viewport()->rect();
    viewportPoint.setX(std::clamp(viewportPoint.x(), client.left(), client.right()));
    viewportPoint.setY(std::clamp(viewportPoint.y(), client.top(), client.bottom()));
    const QPoint inPage = viewportPoint + ScrollPosition();
    markFollow_ =
        QPoint(std::clamp(inPage.x(), 0, pageWidth_), std::clamp(inPage.y(), 0, pageHeight_));
    viewport()->update();
}

void TQpFaxViewer::mouseMoveEvent(QMouseEvent* event) {
    if (!marking_) {
        QAbstractScrollArea::mouseMoveEvent(event);
        return;
    }
    lastMousePoint_ = event->position().toPoint();
    if (viewport()->rect().contains(lastMousePoint_)) {
        autoScrollTimer_.stop();
        MoveFollowingCorner(lastMousePoint_);
    } else if (!autoScrollTimer_.isActive()) {
        autoScrollTimer_.start();
    }
}

// While the pointer is outside the viewport during marking: scrolls towards it, one step
// or two when it is far outside, and drags the mark's corner along.
void TQpFaxViewer::AutoScrollStep() {
    const QRect client = viewport()->rect();
    const QPoint point = lastMousePoint_;
    if (client.contains(point) || !marking_) {
        autoScrollTimer_.stop();
        return;
    }
    auto stepsFor = [](int distance) { return distance > FarOutside ? 2 : 1; };
    int dx = 0;
    int dy = 0;
    if (point.x() < client.left()) {
        dx = -stepsFor(client.left() - point.x()) * horizontalStep_;
    } else if (point.x() > client.right()) {
        dx = stepsFor(point.x() - client.right()) * horizontalStep_;
    }
    if (point.y() < client.top()) {
        dy = -stepsFor(client.top() - point.y()) * verticalStep_;
    } else if (point.y() > client.bottom()) {
        dy = stepsFor(point.y() - client.bottom()) * verticalStep_;
    }
    ScrollBy(dx, dy);
    MoveFollowingCorner(point);
}

void TQpFaxViewer::mouseReleaseEvent(QMouseEvent* event) {
    if (!marking_ || event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mouseReleaseEvent(event);
        return;
    }
    marking_ = false;
    autoScrollTimer_.stop();
    viewport()->releaseMouse();
    if (MarkRect().isEmpty()) {
        ClearMark();
    }
}

// ---------------------------------------------------------------- dropped files

void TQpFaxViewer::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls() && event->mimeData()->urls().first().isLocalFile()) {
        event->acceptProposedAction();
    }
}

void TQpFaxViewer::dropEvent(QDropEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.isEmpty() || !urls.first().isLocalFile()) {
        return;
    }
    event->acceptProposedAction();
    const QString dropped = urls.first().toLocalFile();
    const int result = OpenFile(dropped);
    rotation_ = 0;
    horizMult_ = horizDiv_ = vertMult_ = vertDiv_ = 1;
    if (result != 0) {
        emit OnViewerError(result);
        return;
    }
    emit OnDropFile(fileName_);
}
