#pragma once

#include "faximage/core/BinaryInput.h"
#include "faximage/core/FaxFrontEnd.h"
#include "faximage/core/PcxImageReader.h"

// A 1-bit PCX file: one page, rows until the run-length data are exhausted.
class PcxFrontEnd final : public FaxFrontEnd {
public:
    std::string DefaultExtension() const override { return "PCX"; }
    int Open(FaxConverterEngine& engine, const std::string& fileName) override;
    int ReadLine(FaxConverterEngine& engine, std::uint8_t* raster, int& length, bool& morePages,
                 bool& endOfPage) override;
    void Close(FaxConverterEngine& engine) override;

private:
    BinaryInput input_;
    PcxImageReader image_;
};
