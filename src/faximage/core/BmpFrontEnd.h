#pragma once

#include <cstdint>

#include "faximage/core/BinaryInput.h"
#include "faximage/core/FaxFrontEnd.h"

// A Windows BMP file of 1 bit per pixel (other depths are dithered to such a file by the
// converter component first). Rows are delivered top first.
class BmpFrontEnd final : public FaxFrontEnd {
public:
    std::string DefaultExtension() const override { return "BMP"; }
    int Open(FaxConverterEngine& engine, const std::string& fileName) override;
    int ReadLine(FaxConverterEngine& engine, std::uint8_t* raster, int& length, bool& morePages,
                 bool& endOfPage) override;
    void Close(FaxConverterEngine& engine) override;

    // Reads the headers only: 0 when the file is a BMP of 1 bit per pixel, -8002 when it
    // is some other BMP or no BMP at all.
    static int CheckMonochrome(const std::string& fileName);

private:
    BinaryInput input_;
    int width_ = 0;
    int height_ = 0;
    bool topDown_ = false;
    bool invert_ = true;
    std::uint32_t bytesPerRow_ = 0;
    std::uint32_t paddedRow_ = 0;
    std::uint64_t pixelOffset_ = 0;
    int row_ = 0;
};
