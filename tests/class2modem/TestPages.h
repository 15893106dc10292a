#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "faximage/core/FaxRaster.h"

// Pages for the emulated modem's tests, made and read back with independent code: the
// project's own T.4 coder and decoder (the bit order of APF files) and libtiff.
namespace testpages {

// A page with a repeatable pattern of black boxes and stripes; `seed` varies it.
FaxRaster Pattern(int width, int rows, int seed);
// The page coded as the fax engine sends it: each line an EOL and its runs (as in APF
// line records), then the end-of-page sequence; least significant bit first.
std::vector<std::uint8_t> Code(const FaxRaster& page);
// Decodes one-dimensional T.4 data (least significant bit first) into rows.
FaxRaster Decode(const std::vector<std::uint8_t>& data, int width);
// Writes pages to a multi-page TIFF file (Group 3, 204 x 98 or 196 dpi).
bool WriteTiff(const std::string& path, const std::vector<FaxRaster>& pages, bool fine);
// Reads every page of a TIFF file; also tells the vertical resolution of the first.
std::vector<FaxRaster> ReadTiff(const std::string& path, float* yResolution = nullptr);
// The data with every byte's bit order reversed.
std::vector<std::uint8_t> Reversed(std::vector<std::uint8_t> data);
// "DLE doubled" data as it goes to the modem.
std::vector<std::uint8_t> Stuffed(const std::vector<std::uint8_t>& data);

} // namespace testpages
