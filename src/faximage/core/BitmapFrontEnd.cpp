#include "faximage/core/BitmapFrontEnd.h"

#include <algorithm>
#include <cstring>

#include "faximage/core/FaxConverterEngine.h"
#include "faximage/core/FaxImageResult.h"

int BitmapFrontEnd::Open(FaxConverterEngine& engine, const std::string&) {
    if (picture_.IsEmpty()) {
        return faxresult::BadArgument;
    }
    engine.ApplyImageOptions(picture_.Width());
    engine.SetBytesTotal(static_cast<std::uint32_t>(picture_.Bits().size()));
    row_ = 0;
    return 0;
}

int BitmapFrontEnd::ReadLine(FaxConverterEngine& engine, std::uint8_t* raster, int& length,
                             bool& morePages, bool& endOfPage) {
    morePages = false;
    if (row_ >= picture_.Height()) {
        endOfPage = true;
        return 0;
    }
    length = std::min(picture_.BytesPerRow(), FaxConverterEngine::RasterBufferSize);
    std::memcpy(raster, picture_.Row(row_), static_cast<std::size_t>(length));
    ++row_;
    engine.AddBytesRead(static_cast<std::uint32_t>(picture_.BytesPerRow()));
    engine.ShiftForCentering(raster, length);
    return 0;
}
