#include "faximage/core/RasterScaler.h"

#include <cstring>
#include <vector>

FaxRaster RasterScaler::Stretch(const FaxRaster& source, int width, int height) {
    FaxRaster result(width, height);
    if (source.IsEmpty() || result.IsEmpty()) {
        return result;
    }
    std::vector<int> sourceX(static_cast<std::size_t>(width));
    for (int x = 0; x < width; ++x) {
        sourceX[static_cast<std::size_t>(x)] =
            static_cast<int>(static_cast<long long>(x) * source.Width() / width);
    }
    int previousSourceY = -1;
    for (int y = 0; y < height; ++y) {
        const int sourceY = static_cast<int>(static_cast<long long>(y) * source.Height() / height);
        std::uint8_t* row = result.Row(y);
        if (sourceY == previousSourceY) {
            std::memcpy(row, result.Row(y - 1), static_cast<std::size_t>(result.BytesPerRow()));
            continue;
        }
        previousSourceY = sourceY;
        const std::uint8_t* from = source.Row(sourceY);
        for (int x = 0; x < width; ++x) {
            const int sx = sourceX[static_cast<std::size_t>(x)];
            if ((from[sx >> 3] >> (7 - (sx & 7))) & 1) {
                row[x >> 3] |= static_cast<std::uint8_t>(0x80 >> (x & 7));
            }
        }
    }
    return result;
}
