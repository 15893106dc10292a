#include "faximage/TQpFaxConverter.h"

#include <cstdio>

#include <QCoreApplication>
#include <QCursor>
#include <QFileInfo>
#include <QGuiApplication>

#include "faximage/FaxImageExceptions.h"
#include "faximage/core/BitmapFrontEnd.h"
#include "faximage/core/BmpFrontEnd.h"
#include "faximage/core/DcxFrontEnd.h"
#include "faximage/core/FaxConverterEngine.h"
#include "faximage/core/FaxFont.h"
#include "faximage/core/FaxImageResult.h"
#include "faximage/core/PcxFrontEnd.h"
#include "faximage/core/TextFrontEnd.h"
#include "faximage/core/ThresholdDither.h"
#include "faximage/core/TiffFrontEnd.h"
#include "faximage/core/UserFrontEnd.h"

namespace {

// Shows the busy cursor while alive (when there is a screen to show it on).
class BusyCursor {
public:
    BusyCursor() : active_(qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        if (active_) {
            QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
        }
    }
    ~BusyCursor() {
        if (active_) {
            QGuiApplication::restoreOverrideCursor();
        }
    }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;

private:
    bool active_;
};

} // namespace

TQpFaxConverter::TQpFaxConverter(QObject* parent) : QObject(parent) {}

TQpFaxConverter::~TQpFaxConverter() = default;

void TQpFaxConverter::SetOptions(TFaxCvtOptions options) {
    if (options & coYieldOften) {
        options |= coYield;
    }
    options_ = options;
}

void TQpFaxConverter::SetDocumentFile(const QString& name) {
    documentFile_ = name;
    const QFileInfo info(name);
    const QString suffix = info.suffix();
    const QString base = suffix.isEmpty() ? name : name.left(name.size() - suffix.size() - 1);
    outFileName_ = name.isEmpty() ? QString() : base + QStringLiteral(".APF");
}

int TQpFaxConverter::BuildEngine(TFaxInputDocumentType type, FaxRaster picture) {
    engine_.reset();
    std::unique_ptr<FaxFrontEnd> frontEnd;
    switch (type) {
    case idText: {
        auto text = std::make_unique<TextFrontEnd>();
        FaxFont font;
        const int result = font.Load(fontType_ == ffSmall ? FaxFont::ffSmall : FaxFont::ffStandard,
                                     resolution_ == frHigh);
        if (result != 0) {
            return result;
        }
        text->SetFont(font);
        text->SetTabStop(tabStop_);
        text->SetLinesPerPage(linesPerPage_);
        frontEnd = std::move(text);
        break;
    }
    case idTiff:
        frontEnd = std::make_unique<TiffFrontEnd>();
        break;
    case idPcx:
        frontEnd = std::make_unique<PcxFrontEnd>();
        break;
    case idDcx:
        frontEnd = std::make_unique<DcxFrontEnd>();
        break;
    case idBmp:
        frontEnd = std::make_unique<BmpFrontEnd>();
        break;
    case idBitmap:
        frontEnd = std::make_unique<BitmapFrontEnd>(std::move(picture));
        break;
    case idUser: {
        auto user = std::make_unique<UserFrontEnd>(defUserExtension_.toStdString());
        UserFrontEnd::ReadHandler read;
        if (OnReadUserLine) {
            read = [this](std::uint8_t* data, int& length, bool& endOfPage, bool& morePages) {
                OnReadUserLine(this, data, length, endOfPage, morePages);
            };
        }
        user->SetHandlers(
            [this](const std::string& name) {
                if (OnOpenUserFile) {
                    OnOpenUserFile(this, QString::fromStdString(name));
                }
            },
            std::move(read),
            [this] {
                if (OnCloseUserFile) {
                    OnCloseUserFile(this);
                }
            });
        frontEnd = std::move(user);
        break;
    }
    case idNone:
        return faxresult::BadArgument;
    }
    int result = FaxConverterEngine::CreateEngine(std::move(frontEnd), engine_);
    if (result != 0) {
        return result;
    }
    engineType_ = type;
    engine_->SetOptions(static_cast<std::uint16_t>(options_), 0xFFFF);
    engine_->SetLeftMargin(static_cast<int>(leftMargin_));
    engine_->SetTopMargin(static_cast<int>(topMargin_));
    engine_->SetHighResolution(resolution_ == frHigh);
    engine_->SetWidth(width_ == fwWide ? FaxConverterEngine::WideWidth
                                       : FaxConverterEngine::NormalWidth);
    engine_->SetStationId(stationId_.toStdString());
    engine_->SetStatusCallback([this](FaxConverterEngine::StatusCode code,
                                      const FaxConverterEngine& engine) {
        if (!OnStatus) {
            return 0;
        }
        bool abort = false;
        OnStatus(this, code == FaxConverterEngine::StatusCode::Starting,
                 code == FaxConverterEngine::StatusCode::Ending,
                 static_cast<int>(engine.PageNumber()), engine.LinesOnPage(), engine.BytesRead(),
                 engine.BytesTotal(), abort);
        return abort ? 1 : 0;
    });
    engine_->SetYieldFunction([] {
        QCoreApplication::processEvents();
        return QCoreApplication::closingDown() ? faxresult::GotQuitMessage : 0;
    });
    return 0;
}

int TQpFaxConverter::Convert(const std::string& input, const std::string& output) {
    return engine_->ConvertFile(input, output);
}

void TQpFaxConverter::ConvertDocument() {
    if (inputType_ == idNone || inputType_ == idBitmap) {
        qpfax::RaiseFaxImageError(faxresult::BadArgument);
    }
    int result = BuildEngine(inputType_, FaxRaster());
    if (result == 0) {
        result = inputType_ == idBmp
                     ? ConvertBmp()
                     : Convert(documentFile_.toStdString(), outFileName_.toStdString());
    }
    qpfax::RaiseFaxImageError(result);
}

// A BMP that is not monochrome is dithered into a temporary "~DIT" file first, which is
// converted instead and deleted afterwards; when that fails the file itself is used.
int TQpFaxConverter::ConvertBmp() {
    const std::string input =
        FaxConverterEngine::InputNameFor(documentFile_.toStdString(), "BMP");
    const std::string output = FaxConverterEngine::OutputNameFor(input, outFileName_.toStdString());
    if (BmpFrontEnd::CheckMonochrome(input) == 0) {
        return Convert(input, output);
    }
    const std::string dithered = DitherToTemporaryFile(input);
    if (dithered.empty()) {
        return Convert(input, output);
    }
    const int result = Convert(dithered, output);
    std::remove(dithered.c_str());
    return result;
}

std::string TQpFaxConverter::DitherToTemporaryFile(const std::string& input) {
    BusyCursor busy;
    const QImage image(QString::fromStdString(input));
    if (image.isNull() || image.depth() == 1) {
        return {};
    }
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    const FaxRaster raster =
        ThresholdDither::Dither(rgb.width(), rgb.height(), [&rgb](int y, std::uint8_t* means) {
            const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
            for (int x = 0; x < rgb.width(); ++x) {
                means[x] = static_cast<std::uint8_t>(
                    (qRed(line[x]) + qGreen(line[x]) + qBlue(line[x])) / 3);
            }
        });
    const std::string name = ThresholdDither::CreateTemporaryFile();
    if (name.empty()) {
        return {};
    }
    if (ThresholdDither::WriteMonochromeBmp(raster, name) != 0) {
        std::remove(name.c_str());
        return {};
    }
    return name;
}

void TQpFaxConverter::ConvertBitmapToFile(const QString& outFileName, const QImage& bitmap) {
    if (bitmap.isNull()) {
        qpfax::RaiseFaxImageError(faxresult::BadArgument);
    }
    int result = BuildEngine(idBitmap, RasterFromImage(bitmap));
    if (result == 0) {
        result = Convert(std::string(), outFileName.toStdString());
    }
    qpfax::RaiseFaxImageError(result);
}

FaxRaster TQpFaxConverter::RasterFromImage(const QImage& image) {
    if (image.isNull()) {
        return FaxRaster();
    }
    const QImage mono = image.format() == QImage::Format_Mono
                            ? image
                            : image.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither);
    FaxRaster raster(mono.width(), mono.height());
    // Which colour index is black depends on the picture's colour table.
    const QList<QRgb> colours = mono.colorTable();
    const bool blackIsOne = colours.size() < 2 || qGray(colours[1]) < qGray(colours[0]);
    for (int y = 0; y < mono.height(); ++y) {
        const uchar* in = mono.constScanLine(y);
        std::uint8_t* out = raster.Row(y);
        for (int index = 0; index < raster.BytesPerRow(); ++index) {
            out[index] = blackIsOne ? in[index] : static_cast<std::uint8_t>(~in[index]);
        }
        const int unused = raster.BytesPerRow() * 8 - raster.Width();
        out[raster.BytesPerRow() - 1] &= static_cast<std::uint8_t>(0xFF << unused);
    }
    return raster;
}
