// Writes the sample fax: samplefax OUTPUT.tif
#include "SamplePages.h"

#include <tiffio.h>

#include <cstdio>
#include <string>

namespace {

bool WritePages(const std::string& path, const std::vector<SamplePage>& pages) {
    TIFF* tiff = TIFFOpen(path.c_str(), "w");
    if (!tiff) {
        return false;
    }
    bool ok = true;
    for (std::size_t index = 0; index < pages.size() && ok; ++index) {
        const SamplePage& page = pages[index];
        TIFFSetField(tiff, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
        TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, SamplePage::Width);
        TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, page.rows);
        TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 1);
        TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 1);
        TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX3);
        TIFFSetField(tiff, TIFFTAG_GROUP3OPTIONS, 0);
        TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
        TIFFSetField(tiff, TIFFTAG_FILLORDER, FILLORDER_LSB2MSB);
        TIFFSetField(tiff, TIFFTAG_XRESOLUTION, 204.0);
        TIFFSetField(tiff, TIFFTAG_YRESOLUTION, 98.0);
        TIFFSetField(tiff, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
        TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, page.rows);
        TIFFSetField(tiff, TIFFTAG_PAGENUMBER, static_cast<int>(index),
                     static_cast<int>(pages.size()));
        TIFFSetField(tiff, TIFFTAG_SOFTWARE, "Quillpost");
        for (int row = 0; row < page.rows && ok; ++row) {
            auto* data = const_cast<std::uint8_t*>(
                page.bits.data() + static_cast<std::size_t>(row) * SamplePage::BytesPerRow);
            ok = TIFFWriteScanline(tiff, data, static_cast<std::uint32_t>(row), 0) == 1;
        }
        ok = ok && TIFFWriteDirectory(tiff) == 1;
    }
    TIFFClose(tiff);
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: samplefax OUTPUT.tif\n");
        return 2;
    }
    if (!WritePages(argv[1], MakeSamplePages())) {
        std::fprintf(stderr, "samplefax: cannot write %s\n", argv[1]);
        std::remove(argv[1]);
        return 1;
    }
    return 0;
}
