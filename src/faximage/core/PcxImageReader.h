#pragma once

#include <cstdint>

#include "faximage/core/BinaryInput.h"

// One 1-bit PCX image inside a file (a PCX file, or a page of a DCX file): checks the
// 128-byte header and decodes its run-length rows, inverted so that 1 is black.
class PcxImageReader {
public:
    // Reads the header at `offset`; the image's data are `size` - 128 bytes. -8002 unless
    // manufacturer 10, encoding 1, 1 bit per pixel, one plane and a width (xmax - xmin)
    // not above `pageWidth`.
    int Start(BinaryInput& input, std::uint64_t offset, std::uint64_t size, int pageWidth);
    int ImageWidth() const { return imageWidth_; }
    std::uint64_t DataSize() const { return dataSize_; }
    bool DataLeft() const { return consumed_ < dataSize_; }
    // Decodes one row into `raster` (at most `capacity` bytes stored); `length` is the
    // number of bytes stored.
    int ReadRow(BinaryInput& input, std::uint8_t* raster, int capacity, int& length);
    std::uint64_t Consumed() const { return consumed_; }

private:
    int NextByte(BinaryInput& input, std::uint8_t& value);
    void MaskBeyondImage(std::uint8_t* raster, int length) const;

    int imageWidth_ = 0;
    int bytesPerLine_ = 0;
    std::uint64_t dataSize_ = 0;
    std::uint64_t consumed_ = 0;
    int repeat_ = 0;
    std::uint8_t repeatValue_ = 0;
};
