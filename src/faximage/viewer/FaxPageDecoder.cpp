#include "faximage/viewer/FaxPageDecoder.h"

#include "faximage/FaxImageExceptions.h"
#include "faximage/TQpFaxUnpacker.h"
#include "faximage/core/FaxUnpackerEngine.h"

#include "common/EQPException.h"

#include <QFile>

namespace FaxPageDecoder {

namespace {

std::string LocalName(const QString& fileName) {
    return QFile::encodeName(fileName).toStdString();
}

void ApplyOptions(FaxUnpackerEngine& engine, const Options& options) {
    engine.SetYield(false);
    engine.SetDoubleHeight(options.aspect == AspectDoubleHeight);
    engine.SetHalfWidth(options.aspect == AspectHalfWidth);
    if (options.aspect == AspectNone) {
        engine.SetDoubleHeight(false);
        engine.SetHalfWidth(false);
    }
    if (engine.SetWhitespaceCompression(options.whitespaceFrom, options.whitespaceTo) != 0) {
        engine.SetWhitespaceCompression(0, 0);
    }
}

} // namespace

int ReadPageCount(const QString& fileName, int& count) {
    unsigned pages = 0;
    const int result = FaxUnpackerEngine::ReadPageCount(LocalName(fileName), pages);
    count = result == 0 ? static_cast<int>(pages) : 0;
    return result;
}

int ReadPageFlags(const QString& fileName, int page, unsigned& flags) {
    ApfPageHeader header;
    const int result = FaxUnpackerEngine::ReadPageHeader(
        LocalName(fileName), page > 0 ? static_cast<unsigned>(page) : 0, header);
    flags = result == 0 ? header.flags : 0;
    return result;
}

int DecodePicture(const QString& fileName, int page, const Options& options, QImage& picture,
                  unsigned& flags) {
    FaxUnpackerEngine engine;
    return DecodePicture(engine, fileName, page, options, picture, flags);
}

int DecodePicture(FaxUnpackerEngine& engine, const QString& fileName, int page,
                  const Options& options, QImage& picture, unsigned& flags) {
    picture = QImage();
    flags = 0;
    const std::string name = LocalName(fileName);
    const unsigned pageNumber = page > 0 ? static_cast<unsigned>(page) : 0;
    ApfPageHeader header;
    const int headerResult = engine.PageHeader(name, pageNumber, header);
    if (headerResult != 0) {
        return headerResult;
    }
    flags = header.flags;
    ApplyOptions(engine, options);
    FaxRaster raster;
    int result = 0;
    try {
        result = engine.UnpackPageToRaster(name, pageNumber, options.invert, raster);
    } catch (const std::bad_alloc&) {
        return -8;
    }
    if (result != 0) {
        return result;
    }
    if (raster.IsEmpty()) {
        return 0;
    }
    picture = TQpFaxUnpacker::ImageFromRaster(raster);
    if (picture.isNull()) {
        return -8005;
    }
    if (options.invert) {
        // Bit 1 is white in an inverted picture.
        picture.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    }
    return 0;
}

void RaiseOnError(int code) {
    if (code >= 0) {
        return;
    }
    if (code == -8050 || code == -8051) {
        throw EQPException(code, "Zade exception");
    }
    if (code == -8) {
        // The out-of-memory code keeps its text and number for the windows that show it.
        throw qpfax::EFaxImageError(code);
    }
    qpfax::RaiseFaxImageError(code);
}

int CheckedPageCount(const QString& fileName) {
    int count = 0;
    RaiseOnError(ReadPageCount(fileName, count));
    return count;
}

unsigned CheckedPageFlags(const QString& fileName, int page) {
    unsigned flags = 0;
    RaiseOnError(ReadPageFlags(fileName, page, flags));
    return flags;
}

QImage CheckedPicture(const QString& fileName, int page, const Options& options) {
    QImage picture;
    unsigned flags = 0;
    RaiseOnError(DecodePicture(fileName, page, options, picture, flags));
    return picture;
}

} // namespace FaxPageDecoder
