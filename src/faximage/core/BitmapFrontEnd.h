#pragma once

#include "faximage/core/FaxFrontEnd.h"
#include "faximage/core/FaxRaster.h"

// A monochrome picture in memory (1 = black), delivered row by row as one page.
class BitmapFrontEnd final : public FaxFrontEnd {
public:
    explicit BitmapFrontEnd(FaxRaster picture) : picture_(std::move(picture)) {}

    std::string DefaultExtension() const override { return ""; }
    int Open(FaxConverterEngine& engine, const std::string& fileName) override;
    int ReadLine(FaxConverterEngine& engine, std::uint8_t* raster, int& length, bool& morePages,
                 bool& endOfPage) override;
    void Close(FaxConverterEngine&) override {}

private:
    FaxRaster picture_;
    int row_ = 0;
};
