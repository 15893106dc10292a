#pragma once

#include <QImage>
#include <QString>
#include <QStringList>

#include <string>
#include <vector>

class TQpRichText;

// "qpx rtf": rich text documents from the command line.
//   qpx rtf totext FILE                 the document's plain text
//   qpx rtf roundtrip FILE              reads the file into the editor and prints the RTF
//                                       the editor writes
//   qpx rtf render FILE -o PREFIX [--png]
//                                       lays the document out as the fax build does and
//                                       writes one monochrome page image per page
int QpxRtf(const std::vector<std::string>& args);

// The fax page geometry of the build: 1664 x 2156 pixels, text inside 49-pixel margins.
constexpr int kFaxPageWidth = 1664;
constexpr int kFaxPageHeight = 2156;
constexpr int kFaxPageMargin = 49;

// A page in black and white: pixels darker than middle grey become black (bit 1, most
// significant bit leftmost).
QImage ToMonochrome(const QImage& page);

// Lays the editor's text out into fax pages the way the fax build does (zoom for about
// 200 dots per inch, rendering option 32) and returns the monochrome pages.
QList<QImage> RenderFaxPages(TQpRichText& editor);
