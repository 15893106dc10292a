#pragma once

#include "richtext/core/TRtfDocument.h"

#include <QImage>
#include <QObject>
#include <QTextCharFormat>
#include <QTextObjectInterface>

class QTextDocument;

// A picture in the text: its format carries the picture's data and sizes (so copies of the
// text carry the picture with them); it is laid out at its shown size in twips and drawn
// from its data. Pictures the program cannot draw (metafiles, device bitmaps) are shown
// as a framed box of their size, so the page shows where they are.
class TPictureObject final : public QObject, public QTextObjectInterface {
    Q_OBJECT
    Q_INTERFACES(QTextObjectInterface)

public:
    // Registers one picture handler with the document's layout.
    static void RegisterWith(QTextDocument* document);

    // The character format of a picture, and the picture of such a format.
    static QTextCharFormat Format(const TRtfPicture& picture, const QTextCharFormat& base);
    static TRtfPicture Picture(const QTextFormat& format);
    // A PNG picture of an image, shown `widthTwips` x `heightTwips` (0: from its pixels).
    static TRtfPicture FromImage(const QImage& image, int widthTwips = 0, int heightTwips = 0);
    // The image of a picture, or a null image when the program cannot draw its kind.
    static QImage Image(const TRtfPicture& picture);

    QSizeF intrinsicSize(QTextDocument* document, int position, const QTextFormat& format) override;
    void drawObject(QPainter* painter, const QRectF& rect, QTextDocument* document, int position,
                    const QTextFormat& format) override;

private:
    explicit TPictureObject(QObject* parent) : QObject(parent) {}
    QImage CachedImage(const QTextFormat& format);

    QByteArray cachedData_;
    QImage cachedImage_;
};
