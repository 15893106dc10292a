#include "TiffPageWriter.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <tiffio.h>

bool TiffPageWriter::Write(const std::string& path, const std::vector<Page>& pages,
                           std::string& error) {
    const std::string temporary = path + ".part";
    TIFF* tiff = TIFFOpen(temporary.c_str(), "w");
    if (!tiff) {
        error = "cannot create " + temporary;
        return false;
    }
    bool ok = true;
    for (std::size_t index = 0; index < pages.size() && ok; ++index) {
        const Page& page = pages[index];
        const std::size_t bytesPerRow = static_cast<std::size_t>(page.width + 7) / 8;
        const std::size_t rows = bytesPerRow ? page.image.size() / bytesPerRow : 0;
        TIFFSetField(tiff, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
        TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, page.width);
        TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(rows));
        TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 1);
        TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 1);
        TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
        TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX3);
        TIFFSetField(tiff, TIFFTAG_GROUP3OPTIONS, 0);
        TIFFSetField(tiff, TIFFTAG_FILLORDER, FILLORDER_LSB2MSB);
        TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, static_cast<std::uint32_t>(rows ? rows : 1));
        TIFFSetField(tiff, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
        TIFFSetField(tiff, TIFFTAG_XRESOLUTION, 204.0);
        TIFFSetField(tiff, TIFFTAG_YRESOLUTION, page.fine ? 196.0 : 98.0);
        TIFFSetField(tiff, TIFFTAG_PAGENUMBER, static_cast<std::uint16_t>(index),
                     static_cast<std::uint16_t>(pages.size()));
        std::vector<std::uint8_t> row(bytesPerRow);
        for (std::size_t y = 0; y < rows && ok; ++y) {
            std::memcpy(row.data(), page.image.data() + y * bytesPerRow, bytesPerRow);
            ok = TIFFWriteScanline(tiff, row.data(), static_cast<std::uint32_t>(y), 0) == 1;
        }
        ok = ok && TIFFWriteDirectory(tiff) == 1;
    }
    TIFFClose(tiff);
    if (!ok) {
        error = "cannot write " + temporary;
        std::remove(temporary.c_str());
        return false;
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        error = "cannot rename " + temporary + ": " + std::strerror(errno);
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}
