#include "faximage/viewer/FaxPictureOps.h"

#include <cstring>

namespace FaxPictureOps {

namespace {

bool PixelSet(const uchar* row, int x) {
    return row[x >> 3] & (0x80 >> (x & 7));
}

void SetPixel(uchar* row, int x) {
    row[x >> 3] |= static_cast<uchar>(0x80 >> (x & 7));
}

// An empty picture of the given size with the colours of `source`.
QImage BlankLike(const QImage& source, int width, int height) {
    QImage result(width, height, QImage::Format_Mono);
    if (result.isNull()) {
        return result;
    }
    result.setColorTable(source.colorTable());
    std::memset(result.bits(), 0, static_cast<std::size_t>(result.sizeInBytes()));
    return result;
}

// A picture of `width` x `height` in which every set pixel (x, y) of `picture` is set at
// the place `place(x, y)` gives.
template <typename Place>
QImage MovePixels(const QImage& picture, int width, int height, Place place) {
    QImage result = BlankLike(picture, width, height);
    if (result.isNull()) {
        return result;
    }
    for (int y = 0; y < picture.height(); ++y) {
        const uchar* source = picture.constScanLine(y);
        for (int x = 0; x < picture.width(); ++x) {
            if (PixelSet(source, x)) {
                const QPoint target = place(x, y);
                SetPixel(result.scanLine(target.y()), target.x());
            }
        }
    }
    return result;
}

} // namespace

QImage RotateClockwise(const QImage& picture) {
    const int height = picture.height();
    return MovePixels(picture, height, picture.width(),
                      [height](int x, int y) { return QPoint(height - 1 - y, x); });
}

QImage RotateAnticlockwise(const QImage& picture) {
    const int width = picture.width();
    return MovePixels(picture, picture.height(), width,
                      [width](int x, int y) { return QPoint(y, width - 1 - x); });
}

QImage RotateHalf(const QImage& picture) {
    const int width = picture.width();
    const int height = picture.height();
    return MovePixels(picture, width, height, [width, height](int x, int y) {
        return QPoint(width - 1 - x, height - 1 - y);
    });
}

QImage Rotate(const QImage& picture, int quarterTurns) {
    switch (((quarterTurns % 4) + 4) % 4) {
    case 1:
        return RotateClockwise(picture);
    case 2:
        return RotateHalf(picture);
    case 3:
        return RotateAnticlockwise(picture);
    default:
        return picture;
    }
}

void InvertRect(QImage& picture, const QRect& rect) {
    const QRect clipped = rect.intersected(picture.rect());
    for (int y = clipped.top(); y <= clipped.bottom(); ++y) {
        uchar* row = picture.scanLine(y);
        for (int x = clipped.left(); x <= clipped.right(); ++x) {
            row[x >> 3] ^= static_cast<uchar>(0x80 >> (x & 7));
        }
    }
}

QImage BlackOnWhiteBitmap(const QImage& picture) {
    if (picture.isNull()) {
        return picture;
    }
    QImage mono = picture.format() == QImage::Format_Mono
                      ? picture
                      : picture.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither);
    if (mono.isNull() || mono.colorCount() != 2) {
        return QImage();
    }
    const bool blackFirst = qGray(mono.color(0)) < qGray(mono.color(1));
    if (!blackFirst) {
        // Same pixels, other index: flip every bit (padding bits included, never shown).
        const auto bytes = static_cast<std::size_t>(mono.bytesPerLine());
        for (int y = 0; y < mono.height(); ++y) {
            uchar* row = mono.scanLine(y);
            for (std::size_t index = 0; index < bytes; ++index) {
                row[index] = static_cast<uchar>(~row[index]);
            }
        }
    }
    mono.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    return mono;
}

} // namespace FaxPictureOps
