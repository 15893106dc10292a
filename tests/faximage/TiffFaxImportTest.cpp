// TIFF faxes as fax programs and scanners write them (CCITT Group 4, Group 3, none; white
// or black as zero; standard and fine resolution) become APF files page by page; files
// that are no black-and-white TIFF are refused with the reason.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>

#include <filesystem>
#include <fstream>
#include <tiffio.h>
#include <vector>

#include "TestPaths.h"
#include "faximage/TQpFaxUnpacker.h"
#include "faximage/TiffFaxImport.h"

namespace {

constexpr int Width = 1728;
constexpr int Height = 120;

struct PageSpec {
    std::uint16_t compression;
    std::uint16_t photometric;
    float linesPerInch;
    int blackFrom; // rows blackFrom .. blackFrom + 9, columns 100 .. 299, are black
};

void WriteTiff(const std::string& path, const std::vector<PageSpec>& pages, int bits = 1) {
    TIFF* tiff = TIFFOpen(path.c_str(), "w");
    ASSERT_NE(tiff, nullptr);
    for (const PageSpec& page : pages) {
        TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, Width);
        TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, Height);
        TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, bits);
        TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 1);
        TIFFSetField(tiff, TIFFTAG_COMPRESSION, page.compression);
        TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, page.photometric);
        TIFFSetField(tiff, TIFFTAG_XRESOLUTION, 204.0F);
        TIFFSetField(tiff, TIFFTAG_YRESOLUTION, page.linesPerInch);
        TIFFSetField(tiff, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
        TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, Height);
        TIFFSetField(tiff, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
        std::vector<std::uint8_t> row(static_cast<std::size_t>(Width * bits / 8));
        for (int y = 0; y < Height; ++y) {
            const bool blackRow = y >= page.blackFrom && y < page.blackFrom + 10;
            const bool zeroIsBlack = page.photometric == PHOTOMETRIC_MINISBLACK;
            std::fill(row.begin(), row.end(), zeroIsBlack ? 0xFF : 0x00);
            if (blackRow && bits == 1) {
                for (int x = 100; x < 300; ++x) {
                    const auto bit = static_cast<std::uint8_t>(0x80 >> (x % 8));
                    row[x / 8] = zeroIsBlack ? row[x / 8] & ~bit : row[x / 8] | bit;
                }
            }
            ASSERT_EQ(TIFFWriteScanline(tiff, row.data(), static_cast<std::uint32_t>(y)), 1);
        }
        TIFFWriteDirectory(tiff);
    }
    TIFFClose(tiff);
}

bool IsBlack(const QImage& page, int x, int y) {
    return qGray(page.pixel(x, y)) < 128;
}

} // namespace

TEST(TiffFaxImportTest, EveryPageWithItsResolutionAndColours) {
    qptest::ScratchDir work("tiff");
    const std::string tiff = work.file("fax.tif");
    WriteTiff(tiff, {{COMPRESSION_CCITTFAX4, PHOTOMETRIC_MINISWHITE, 98.0F, 10},
                     {COMPRESSION_CCITTFAX3, PHOTOMETRIC_MINISWHITE, 196.0F, 50},
                     {COMPRESSION_NONE, PHOTOMETRIC_MINISBLACK, 98.0F, 90}});
    const QString apf = QString::fromStdString(work.file("fax.apf"));
    ASSERT_EQ(TiffFaxImport::ConvertToApf(QString::fromStdString(tiff), apf), QString());

    TQpFaxUnpacker unpacker;
    unpacker.SetInFileName(apf);
    ASSERT_EQ(unpacker.PageCount(), 3);
    const int blackFrom[] = {10, 50, 90};
    for (int page = 1; page <= 3; ++page) {
        const QImage image = unpacker.DecodePageToBitmap(page);
        ASSERT_FALSE(image.isNull()) << page;
        // Standard-resolution pages are shown with every line twice.
        const int scale = image.height() / Height;
        ASSERT_EQ(scale, 2) << page;
        for (int row = 0; row < Height; ++row) {
            const bool black = row >= blackFrom[page - 1] && row < blackFrom[page - 1] + 10;
            EXPECT_EQ(IsBlack(image, 150, row * scale), black) << "page " << page << " row " << row;
            EXPECT_FALSE(IsBlack(image, 50, row * scale)) << "page " << page << " row " << row;
        }
    }
    // Page resolution follows the first page (98 lines per inch: standard).
    EXPECT_FALSE(unpacker.FirstPageIsFine());
    WriteTiff(tiff, {{COMPRESSION_CCITTFAX3, PHOTOMETRIC_MINISWHITE, 196.0F, 50}});
    ASSERT_EQ(TiffFaxImport::ConvertToApf(QString::fromStdString(tiff), apf), QString());
    unpacker.SetInFileName(QString());
    unpacker.SetInFileName(apf);
    EXPECT_TRUE(unpacker.FirstPageIsFine());
}

TEST(TiffFaxImportTest, FilesThatAreNoBlackAndWhiteTiffAreRefused) {
    qptest::ScratchDir work("tiff-bad");
    const QString apf = QString::fromStdString(work.file("out.apf"));
    std::ofstream(work.file("text.tif")) << "not a picture at all";
    EXPECT_EQ(TiffFaxImport::ConvertToApf(QString::fromStdString(work.file("text.tif")), apf),
              "The file is not a TIFF file");
    EXPECT_EQ(TiffFaxImport::ConvertToApf(QString::fromStdString(work.file("missing.tif")), apf),
              "The file is not a TIFF file");

    const std::string grey = work.file("grey.tif");
    WriteTiff(grey, {{COMPRESSION_NONE, PHOTOMETRIC_MINISBLACK, 98.0F, 10}}, 8);
    EXPECT_EQ(TiffFaxImport::ConvertToApf(QString::fromStdString(grey), apf),
              "The TIFF file is not a black-and-white fax");

    // A Group 4 page cut short: the lines that are missing cannot be decoded.
    const std::string cut = work.file("cut.tif");
    WriteTiff(cut, {{COMPRESSION_NONE, PHOTOMETRIC_MINISWHITE, 98.0F, 10}});
    std::filesystem::resize_file(cut, std::filesystem::file_size(cut) / 2);
    EXPECT_FALSE(TiffFaxImport::ConvertToApf(QString::fromStdString(cut), apf).isEmpty());
}

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
