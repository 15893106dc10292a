#include "faximage/core/FaxPictureBuilder.h"

#include <algorithm>
#include <cstring>

#include "faximage/core/FaxImageResult.h"
#include "faximage/core/RasterScaler.h"

void FaxPictureBuilder::Start(bool wide, bool invert) {
    rowBytes_ = wide ? 256 : 216;
    invert_ = invert;
    rows_ = 0;
    usedBytes_ = 0;
    memory_.assign(static_cast<std::size_t>(rowBytes_) * RowStep, invert ? 0xFF : 0x00);
}

int FaxPictureBuilder::AddLine(const std::uint8_t* data, unsigned length) {
    if (rows_ >= MaxRows) {
        return faxresult::OutOfMemory;
    }
    if (rows_ > 0 && rows_ % RowStep == 0) {
        memory_.resize(memory_.size() + static_cast<std::size_t>(rowBytes_) * RowStep,
                       invert_ ? 0xFF : 0x00);
    }
    std::uint8_t* row = memory_.data() + static_cast<std::size_t>(rows_) * rowBytes_;
    const unsigned copied = std::min<unsigned>(length, static_cast<unsigned>(rowBytes_));
    if (data && copied > 0) {
        std::memcpy(row, data, copied);
    }
    ++rows_;
    usedBytes_ = std::max(usedBytes_, UsedBytes(row));
    return 0;
}

int FaxPictureBuilder::UsedBytes(const std::uint8_t* row) const {
    const std::uint8_t white = invert_ ? 0xFF : 0x00;
    for (int index = rowBytes_ - 1; index >= usedBytes_; --index) {
        if (row[index] != white) {
            return index + 1;
        }
    }
    return usedBytes_;
}

int FaxPictureBuilder::Finish(int horizMult, int horizDiv, int vertMult, int vertDiv,
                              FaxRaster& result) {
    result = FaxRaster();
    if (rows_ == 0 || usedBytes_ == 0) {
        memory_.clear();
        return 0;
    }
    const int width = (usedBytes_ + 1) / 2 * 2;
    FaxRaster picture(width * 8, rows_);
    for (int y = 0; y < rows_; ++y) {
        const std::uint8_t* row = memory_.data() + static_cast<std::size_t>(y) * rowBytes_;
        std::memcpy(picture.Row(y), row, static_cast<std::size_t>(std::min(width, rowBytes_)));
        if (width > rowBytes_) {
            std::memset(picture.Row(y) + rowBytes_, invert_ ? 0xFF : 0x00,
                        static_cast<std::size_t>(width - rowBytes_));
        }
    }
    memory_.clear();
    memory_.shrink_to_fit();
    if (horizMult == horizDiv && vertMult == vertDiv) {
        result = std::move(picture);
        return 0;
    }
    const long long newWidth = static_cast<long long>(horizMult) * picture.Width() / horizDiv;
    const long long newHeight = static_cast<long long>(vertMult) * picture.Height() / vertDiv;
    if (newWidth <= 0 || newHeight <= 0 || newWidth > 65536 || newHeight > 4 * MaxRows) {
        return faxresult::CantMakeBitmap;
    }
    result =
        RasterScaler::Stretch(picture, static_cast<int>(newWidth), static_cast<int>(newHeight));
    return 0;
}
