#pragma once

#include "faximage/core/FaxRaster.h"

// Stretches a raster to a new size by plain pixel copy (nearest pixel, no blending).
class RasterScaler {
public:
    static FaxRaster Stretch(const FaxRaster& source, int width, int height);
};
