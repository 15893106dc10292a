#pragma once

#include <QSize>

// Where a fax page goes on a printed sheet. Rectangles are in printer dots with the
// right and bottom edges exclusive, as the sheet's own (0, 0, width, height).
struct FaxPrintArea {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool operator==(const FaxPrintArea&) const = default;
};

enum TFaxPrintScale { psNone, psFitToPage };

namespace FaxPrintLayout {

// Pages sharing one sheet with MultiPage: four on a portrait sheet, two on a landscape one.
int PagesPerSheet(bool portrait);

// True when page `page` of a job starting at `first` begins a new sheet (never for the
// first page printed).
bool StartsNewSheet(int page, int first, bool multiPage, bool portrait);

// The area page `page` may use on a sheet of `sheetWidth` x `sheetHeight` dots. Without
// MultiPage the whole sheet; with it the page's quarter (portrait) or half (landscape),
// shrunk by 2 dots on every side.
FaxPrintArea PageArea(int sheetWidth, int sheetHeight, bool multiPage, bool portrait, int page,
                      int first);

// The size a picture is drawn at in `area`. psFitToPage keeps the picture's proportions
// and fills the area's width or height; psNone keeps the picture's size but never lets
// it grow taller than the area. An empty picture gives an empty size.
QSize DestinationSize(QSize picture, const FaxPrintArea& area, TFaxPrintScale scale);

} // namespace FaxPrintLayout
