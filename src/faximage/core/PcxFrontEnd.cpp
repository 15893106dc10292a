#include "faximage/core/PcxFrontEnd.h"

#include "faximage/core/FaxConverterEngine.h"

int PcxFrontEnd::Open(FaxConverterEngine& engine, const std::string& fileName) {
    int result = input_.Open(fileName);
    if (result == 0) {
        result = image_.Start(input_, 0, input_.Size(), engine.PageWidth());
    }
    if (result == 0) {
        engine.ApplyImageOptions(image_.ImageWidth());
        engine.SetBytesTotal(static_cast<std::uint32_t>(image_.DataSize()));
    }
    return result;
}

int PcxFrontEnd::ReadLine(FaxConverterEngine& engine, std::uint8_t* raster, int& length,
                          bool& morePages, bool& endOfPage) {
    morePages = false;
    if (!image_.DataLeft()) {
        endOfPage = true;
        return 0;
    }
    const int result = image_.ReadRow(input_, raster, FaxConverterEngine::RasterBufferSize, length);
    engine.SetBytesRead(static_cast<std::uint32_t>(image_.Consumed()));
    if (result == 0) {
        engine.ShiftForCentering(raster, length);
    }
    return result;
}

void PcxFrontEnd::Close(FaxConverterEngine&) {
    input_.Close();
}
