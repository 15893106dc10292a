#pragma once

#include <QImage>
#include <QList>
#include <QRect>
#include <QString>

// Fax files for the viewer and printer tests.
namespace faxtest {

// Sets the pixels of `rect` in a Mono picture (1 = black).
void FillBlack(QImage& picture, const QRect& rect);

// A white page of the fax width (1728, or 2048 when wide) and `height` lines with a black
// frame two pixels wide along its edges and the page number drawn as `number` filled
// squares of 40 x 40 pixels in the top left corner. 1 bits are black.
QImage FramedPage(int number, int height = 2200, bool wide = false);

// Converts `pages` (Mono, 1 = black, 1728 or 2048 wide) into an APF file with the fax
// converter (no margins, no centering). Returns false when the conversion fails.
bool WriteApf(const QString& fileName, const QList<QImage>& pages, bool fine = true);

// A file of `count` framed pages.
bool WriteFramedFax(const QString& fileName, int count, int height = 2200, bool fine = true);

// A page that looks like a typed letter: `lines` rows of word-like black blocks (fixed
// pattern from `seed`), so that it codes to as many runs as real text.
QImage TextLikePage(int seed, int height = 2200);

// Black pixels of a picture whose 1 bits (or 0 bits when `inverted`) are black.
int CountBlack(const QImage& picture, bool inverted);

} // namespace faxtest
