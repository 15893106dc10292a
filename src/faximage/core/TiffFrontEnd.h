#pragma once

#include <cstdint>
#include <vector>

#include "faximage/core/BinaryInput.h"
#include "faximage/core/FaxFrontEnd.h"

// The first image of a TIFF file: 1 bit per sample, uncompressed or PackBits, either byte
// order, one or more strips.
class TiffFrontEnd final : public FaxFrontEnd {
public:
    std::string DefaultExtension() const override { return "TIF"; }
    int Open(FaxConverterEngine& engine, const std::string& fileName) override;
    int ReadLine(FaxConverterEngine& engine, std::uint8_t* raster, int& length, bool& morePages,
                 bool& endOfPage) override;
    void Close(FaxConverterEngine& engine) override;

private:
    std::uint16_t Get16(const std::uint8_t* p) const;
    std::uint32_t Get32(const std::uint8_t* p) const;
    int ReadDirectory();
    int ReadStripArray(std::uint32_t offset, std::uint32_t count, std::uint16_t type,
                       std::vector<std::uint32_t>& values);
    int ReadRow(std::uint8_t* raster);
    int ReadPackBitsRow(std::uint8_t* raster);

    BinaryInput input_;
    bool bigEndian_ = false;
    std::uint32_t width_ = 0;
    std::uint32_t length_ = 0;
    std::uint32_t bytesPerRow_ = 0;
    std::uint8_t lastByteMask_ = 0xFF;
    std::uint32_t compression_ = 1;
    std::uint32_t photometric_ = 0;
    bool lsbFirst_ = false; // fill order 2: leftmost pixel in bit 0
    std::uint32_t rowsPerStrip_ = 0;
    std::vector<std::uint32_t> stripOffsets_;
    std::uint32_t rowsRead_ = 0;
    std::uint32_t rowsInStrip_ = 0;
    std::size_t strip_ = 0;
    unsigned pendingCount_ = 0; // bytes left of the current PackBits run
    bool pendingLiteral_ = false;
    std::uint8_t pendingValue_ = 0;
};
