#pragma once

#include <cstdint>
#include <vector>

#include "faximage/core/BinaryInput.h"
#include "faximage/core/FaxFrontEnd.h"
#include "faximage/core/PcxImageReader.h"

// A DCX file: up to 1024 PCX pages listed in a table of offsets after the magic number.
class DcxFrontEnd final : public FaxFrontEnd {
public:
    static constexpr std::uint32_t Magic = 987654321;
    static constexpr int MaxPages = 1024;

    std::string DefaultExtension() const override { return "DCX"; }
    int Open(FaxConverterEngine& engine, const std::string& fileName) override;
    int ReadLine(FaxConverterEngine& engine, std::uint8_t* raster, int& length, bool& morePages,
                 bool& endOfPage) override;
    void Close(FaxConverterEngine& engine) override;

private:
    int StartPage(FaxConverterEngine& engine, std::size_t index);

    BinaryInput input_;
    PcxImageReader image_;
    std::vector<std::uint32_t> offsets_;
    std::vector<std::uint64_t> sizes_;
    std::size_t page_ = 0;
    std::uint32_t bytesBeforePage_ = 0;
};
