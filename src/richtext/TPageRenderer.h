#pragma once

#include <QImage>
#include <QRect>

#include <memory>

class QPainter;
class QTextDocument;

// Lays a copy of a document out for pages and paints them page by page. The copy is laid
// out once, at the resolution and text width the editor shows the text with at 100 %, so
// that lines break after the same words as on the screen; pages are painted scaled to
// their own resolution. Each page takes the whole lines that fit below its start, stops
// before a paragraph that begins a new page, and splits long paragraphs between lines.
class TPageRenderer final {
public:
    // Rendering option: a fax page, black on white without screen-only decorations
    // (insert point markers not drawn, every colour black, hidden text left out).
    static constexpr int roFaxPage = 32;

    // `layoutDpi`: the resolution the text is laid out with; `pageDpi`: the resolution
    // of the pages painted; `textWidth`: the width lines break at, in layout pixels.
    TPageRenderer(const QTextDocument& source, int layoutDpi, qreal pageDpi, qreal textWidth,
                  int options);
    ~TPageRenderer();
    TPageRenderer(const TPageRenderer&) = delete;
    TPageRenderer& operator=(const TPageRenderer&) = delete;

    // Paints the page that starts at text position `start` into `rect` of `canvas` and
    // returns where the next page starts, or 0 when the text is finished.
    int RenderPage(QPainter& canvas, int start, const QRect& rect);

    // Where the page that starts at `start` ends, for a page `height` layout pixels high
    // (0 when it is the last page); `usedHeight` receives the height it fills.
    int PageEnd(int start, qreal height, qreal* usedHeight = nullptr) const;

    const QTextDocument& Document() const { return *document_; }
    // Page pixels per layout pixel.
    qreal Scale() const { return scale_; }

private:
    void PrepareForFax();
    void CopyPictures(const QTextDocument& source);
    qreal LineTop(int position) const;

    std::unique_ptr<QTextDocument> document_;
    QImage device_; // gives the layout its dots per inch
    qreal scale_ = 1;
};
