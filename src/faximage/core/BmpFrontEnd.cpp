#include "faximage/core/BmpFrontEnd.h"

#include <algorithm>
#include <cstdlib>

#include "faximage/core/FaxConverterEngine.h"
#include "faximage/core/FaxImageResult.h"
#include "faximage/core/LittleEndian.h"

namespace {

constexpr int kFileHeaderSize = 14;
constexpr int kInfoHeaderSize = 40;
constexpr std::uint16_t kBmType = 19778; // "BM"

int Brightness(const std::uint8_t* bgr) {
    return bgr[0] + bgr[1] + bgr[2];
}

} // namespace

int BmpFrontEnd::CheckMonochrome(const std::string& fileName) {
    BinaryInput input;
    std::uint8_t header[kFileHeaderSize + kInfoHeaderSize];
    int result = input.Open(fileName);
    if (result == 0) {
        result = input.ReadExact(header, sizeof header);
    }
    if (result != 0) {
        return result == faxresult::ReadBeyondEof ? faxresult::UnsupportedGraphics : result;
    }
    const bool mono = le::Get16(header) == kBmType && le::Get16(header + 28) == 1;
    return mono ? 0 : faxresult::UnsupportedGraphics;
}

int BmpFrontEnd::Open(FaxConverterEngine& engine, const std::string& fileName) {
    int result = input_.Open(fileName);
    std::uint8_t header[kFileHeaderSize + kInfoHeaderSize];
    if (result == 0) {
        result = input_.ReadExact(header, sizeof header);
    }
    if (result == faxresult::ReadBeyondEof) {
        return faxresult::UnsupportedGraphics;
    }
    if (result != 0) {
        return result;
    }
    const std::uint8_t* info = header + kFileHeaderSize;
    const std::int32_t width = static_cast<std::int32_t>(le::Get32(info + 4));
    const std::int32_t height = static_cast<std::int32_t>(le::Get32(info + 8));
    const std::uint16_t bitsPerPixel = le::Get16(info + 14);
    const std::uint32_t compression = le::Get32(info + 16);
    const std::uint32_t infoSize = le::Get32(info);
    if (le::Get16(header) != kBmType || bitsPerPixel != 1 || width <= 0 ||
        width > engine.PageWidth() || compression != 0 || height == INT32_MIN) {
        return faxresult::UnsupportedGraphics;
    }
    width_ = width;
    height_ = std::abs(height);
    topDown_ = height < 0;
    bytesPerRow_ = static_cast<std::uint32_t>((width + 7) / 8);
    paddedRow_ = (bytesPerRow_ + 3) / 4 * 4;
    pixelOffset_ = le::Get32(header + 10);
    const std::uint64_t pixelBytes =
        std::uint64_t{paddedRow_} * static_cast<std::uint64_t>(height_);
    if (pixelOffset_ + pixelBytes > input_.Size()) {
        return faxresult::UnsupportedGraphics;
    }
    // Monochrome bitmaps have black at index 0; some writers put white there instead.
    invert_ = true;
    std::uint8_t palette[8];
    if (infoSize >= kInfoHeaderSize &&
        kFileHeaderSize + std::uint64_t{infoSize} + sizeof palette <= pixelOffset_ &&
        input_.Seek(kFileHeaderSize + infoSize) == 0 && input_.ReadExact(palette, 8) == 0) {
        invert_ = Brightness(palette) <= Brightness(palette + 4);
    }
    engine.ApplyImageOptions(width_);
    engine.SetBytesTotal(static_cast<std::uint32_t>(
        std::min<std::uint64_t>(std::uint64_t{bytesPerRow_} * height_, UINT32_MAX)));
    row_ = 0;
    return 0;
}

int BmpFrontEnd::ReadLine(FaxConverterEngine& engine, std::uint8_t* raster, int& length,
                          bool& morePages, bool& endOfPage) {
    morePages = false;
    if (row_ >= height_) {
        endOfPage = true;
        return 0;
    }
    const std::uint64_t fileRow = topDown_ ? row_ : height_ - 1 - row_;
    int result = input_.Seek(pixelOffset_ + fileRow * paddedRow_);
    if (result == 0) {
        result = input_.ReadExact(raster, bytesPerRow_);
    }
    if (result != 0) {
        return result;
    }
    ++row_;
    const int unusedBits = static_cast<int>(bytesPerRow_ * 8) - width_;
    const std::uint8_t unusedMask = static_cast<std::uint8_t>((1u << unusedBits) - 1);
    std::uint8_t& last = raster[bytesPerRow_ - 1];
    if (invert_) {
        last |= unusedMask;
        for (std::uint32_t index = 0; index < bytesPerRow_; ++index) {
            raster[index] = static_cast<std::uint8_t>(~raster[index]);
        }
    } else {
        last &= static_cast<std::uint8_t>(~unusedMask);
    }
    engine.AddBytesRead(bytesPerRow_);
    length = static_cast<int>(bytesPerRow_);
    engine.ShiftForCentering(raster, length);
    return 0;
}

void BmpFrontEnd::Close(FaxConverterEngine&) {
    input_.Close();
}
