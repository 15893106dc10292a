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

} // namespace

QImage RotateClockwise(const QImage& picture) {
    const int width = picture.width();
    const int height = picture.height();
    QImage result = BlankLike(picture, height, width);
    if (result.isNull()) {
        return result;
    }
    for (int y = 0; y < height; ++y) {
        const uchar* source = picture.constScanLine(y);
        const int targetX = height - 1 - y;
        for (int x = 0; x < width; ++x) {
            if (PixelSet(source, x)) {
                SetPixel(result.scanLine(x), targetX);
            }
        }
    }
    return result;
}

QImage RotateAnticlockwise(const QImage& picture) {
    const int width = picture.width();
    const int height = picture.height();
    QImage result = BlankLike(picture, height, width);
    if (result.isNull()) {
        return result;
    }
    for (int y = 0; y < height; ++y) {
        const uchar* source = picture.constScanLine(y);
        for (int x = 0; x < width; ++x) {
            if (PixelSet(source, x)) {
                SetPixel(result.scanLine(width - 1 - x), y);
            }
        }
    }
    return result;
}

QImage RotateHalf(const QImage& picture) {
    const int width = picture.width();
    const int height = picture.height();
    QImage result = BlankLike(picture, width, height);
    if (result.isNull()) {
        return result;
    }
    for (int y = 0; y < height; ++y) {
        const uchar* source = picture.constScanLine(y);
        uchar* target = result.scanLine(height - 1 - y);
        for (int x = 0; x < width; ++x) {
            if (PixelSet(source, x)) {
                SetPixel(target, width - 1 - x);
            }
        }
    }
    return result;
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

} // namespace FaxPictureOps
