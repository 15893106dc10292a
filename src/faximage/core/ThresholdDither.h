#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "faximage/core/FaxRaster.h"

// Ordered dithering of colour pictures to monochrome with the converter's 16 x 16
// threshold matrix, and the temporary 1-bit BMP file the converter then reads.
class ThresholdDither {
public:
    // T[i][j] for column i and row j (each 0..15): 0..124 in steps of 4.
    static int Threshold(int column, int row);

    // Fills `means` with the mean of red, green and blue (0..255) of each pixel of row y.
    using RowMeans = std::function<void(int y, std::uint8_t* means)>;
    // A pixel becomes white when its threshold is below its mean, else black.
    static FaxRaster Dither(int width, int height, const RowMeans& rowMeans);

    // Writes a 1-bit BMP (bottom-up, black at palette index 0). 0 or a negative code.
    static int WriteMonochromeBmp(const FaxRaster& raster, const std::string& fileName);
    // Creates an empty file named by the system in its temporary folder, with prefix
    // "~DIT" and extension ".BMP"; returns its name, or an empty string on failure.
    static std::string CreateTemporaryFile();
};
