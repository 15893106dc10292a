#include "TiffJoiner.h"

#include <cstdint>
#include <memory>
#include <vector>

#include <tiffio.h>

namespace faxsim {

namespace {

struct TiffCloser {
    void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};
using TiffFile = std::unique_ptr<TIFF, TiffCloser>;

// Copies the current page of `in` to a new page of `out` as uncompressed
// min-is-white rows, keeping size and resolution.
bool CopyPage(TIFF* in, TIFF* out, std::string* error) {
    std::uint32_t width = 0;
    std::uint32_t length = 0;
    std::uint16_t bits = 1;
    std::uint16_t samples = 1;
    std::uint16_t photometric = PHOTOMETRIC_MINISWHITE;
    float xres = 204.0F;
    float yres = 98.0F;
    std::uint16_t unit = RESUNIT_INCH;
    TIFFGetField(in, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(in, TIFFTAG_IMAGELENGTH, &length);
    TIFFGetFieldDefaulted(in, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(in, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(in, TIFFTAG_PHOTOMETRIC, &photometric);
    TIFFGetField(in, TIFFTAG_XRESOLUTION, &xres);
    TIFFGetField(in, TIFFTAG_YRESOLUTION, &yres);
    TIFFGetFieldDefaulted(in, TIFFTAG_RESOLUTIONUNIT, &unit);
    if (bits != 1 || samples != 1 || width == 0 || length == 0) {
        *error = "not a bilevel image";
        return false;
    }
    TIFFSetField(out, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(out, TIFFTAG_IMAGELENGTH, length);
    TIFFSetField(out, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(out, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(out, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
    TIFFSetField(out, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    TIFFSetField(out, TIFFTAG_FILLORDER, FILLORDER_MSB2LSB);
    TIFFSetField(out, TIFFTAG_XRESOLUTION, xres);
    TIFFSetField(out, TIFFTAG_YRESOLUTION, yres);
    TIFFSetField(out, TIFFTAG_RESOLUTIONUNIT, unit);
    TIFFSetField(out, TIFFTAG_ROWSPERSTRIP, length);
    TIFFSetField(out, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
    std::vector<std::uint8_t> row(static_cast<std::size_t>(TIFFScanlineSize(in)));
    const bool invert = photometric == PHOTOMETRIC_MINISBLACK;
    for (std::uint32_t y = 0; y < length; ++y) {
        if (TIFFReadScanline(in, row.data(), y, 0) < 0) {
            *error = "damaged image data";
            return false;
        }
        if (invert) {
            for (std::uint8_t& byte : row) {
                byte = static_cast<std::uint8_t>(~byte);
            }
        }
        if (TIFFWriteScanline(out, row.data(), y, 0) < 0) {
            *error = "cannot write";
            return false;
        }
    }
    return TIFFWriteDirectory(out) != 0;
}

} // namespace

bool JoinTiffPages(const std::vector<std::string>& inputs, const std::string& output,
                   std::string* error) {
    TiffFile out(TIFFOpen(output.c_str(), "w"));
    if (!out) {
        *error = "cannot create " + output;
        return false;
    }
    for (const std::string& input : inputs) {
        TiffFile in(TIFFOpen(input.c_str(), "r"));
        if (!in) {
            *error = "cannot read " + input;
            return false;
        }
        do {
            std::string problem;
            if (!CopyPage(in.get(), out.get(), &problem)) {
                *error = input + ": " + problem;
                return false;
            }
        } while (TIFFReadDirectory(in.get()));
    }
    return true;
}

int CountTiffPages(const std::string& path) {
    TIFFSetWarningHandler(nullptr);
    TiffFile tiff(TIFFOpen(path.c_str(), "r"));
    if (!tiff) {
        return -1;
    }
    int pages = 0;
    do {
        ++pages;
    } while (TIFFReadDirectory(tiff.get()));
    return pages;
}

} // namespace faxsim
