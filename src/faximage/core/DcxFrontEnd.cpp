#include "faximage/core/DcxFrontEnd.h"

#include <algorithm>

#include "faximage/core/FaxConverterEngine.h"
#include "faximage/core/FaxImageResult.h"
#include "faximage/core/LittleEndian.h"

int DcxFrontEnd::Open(FaxConverterEngine& engine, const std::string& fileName) {
    int result = input_.Open(fileName);
    if (result != 0) {
        return result;
    }
    std::uint8_t table[4 + 4 * MaxPages];
    std::size_t got = 0;
    result = input_.ReadSome(table, sizeof table, got);
    if (result != 0) {
        return result;
    }
    if (got < 4 || le::Get32(table) != Magic) {
        return faxresult::UnsupportedGraphics;
    }
    offsets_.clear();
    for (std::size_t at = 4; at + 4 <= got; at += 4) {
        const std::uint32_t offset = le::Get32(table + at);
        if (offset == 0) {
            break;
        }
        offsets_.push_back(offset);
    }
    if (offsets_.empty()) {
        return faxresult::UnsupportedGraphics;
    }
    std::vector<std::uint32_t> sorted = offsets_;
    std::sort(sorted.begin(), sorted.end());
    sizes_.clear();
    std::uint64_t total = 0;
    for (std::uint32_t offset : offsets_) {
        const auto next = std::upper_bound(sorted.begin(), sorted.end(), offset);
        const std::uint64_t end = next == sorted.end() ? input_.Size() : *next;
        const std::uint64_t size = end > offset ? end - offset : 0;
        sizes_.push_back(size);
        total += size > 128 ? size - 128 : 0;
    }
    engine.SetBytesTotal(static_cast<std::uint32_t>(std::min<std::uint64_t>(total, UINT32_MAX)));
    bytesBeforePage_ = 0;
    return StartPage(engine, 0);
}

int DcxFrontEnd::StartPage(FaxConverterEngine& engine, std::size_t index) {
    page_ = index;
    const int result = image_.Start(input_, offsets_[index], sizes_[index], engine.PageWidth());
    if (result == 0) {
        engine.ApplyImageOptions(image_.ImageWidth());
    }
    return result;
}

int DcxFrontEnd::ReadLine(FaxConverterEngine& engine, std::uint8_t* raster, int& length,
                          bool& morePages, bool& endOfPage) {
    if (!image_.DataLeft()) {
        endOfPage = true;
        morePages = page_ + 1 < offsets_.size();
        bytesBeforePage_ += static_cast<std::uint32_t>(image_.Consumed());
        return morePages ? StartPage(engine, page_ + 1) : 0;
    }
    const int result = image_.ReadRow(input_, raster, FaxConverterEngine::RasterBufferSize, length);
    engine.SetBytesRead(bytesBeforePage_ + static_cast<std::uint32_t>(image_.Consumed()));
    if (result == 0) {
        engine.ShiftForCentering(raster, length);
    }
    return result;
}

void DcxFrontEnd::Close(FaxConverterEngine&) {
    input_.Close();
}
