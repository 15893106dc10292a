#include "faximage/TQpFaxUnpacker.h"

#include <cstring>

#include <QCoreApplication>
#include <QFileInfo>

#include "faximage/FaxImageExceptions.h"
#include "faximage/core/FaxImageResult.h"

TQpFaxUnpacker::TQpFaxUnpacker(QObject* parent) : QObject(parent) {}

TQpFaxUnpacker::~TQpFaxUnpacker() = default;

void TQpFaxUnpacker::SetOptions(TUnpackerOptions options) {
    options_ = options;
    if (engine_) {
        engine_->SetYield(options & uoYield);
        if (options & uoAbort) {
            engine_->SetAbort(true);
        }
    }
}

void TQpFaxUnpacker::SetHorizMult(int value) {
    if (value != 0) {
        horizMult_ = value;
    }
}
void TQpFaxUnpacker::SetHorizDiv(int value) {
    if (value != 0) {
        horizDiv_ = value;
    }
}
void TQpFaxUnpacker::SetVertMult(int value) {
    if (value != 0) {
        vertMult_ = value;
    }
}
void TQpFaxUnpacker::SetVertDiv(int value) {
    if (value != 0) {
        vertDiv_ = value;
    }
}

void TQpFaxUnpacker::SetInFileName(const QString& fileName) {
    if (fileName.compare(inFileName_, Qt::CaseInsensitive) == 0) {
        inFileName_ = fileName;
        return;
    }
    inFileName_ = fileName;
    if (engine_) {
        engine_->CloseFile();
    }
    const QFileInfo info(fileName);
    const QString suffix = info.suffix();
    outFileName_ = suffix.isEmpty() ? fileName : fileName.left(fileName.size() - suffix.size() - 1);
}

std::string TQpFaxUnpacker::FileName() const {
    return inFileName_.toStdString();
}

// Sets the engine up from the properties. The engine itself lives on between operations,
// so the file it keeps open and the page headers found in it serve the next page too.
void TQpFaxUnpacker::PrepareEngine() {
    if (!engine_) {
        engine_ = std::make_unique<FaxUnpackerEngine>();
        engine_->SetStatus([this](const std::string& fileName, unsigned page, std::uint32_t total,
                                  std::uint32_t done) {
            if (OnStatus) {
                OnStatus(this, QString::fromStdString(fileName), page, done, total);
            }
        });
        engine_->SetYieldHandler([] { QCoreApplication::processEvents(); });
    }
    engine_->SetFlags(0);
    engine_->SetYield(options_ & uoYield);
    if (autoScaleMode_ == asDoubleHeight) {
        engine_->SetDoubleHeight(true);
    } else if (autoScaleMode_ == asHalfWidth) {
        engine_->SetHalfWidth(true);
    }
    engine_->SetWhitespaceCompression(0, 0);
    if (whitespaceCompression_) {
        qpfax::RaiseFaxImageError(
            engine_->SetWhitespaceCompression(whitespaceFrom_, whitespaceTo_));
    }
    engine_->SetScaling(1, 1, 1, 1);
    if (scaling_) {
        engine_->SetScaling(horizMult_, horizDiv_, vertMult_, vertDiv_);
    }
}

int TQpFaxUnpacker::PageCount() {
    PrepareEngine();
    unsigned count = 0;
    qpfax::RaiseFaxImageError(FaxUnpackerEngine::ReadPageCount(FileName(), count));
    return static_cast<int>(count);
}

bool TQpFaxUnpacker::FirstPageIsFine() {
    PrepareEngine();
    ApfPageHeader header;
    qpfax::RaiseFaxImageError(engine_->PageHeader(FileName(), 1, header));
    return header.IsFine();
}

bool TQpFaxUnpacker::FirstPageIsWide() {
    PrepareEngine();
    ApfPageHeader header;
    qpfax::RaiseFaxImageError(engine_->PageHeader(FileName(), 1, header));
    return header.IsWide();
}

QImage TQpFaxUnpacker::DecodePageToBitmap(int page) {
    PrepareEngine();
    FaxRaster raster;
    const unsigned pageNumber = page > 0 ? static_cast<unsigned>(page) : 0;
    qpfax::RaiseFaxImageError(engine_->UnpackPageToRaster(FileName(), pageNumber, false, raster));
    QImage image = ImageFromRaster(raster);
    if (!raster.IsEmpty() && image.isNull()) {
        qpfax::RaiseFaxImageError(faxresult::CantMakeBitmap);
    }
    return image;
}

QImage TQpFaxUnpacker::ImageFromRaster(const FaxRaster& raster) {
    if (raster.IsEmpty()) {
        return QImage();
    }
    QImage image(raster.Width(), raster.Height(), QImage::Format_Mono);
    if (image.isNull()) {
        return image;
    }
    image.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
    for (int y = 0; y < raster.Height(); ++y) {
        std::memcpy(image.scanLine(y), raster.Row(y),
                    static_cast<std::size_t>(raster.BytesPerRow()));
    }
    return image;
}
