#include "faximage/core/FaxRaster.h"

FaxRaster::FaxRaster(int width, int height)
    : width_(width > 0 ? width : 0), height_(height > 0 ? height : 0),
      bytesPerRow_((width_ + 7) / 8),
      bits_(static_cast<std::size_t>(bytesPerRow_) * static_cast<std::size_t>(height_)) {}

void FaxRaster::SetPixel(int x, int y, bool black) {
    std::uint8_t mask = static_cast<std::uint8_t>(0x80 >> (x & 7));
    if (black) {
        Row(y)[x >> 3] |= mask;
    } else {
        Row(y)[x >> 3] &= static_cast<std::uint8_t>(~mask);
    }
}
