// Checks against independent programs: libtiff's own T.4 decoder reads our coded pages,
// and pictures written by netpbm (real text from pbmtext) convert and decode back to the
// same pixels.
#include <gtest/gtest.h>

#include <tiffio.h>

#include "FaxTestSupport.h"
#include "TestPaths.h"
#include "faximage/core/ApfReader.h"
#include "faximage/core/BmpFrontEnd.h"
#include "faximage/core/LittleEndian.h"
#include "faximage/core/PcxFrontEnd.h"
#include "faximage/core/TiffFrontEnd.h"

using namespace faxtest;

namespace {

// The coded data of a page of line records, without the record counts.
Bytes CodedData(const std::string& apf, unsigned page) {
    const Bytes file = ReadFile(apf);
    std::size_t header = 64;
    for (unsigned p = 1; p < page; ++p) {
        header += 16 + le::Get32(file.data() + header);
    }
    const std::size_t end = header + 16 + le::Get32(file.data() + header);
    Bytes coded;
    for (std::size_t at = header + 16; at < end;) {
        const std::uint16_t n = le::Get16(file.data() + at);
        coded.insert(coded.end(), file.begin() + static_cast<long>(at + 2),
                     file.begin() + static_cast<long>(at + 2 + n));
        at += 2 + n;
    }
    return coded;
}

// Wraps coded data in a one-dimensional T.4 TIFF and decodes it with libtiff.
std::vector<Bytes> DecodeWithLibtiff(const std::string& path, const Bytes& coded, int width,
                                     int rows) {
    TIFF* out = TIFFOpen(path.c_str(), "w");
    EXPECT_NE(out, nullptr);
    TIFFSetField(out, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(out, TIFFTAG_IMAGELENGTH, rows);
    TIFFSetField(out, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(out, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(out, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX3);
    TIFFSetField(out, TIFFTAG_GROUP3OPTIONS, 0);
    TIFFSetField(out, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    TIFFSetField(out, TIFFTAG_FILLORDER, FILLORDER_LSB2MSB);
    TIFFSetField(out, TIFFTAG_ROWSPERSTRIP, rows);
    TIFFWriteRawStrip(out, 0, const_cast<std::uint8_t*>(coded.data()),
                      static_cast<tmsize_t>(coded.size()));
    TIFFClose(out);

    std::vector<Bytes> lines;
    TIFF* in = TIFFOpen(path.c_str(), "r");
    EXPECT_NE(in, nullptr);
    Bytes line(static_cast<std::size_t>(TIFFScanlineSize(in)));
    for (int row = 0; row < rows; ++row) {
        EXPECT_EQ(TIFFReadScanline(in, line.data(), static_cast<std::uint32_t>(row), 0), 1) << row;
        lines.push_back(line);
    }
    TIFFClose(in);
    return lines;
}

FaxRaster PbmText(const qptest::ScratchDir& dir, const std::string& text) {
    const std::string pbm = dir.file("text.pbm");
    EXPECT_EQ(
        qptest::RunCommand("{ pbmtext -nomargins '" + text + "' > " + pbm + "; } 2>/dev/null"), 0);
    return ReadPbm(pbm);
}

// The page's decoded lines match the picture placed at `shift` (top row first).
void ExpectPicture(const DecodedPage& decoded, const FaxRaster& picture, int shift,
                   const std::string& what) {
    ASSERT_EQ(decoded.result, 0) << what;
    ASSERT_EQ(decoded.lines.size(), static_cast<std::size_t>(picture.Height())) << what;
    for (int y = 0; y < picture.Height(); ++y) {
        ASSERT_EQ(decoded.lines[static_cast<std::size_t>(y)], ShiftedRow(picture, y, shift, 216))
            << what << " row " << y;
    }
}

template <typename FrontEnd>
int ConvertFile(const std::string& input, const std::string& output, int leftMargin) {
    FaxConverterEngine engine(std::make_unique<FrontEnd>());
    engine.SetOptions(0, 0xFFFF);
    engine.SetLeftMargin(leftMargin);
    engine.SetHighResolution(true);
    return engine.ConvertFile(input, output);
}

} // namespace

TEST(Peers, LibtiffDecodesOurCodedPages) {
    // Real text plus a top margin, coded by us, decoded by libtiff to the very same raster.
    qptest::ScratchDir dir;
    const FaxRaster text = PbmText(dir, "The quick brown fox jumps over the lazy dog 0123456789");
    const std::string apf = dir.file("text.apf");
    ASSERT_EQ(ConvertRaster(text, apf, 0, 40, true, 1728, 2), 0);
    const auto lines =
        DecodeWithLibtiff(dir.file("peer.tif"), CodedData(apf, 1), 1728, text.Height() + 2);
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(text.Height() + 2));
    EXPECT_EQ(lines[0], Bytes(216, 0));
    EXPECT_EQ(lines[1], Bytes(216, 0));
    for (int y = 0; y < text.Height(); ++y) {
        ASSERT_EQ(lines[static_cast<std::size_t>(y + 2)], ShiftedRow(text, y, 40, 216)) << y;
    }
}

TEST(Peers, NetpbmPicturesConvertToTheSamePixels) {
    // pbmtext renders text; netpbm writes it as TIFF (none and PackBits, both byte orders),
    // PCX and BMP; each converts and decodes to the text at the left margin.
    qptest::ScratchDir dir;
    const FaxRaster text = PbmText(dir, "Quillpost faxes: pbmtext peer");
    const std::string pbm = dir.file("text.pbm");
    struct Case {
        std::string command, file;
        int (*convert)(const std::string&, const std::string&, int);
    };
    const std::vector<Case> cases = {
        {"pnmtotiff -none -msb2lsb", "a.tif", &ConvertFile<TiffFrontEnd>},
        {"pnmtotiff -packbits", "b.tif", &ConvertFile<TiffFrontEnd>},
        {"pamtotiff -packbits -rowsperstrip 3", "c.tif", &ConvertFile<TiffFrontEnd>},
        {"pnmtotiff -none -msb2lsb -minisblack", "d.tif", &ConvertFile<TiffFrontEnd>},
        {"ppmtopcx", "e.pcx", &ConvertFile<PcxFrontEnd>},
        {"ppmtobmp -bpp 1", "f.bmp", &ConvertFile<BmpFrontEnd>},
        {"ppmtobmp -bpp 1 -os2", "g.bmp", nullptr},
    };
    for (const Case& c : cases) {
        if (!c.convert) {
            continue;
        }
        const std::string image = dir.file(c.file);
        ASSERT_EQ(
            qptest::RunCommand("{ " + c.command + " " + pbm + " > " + image + "; } 2>/dev/null"), 0)
            << c.command;
        const std::string apf = dir.file(c.file + ".apf");
        ASSERT_EQ(c.convert(image, apf, 32), 0) << c.command;
        ExpectPicture(DecodeLines(apf, 1), text, 32, c.command);
    }
    // Big-endian, fill order 2 (leftmost pixel in bit 0), written by libtiff itself.
    const std::string big = dir.file("big.tif");
    ASSERT_EQ(qptest::RunCommand("tiffcp -B -L -c packbits " + dir.file("a.tif") + " " + big), 0);
    ASSERT_EQ(ConvertFile<TiffFrontEnd>(big, dir.file("big.apf"), 32), 0);
    ExpectPicture(DecodeLines(dir.file("big.apf"), 1), text, 32, "big-endian");
}
