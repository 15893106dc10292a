#include "TestPages.h"

#include <cstring>
#include <tiffio.h>

#include "faximage/core/FaxLineCoder.h"
#include "faximage/core/T4Decoder.h"

namespace testpages {

FaxRaster Pattern(int width, int rows, int seed) {
    FaxRaster page(width, rows);
    unsigned state = static_cast<unsigned>(seed) * 2654435761u + 1;
    const auto next = [&state]() {
        state = state * 1103515245u + 12345u;
        return (state >> 16) & 0x7fff;
    };
    for (int y = 0; y < rows; ++y) {
        // A few short black runs per line, and a solid bar every 16 lines.
        if (y % 16 == 5) {
            for (int x = 100; x < width - 100; ++x) {
                page.SetPixel(x, y, true);
            }
            continue;
        }
        const int runs = 6 + static_cast<int>(next() % 10);
        for (int r = 0; r < runs; ++r) {
            const int start = static_cast<int>(next() % static_cast<unsigned>(width - 40));
            const int length = 1 + static_cast<int>(next() % 30);
            for (int x = start; x < start + length; ++x) {
                page.SetPixel(x, y, true);
            }
        }
    }
    return page;
}

std::vector<std::uint8_t> Code(const FaxRaster& page) {
    FaxLineCoder coder;
    std::vector<std::uint8_t> data;
    std::vector<std::uint8_t> row(static_cast<std::size_t>(page.BytesPerRow()) +
                                  FaxLineCoder::RasterSlack);
    for (int y = 0; y < page.Height(); ++y) {
        std::memcpy(row.data(), page.Row(y), static_cast<std::size_t>(page.BytesPerRow()));
        const std::size_t length = coder.CodeLine(row.data(), page.Width(), 0, false);
        data.insert(data.end(), coder.Data(), coder.Data() + length);
    }
    const std::size_t length = coder.CodeEndOfPage();
    data.insert(data.end(), coder.Data(), coder.Data() + length);
    return data;
}

FaxRaster Decode(const std::vector<std::uint8_t>& data, int width) {
    std::vector<std::vector<std::uint8_t>> rows;
    T4Decoder decoder;
    decoder.SetLineSink([&rows](const std::uint8_t* line, unsigned length) {
        rows.emplace_back(line, line + length);
        return 0;
    });
    decoder.Restart();
    decoder.Feed(data.data(), data.size());
    FaxRaster page(width, static_cast<int>(rows.size()));
    for (std::size_t y = 0; y < rows.size(); ++y) {
        std::memcpy(
            page.Row(static_cast<int>(y)), rows[y].data(),
            std::min<std::size_t>(rows[y].size(), static_cast<std::size_t>(page.BytesPerRow())));
    }
    return page;
}

bool WriteTiff(const std::string& path, const std::vector<FaxRaster>& pages, bool fine) {
    TIFF* tiff = TIFFOpen(path.c_str(), "w");
    if (!tiff) {
        return false;
    }
    bool ok = true;
    for (std::size_t index = 0; index < pages.size(); ++index) {
        const FaxRaster& page = pages[index];
        TIFFSetField(tiff, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
        TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, page.Width());
        TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, page.Height());
        TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 1);
        TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 1);
        TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
        TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX3);
        TIFFSetField(tiff, TIFFTAG_FILLORDER, FILLORDER_LSB2MSB);
        TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, page.Height());
        TIFFSetField(tiff, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
        TIFFSetField(tiff, TIFFTAG_XRESOLUTION, 204.0);
        TIFFSetField(tiff, TIFFTAG_YRESOLUTION, fine ? 196.0 : 98.0);
        TIFFSetField(tiff, TIFFTAG_PAGENUMBER, static_cast<std::uint16_t>(index),
                     static_cast<std::uint16_t>(pages.size()));
        std::vector<std::uint8_t> row(static_cast<std::size_t>(page.BytesPerRow()));
        for (int y = 0; y < page.Height() && ok; ++y) {
            std::memcpy(row.data(), page.Row(y), row.size());
            ok = TIFFWriteScanline(tiff, row.data(), static_cast<std::uint32_t>(y), 0) == 1;
        }
        ok = ok && TIFFWriteDirectory(tiff) == 1;
    }
    TIFFClose(tiff);
    return ok;
}

std::vector<FaxRaster> ReadTiff(const std::string& path, float* yResolution) {
    std::vector<FaxRaster> pages;
    TIFFSetWarningHandler(nullptr);
    TIFF* tiff = TIFFOpen(path.c_str(), "r");
    if (!tiff) {
        return pages;
    }
    do {
        std::uint32_t width = 0;
        std::uint32_t height = 0;
        TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
        TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
        if (yResolution && pages.empty()) {
            TIFFGetField(tiff, TIFFTAG_YRESOLUTION, yResolution);
        }
        FaxRaster page(static_cast<int>(width), static_cast<int>(height));
        std::vector<std::uint8_t> row(static_cast<std::size_t>(TIFFScanlineSize(tiff)));
        for (std::uint32_t y = 0; y < height; ++y) {
            if (TIFFReadScanline(tiff, row.data(), y, 0) != 1) {
                break;
            }
            std::memcpy(page.Row(static_cast<int>(y)), row.data(),
                        std::min(row.size(), static_cast<std::size_t>(page.BytesPerRow())));
        }
        pages.push_back(std::move(page));
    } while (TIFFReadDirectory(tiff));
    TIFFClose(tiff);
    return pages;
}

std::vector<std::uint8_t> Reversed(std::vector<std::uint8_t> data) {
    for (std::uint8_t& byte : data) {
        std::uint8_t result = 0;
        for (int bit = 0; bit < 8; ++bit) {
            result = static_cast<std::uint8_t>((result << 1) | ((byte >> bit) & 1));
        }
        byte = result;
    }
    return data;
}

std::vector<std::uint8_t> Stuffed(const std::vector<std::uint8_t>& data) {
    std::vector<std::uint8_t> out;
    for (const std::uint8_t byte : data) {
        out.push_back(byte);
        if (byte == 0x10) {
            out.push_back(0x10);
        }
    }
    return out;
}

} // namespace testpages
