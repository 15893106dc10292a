#pragma once

#include <QImage>
#include <QRect>

// Operations on monochrome fax pictures (QImage::Format_Mono, most significant bit
// leftmost). Each returns a null image when memory runs out.
namespace FaxPictureOps {

// A quarter turn clockwise: source pixel (x, y) of a picture H rows high goes to
// (H - 1 - y, x).
QImage RotateClockwise(const QImage& picture);
// A quarter turn anticlockwise: source pixel (x, y) of a picture W wide goes to
// (y, W - 1 - x).
QImage RotateAnticlockwise(const QImage& picture);
// A half turn: rows in reverse order, each mirrored.
QImage RotateHalf(const QImage& picture);
// Turns the picture by `quarterTurns` (0..3) quarter turns clockwise.
QImage Rotate(const QImage& picture, int quarterTurns);

// Flips every pixel inside `rect` (clipped to the picture).
void InvertRect(QImage& picture, const QRect& rect);

// The picture as a one-bit image whose colour 0 is black and colour 1 white: the form in
// which Qt's PDF and print engines keep a picture as a lossless bitmap (any other colour
// table makes them store a colour picture, usually as a JPEG). Null when memory runs out.
QImage BlackOnWhiteBitmap(const QImage& picture);

} // namespace FaxPictureOps
