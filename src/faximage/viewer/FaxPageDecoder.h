#pragma once

#include <QImage>
#include <QString>

class FaxUnpackerEngine;

// The viewer's and printer's way into the unpacker engine: page counts, page flags and
// whole pages decoded into monochrome pictures (QImage::Format_Mono).
namespace FaxPageDecoder {

// Page flags of an APF page header.
constexpr unsigned FineFlag = 1;
constexpr unsigned WideFlag = 2;

// Aspect handling of standard-resolution pages (the unpacker's flag values).
constexpr int AspectNone = 0;
constexpr int AspectDoubleHeight = 2;
constexpr int AspectHalfWidth = 4;

struct Options {
    int aspect = AspectDoubleHeight;
    unsigned whitespaceFrom = 0; // blank-line compression when both are nonzero
    unsigned whitespaceTo = 0;
    bool invert = false; // 1 bits white instead of black
};

// Each returns 0 or a negative error code.
int ReadPageCount(const QString& fileName, int& count);
int ReadPageFlags(const QString& fileName, int page, unsigned& flags);
// Decodes page `page` (from 1). An empty page gives a null picture and result 0.
int DecodePicture(const QString& fileName, int page, const Options& options, QImage& picture,
                  unsigned& flags);
// The same through an engine that the caller keeps from page to page, so that the file's
// page headers are walked once for all its pages.
int DecodePicture(FaxUnpackerEngine& engine, const QString& fileName, int page,
                  const Options& options, QImage& picture, unsigned& flags);

// The same, throwing the error's exception instead of returning a code.
int CheckedPageCount(const QString& fileName);
unsigned CheckedPageFlags(const QString& fileName, int page);
QImage CheckedPicture(const QString& fileName, int page, const Options& options);

// Throws the exception that stands for `code` when it is negative.
void RaiseOnError(int code);

} // namespace FaxPageDecoder
