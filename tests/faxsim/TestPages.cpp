#include "TestPages.h"

#include <spandsp.h>
#include <tiffio.h>

namespace {

constexpr int kWidth = 1728;
constexpr int kRowBytes = kWidth / 8;

std::uint8_t PatternByte(const TestPage& page, int row, int column) {
    return ((row / 4 + column / 3 + page.seed) % 7 == 0) ? 0xF0 : 0x00;
}

} // namespace

bool WriteTestTiff(const std::string& path, const std::vector<TestPage>& pages) {
    TIFF* tiff = TIFFOpen(path.c_str(), "w");
    if (!tiff) {
        return false;
    }
    for (std::size_t p = 0; p < pages.size(); ++p) {
        const TestPage& page = pages[p];
        TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, kWidth);
        TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, page.rows);
        TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 1);
        TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 1);
        TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX3);
        TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC,
                     page.minIsBlack ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_MINISWHITE);
        TIFFSetField(tiff, TIFFTAG_FILLORDER, FILLORDER_LSB2MSB);
        TIFFSetField(tiff, TIFFTAG_XRESOLUTION, 204.0);
        TIFFSetField(tiff, TIFFTAG_YRESOLUTION, page.fine ? 196.0 : 98.0);
        TIFFSetField(tiff, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
        TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, page.rows);
        TIFFSetField(tiff, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
        TIFFSetField(tiff, TIFFTAG_PAGENUMBER, static_cast<int>(p), static_cast<int>(pages.size()));
        std::vector<std::uint8_t> row(kRowBytes);
        for (int r = 0; r < page.rows; ++r) {
            for (int c = 0; c < kRowBytes; ++c) {
                const std::uint8_t black = PatternByte(page, r, c);
                row[static_cast<std::size_t>(c)] =
                    page.minIsBlack ? static_cast<std::uint8_t>(~black) : black;
            }
            if (TIFFWriteScanline(tiff, row.data(), static_cast<std::uint32_t>(r), 0) < 0) {
                TIFFClose(tiff);
                return false;
            }
        }
        TIFFWriteDirectory(tiff);
    }
    TIFFClose(tiff);
    return true;
}

std::vector<std::uint8_t> EncodePage(const std::string& tiff, int page) {
    std::vector<std::uint8_t> data;
    t4_tx_state_t* encoder = t4_tx_init(nullptr, tiff.c_str(), page - 1, page - 1);
    if (!encoder) {
        return data;
    }
    t4_tx_set_tx_encoding(encoder, T4_COMPRESSION_ITU_T4_1D);
    t4_tx_set_min_bits_per_row(encoder, 0);
    if (t4_tx_start_page(encoder) == 0) {
        std::uint8_t chunk[1024];
        int n;
        while ((n = t4_tx_get_chunk(encoder, chunk, sizeof chunk)) > 0) {
            data.insert(data.end(), chunk, chunk + n);
        }
        t4_tx_end_page(encoder);
    }
    t4_tx_free(encoder);
    return data;
}

std::vector<std::vector<std::uint8_t>> ReadRows(const std::string& path, int page) {
    std::vector<std::vector<std::uint8_t>> rows;
    TIFF* tiff = TIFFOpen(path.c_str(), "r");
    if (!tiff) {
        return rows;
    }
    if (TIFFSetDirectory(tiff, static_cast<tdir_t>(page - 1))) {
        std::uint32_t length = 0;
        std::uint16_t photometric = PHOTOMETRIC_MINISWHITE;
        TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &length);
        TIFFGetFieldDefaulted(tiff, TIFFTAG_PHOTOMETRIC, &photometric);
        std::vector<std::uint8_t> row(static_cast<std::size_t>(TIFFScanlineSize(tiff)));
        for (std::uint32_t r = 0; r < length; ++r) {
            if (TIFFReadScanline(tiff, row.data(), r, 0) < 0) {
                break;
            }
            if (photometric == PHOTOMETRIC_MINISBLACK) {
                for (auto& byte : row) {
                    byte = static_cast<std::uint8_t>(~byte);
                }
            }
            rows.push_back(row);
        }
    }
    TIFFClose(tiff);
    return rows;
}

bool DecodePage(const std::vector<std::uint8_t>& data, bool fine, const std::string& path) {
    t4_rx_state_t* decoder = t4_rx_init(nullptr, path.c_str(), T4_COMPRESSION_ITU_T4_1D);
    if (!decoder) {
        return false;
    }
    t4_rx_set_rx_encoding(decoder, T4_COMPRESSION_ITU_T4_1D);
    t4_rx_set_image_width(decoder, kWidth);
    t4_rx_set_x_resolution(decoder, T4_X_RESOLUTION_R8);
    t4_rx_set_y_resolution(decoder, fine ? T4_Y_RESOLUTION_FINE : T4_Y_RESOLUTION_STANDARD);
    t4_rx_start_page(decoder);
    t4_rx_put_chunk(decoder, data.data(), static_cast<int>(data.size()));
    t4_rx_end_page(decoder);
    t4_rx_free(decoder);
    return true;
}
