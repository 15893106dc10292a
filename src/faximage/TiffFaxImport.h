#pragma once

#include <QString>

// Turns a TIFF fax into an APF file through the converter, page by page. Unlike the
// converter's own TIFF reader (uncompressed and PackBits pictures) it reads every coding
// libtiff decodes, so the CCITT Group 3 and Group 4 pages of fax programs and scanners
// come through. Pages above 150 lines per inch become high-resolution pages.
class TiffFaxImport {
public:
    // Converts `tiffFile` into `apfFile`. Returns an empty text on success, otherwise
    // what is wrong with the file (the APF file is then not to be used).
    static QString ConvertToApf(const QString& tiffFile, const QString& apfFile);
};
