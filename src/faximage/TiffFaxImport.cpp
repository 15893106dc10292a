#include "faximage/TiffFaxImport.h"

#include "common/EQPException.h"
#include "faximage/TQpFaxConverter.h"
#include "faximage/core/FaxConverterEngine.h"

#include <tiffio.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

constexpr float FineLinesPerInch = 150.0F;
constexpr float CentimetresPerInch = 2.54F;

struct TiffCloser {
    void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};
using TiffHandle = std::unique_ptr<TIFF, TiffCloser>;

// The current page of an open TIFF file, read one raster line at a time.
class TiffPageLines {
public:
    explicit TiffPageLines(TIFF* tiff) : tiff_(tiff) { StartPage(); }

    // Why the current page cannot be read; empty when it can.
    const QString& Problem() const { return problem_; }

    // One raster line (1 = black) into `data`; at the end of the page sets endOfPage and
    // moves to the next page, if any (morePages).
    void Read(std::uint8_t* data, int& length, bool& endOfPage, bool& morePages) {
        morePages = false;
        if (!problem_.isEmpty() || row_ >= height_) {
            endOfPage = true;
            morePages = problem_.isEmpty() && TIFFReadDirectory(tiff_) == 1 && StartPage();
            return;
        }
        if (TIFFReadScanline(tiff_, line_.data(), row_++) != 1) {
            problem_ = QStringLiteral("The TIFF file is damaged");
            endOfPage = true;
            return;
        }
        const std::size_t bytes =
            std::min<std::size_t>((width_ + 7) / 8, FaxConverterEngine::RasterBufferSize);
        for (std::size_t i = 0; i < bytes; ++i) {
            data[i] = minIsBlack_ ? static_cast<std::uint8_t>(~line_[i]) : line_[i];
        }
        if (width_ % 8 != 0 && bytes == (width_ + 7) / 8) {
            data[bytes - 1] &= static_cast<std::uint8_t>(0xFF << (8 - width_ % 8));
        }
        length = static_cast<int>(bytes);
    }

    // True when the page is black and white and has lines to read.
    bool StartPage() {
        std::uint16_t bits = 1;
        std::uint16_t samples = 1;
        std::uint16_t photometric = PHOTOMETRIC_MINISWHITE;
        TIFFGetFieldDefaulted(tiff_, TIFFTAG_BITSPERSAMPLE, &bits);
        TIFFGetFieldDefaulted(tiff_, TIFFTAG_SAMPLESPERPIXEL, &samples);
        TIFFGetField(tiff_, TIFFTAG_PHOTOMETRIC, &photometric);
        TIFFGetField(tiff_, TIFFTAG_IMAGEWIDTH, &width_);
        TIFFGetField(tiff_, TIFFTAG_IMAGELENGTH, &height_);
        minIsBlack_ = photometric == PHOTOMETRIC_MINISBLACK;
        row_ = 0;
        if (bits != 1 || samples != 1 || width_ == 0 || height_ == 0) {
            problem_ = QStringLiteral("The TIFF file is not a black-and-white fax");
            return false;
        }
        line_.assign(static_cast<std::size_t>(std::max<tmsize_t>(TIFFScanlineSize(tiff_), 1)), 0);
        return true;
    }

private:
    TIFF* tiff_;
    std::uint32_t width_ = 0;
    std::uint32_t height_ = 0;
    std::uint32_t row_ = 0;
    bool minIsBlack_ = false;
    std::vector<std::uint8_t> line_;
    QString problem_;
};

bool IsFine(TIFF* tiff) {
    float linesPerUnit = 0;
    std::uint16_t unit = RESUNIT_INCH;
    if (TIFFGetField(tiff, TIFFTAG_YRESOLUTION, &linesPerUnit) != 1) {
        return false;
    }
    TIFFGetFieldDefaulted(tiff, TIFFTAG_RESOLUTIONUNIT, &unit);
    const float linesPerInch =
        unit == RESUNIT_CENTIMETER ? linesPerUnit * CentimetresPerInch : linesPerUnit;
    return linesPerInch > FineLinesPerInch;
}

} // namespace

QString TiffFaxImport::ConvertToApf(const QString& tiffFile, const QString& apfFile) {
    // libtiff's own messages would go to standard error; the result says what is wrong.
    TIFFSetErrorHandler(nullptr);
    TIFFSetWarningHandler(nullptr);
    const TiffHandle tiff(TIFFOpen(tiffFile.toLocal8Bit().constData(), "r"));
    if (!tiff) {
        return QStringLiteral("The file is not a TIFF file");
    }
    TiffPageLines lines(tiff.get());
    if (!lines.Problem().isEmpty()) {
        return lines.Problem();
    }
    try {
        TQpFaxConverter converter;
        converter.SetInputDocumentType(TQpFaxConverter::idUser);
        converter.SetResolution(IsFine(tiff.get()) ? TQpFaxConverter::frHigh
                                                   : TQpFaxConverter::frNormal);
        converter.OnReadUserLine = [&lines](TQpFaxConverter*, std::uint8_t* data, int& length,
                                            bool& endOfPage, bool& morePages) {
            lines.Read(data, length, endOfPage, morePages);
        };
        converter.SetDocumentFile(tiffFile);
        converter.SetOutFileName(apfFile);
        converter.ConvertDocument();
    } catch (const EQPException& error) {
        return QString::fromUtf8(error.what());
    }
    return lines.Problem();
}
