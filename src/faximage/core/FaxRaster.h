#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// A 1-bit raster: rows of (width + 7) / 8 bytes, most significant bit leftmost, 1 = black.
class FaxRaster {
public:
    FaxRaster() = default;
    // A white raster; throws std::bad_alloc when it cannot be allocated.
    FaxRaster(int width, int height);

    int Width() const { return width_; }
    int Height() const { return height_; }
    int BytesPerRow() const { return bytesPerRow_; }
    bool IsEmpty() const { return width_ == 0 || height_ == 0; }

    std::uint8_t* Row(int y) { return bits_.data() + static_cast<std::size_t>(y) * bytesPerRow_; }
    const std::uint8_t* Row(int y) const {
        return bits_.data() + static_cast<std::size_t>(y) * bytesPerRow_;
    }
    const std::vector<std::uint8_t>& Bits() const { return bits_; }

    bool Pixel(int x, int y) const { return (Row(y)[x >> 3] >> (7 - (x & 7))) & 1; }
    void SetPixel(int x, int y, bool black);

    bool operator==(const FaxRaster& other) const = default;

private:
    int width_ = 0;
    int height_ = 0;
    int bytesPerRow_ = 0;
    std::vector<std::uint8_t> bits_;
};
