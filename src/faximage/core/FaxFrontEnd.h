#pragma once

#include <cstdint>
#include <string>

class FaxConverterEngine;

// One input format of the converter: opens the input, delivers raster lines (MSB first,
// 1 = black) one at a time and closes. Results are 0 or a negative code (faxresult).
class FaxFrontEnd {
public:
    virtual ~FaxFrontEnd() = default;

    // The extension appended to an input name that has none ("TXT", "TIF", ...).
    virtual std::string DefaultExtension() const = 0;
    virtual int Open(FaxConverterEngine& engine, const std::string& fileName) = 0;
    // Fills `raster` (cleared, FaxConverterEngine::RasterBufferSize bytes) with one line and
    // sets its length in bytes; or reports the end of the page instead of a line, saying
    // whether more pages follow.
    virtual int ReadLine(FaxConverterEngine& engine, std::uint8_t* raster, int& length,
                         bool& morePages, bool& endOfPage) = 0;
    virtual void Close(FaxConverterEngine& engine) = 0;
};
