#pragma once

#include <QImage>
#include <QRect>

#include <memory>

class QPainter;
class QTextDocument;

// Lays a copy of a document out for pages and paints them page by page. The copy is
// laid out once at the given dots per inch and text width; each page takes the whole
// lines that fit below its start, stops before a paragraph that begins a new page, and
// splits long paragraphs between lines.
class TPageRenderer final {
public:
    // Rendering option: a fax page, black on white without screen-only decorations
    // (insert point markers not drawn, every colour black, hidden text left out).
    static constexpr int roFaxPage = 32;

    TPageRenderer(const QTextDocument& source, qreal dotsPerInch, int textWidth, int options);
    ~TPageRenderer();
    TPageRenderer(const TPageRenderer&) = delete;
    TPageRenderer& operator=(const TPageRenderer&) = delete;

    // Paints the page that starts at text position `start` into `rect` of `canvas` and
    // returns where the next page starts, or 0 when the text is finished.
    int RenderPage(QPainter& canvas, int start, const QRect& rect);

    // Where the page that starts at `start` ends, for a page `height` pixels high
    // (0 when it is the last page); `usedHeight` receives the height it fills.
    int PageEnd(int start, int height, qreal* usedHeight = nullptr) const;

    const QTextDocument& Document() const { return *document_; }

private:
    void PrepareForFax();
    qreal LineTop(int position) const;

    std::unique_ptr<QTextDocument> document_;
    QImage device_; // gives the layout its dots per inch
};
