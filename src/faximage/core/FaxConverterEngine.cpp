#include "faximage/core/FaxConverterEngine.h"

#include <cstring>
#include <new>

#include "faximage/core/FaxImageResult.h"
#include "faximage/core/LittleEndian.h"

namespace {

constexpr unsigned kMaxPages = 65535; // the page count is a 16-bit field

// Position of the extension's dot in the last path component, or npos.
std::size_t ExtensionDot(const std::string& name) {
    const std::size_t slash = name.find_last_of('/');
    const std::size_t dot = name.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        return std::string::npos;
    }
    return dot;
}

} // namespace

FaxConverterEngine::FaxConverterEngine(std::unique_ptr<FaxFrontEnd> frontEnd)
    : frontEnd_(std::move(frontEnd)), coder_(std::make_unique<FaxLineCoder>()),
      raster_(std::make_unique<std::uint8_t[]>(RasterBufferSize + FaxLineCoder::RasterSlack)),
      output_(std::make_unique<BufferedFileWriter>()) {}

FaxConverterEngine::~FaxConverterEngine() = default;

int FaxConverterEngine::CreateEngine(std::unique_ptr<FaxFrontEnd> frontEnd,
                                     std::unique_ptr<FaxConverterEngine>& result) {
    try {
        result = std::make_unique<FaxConverterEngine>(std::move(frontEnd));
    } catch (const std::bad_alloc&) {
        return faxresult::OutOfMemory;
    }
    return 0;
}

void FaxConverterEngine::SetOptions(std::uint16_t set, std::uint16_t clear) {
    options_ = static_cast<std::uint16_t>((options_ & ~clear) | set);
}

std::string FaxConverterEngine::OutputNameFor(const std::string& inputName,
                                              const std::string& outputName) {
    if (!outputName.empty()) {
        return ExtensionDot(outputName) == std::string::npos ? outputName + ".APF" : outputName;
    }
    const std::size_t dot = ExtensionDot(inputName);
    return (dot == std::string::npos ? inputName : inputName.substr(0, dot)) + ".APF";
}

std::string FaxConverterEngine::InputNameFor(const std::string& inputName,
                                             const std::string& extension) {
    if (inputName.empty() || extension.empty() || ExtensionDot(inputName) != std::string::npos) {
        return inputName;
    }
    return inputName + "." + extension;
}

void FaxConverterEngine::ApplyImageOptions(int imageWidth) {
    const int w = imageWidth;
    const int W = pageWidth_;
    doubleWidth_ = (options_ & coDoubleWidth) && !highResolution_ && W - leftMargin_ >= 2 * w;
    halfHeight_ = (options_ & coHalfHeight) && !highResolution_ && !doubleWidth_;
    centeringOffset_ = 0;
    if ((options_ & coCenterImage) && W - w > 15) {
        centeringOffset_ = doubleWidth_ ? (W - 2 * w) / 32 : (W - w) / 16;
        if (centeringOffset_ < 0) {
            centeringOffset_ = 0;
        }
    }
}

void FaxConverterEngine::ShiftForCentering(std::uint8_t* raster, int& length) const {
    if (centeringOffset_ <= 0 || length < 0 || length + centeringOffset_ > RasterBufferSize) {
        return;
    }
    std::memmove(raster + centeringOffset_, raster, static_cast<std::size_t>(length));
    std::memset(raster, 0, static_cast<std::size_t>(centeringOffset_));
    length += centeringOffset_;
}

int FaxConverterEngine::Report(StatusCode code) {
    if (status_ && status_(code, *this) != 0) {
        return faxresult::ConvertAborted;
    }
    return 0;
}

int FaxConverterEngine::Yield() {
    return yield_ ? yield_() : 0;
}

int FaxConverterEngine::ConvertFile(const std::string& inputName, const std::string& outputName) {
    inputName_ = InputNameFor(inputName, frontEnd_->DefaultExtension());
    outputName_ = OutputNameFor(inputName_, outputName);
    pageNumber_ = 0;
    linesOnPage_ = 0;
    lastHeadedPage_ = 0;
    bytesRead_ = 0;
    bytesTotal_ = 0;
    int result = StartFile();
    if (result != 0) {
        return result;
    }
    result = ConvertPages();
    if (result == 0) {
        result = FinishFile();
    }
    if (result != 0) {
        output_->Abandon();
    }
    return result;
}

int FaxConverterEngine::StartFile() {
    int result = output_->Create(outputName_);
    if (result != 0) {
        return result;
    }
    fileHeader_ = ApfFileHeader();
    fileHeader_.stationId.clear();
    pageHeader_ = ApfPageHeader();
    ApfFileHeader initial;
    initial.stationId.clear();
    auto bytes = initial.Serialize();
    std::memset(bytes.data() + 10, 0, 21); // only the signature and first page offset
    result = output_->Write(bytes.data(), bytes.size());
    return result;
}

int FaxConverterEngine::ConvertPages() {
    int result = Report(StatusCode::Starting);
    if (result != 0) {
        return result;
    }
    result = frontEnd_->Open(*this, inputName_);
    bool morePages = result == 0;
    while (result == 0 && morePages) {
        result = ConvertPage(morePages);
        if (pageNumber_ >= kMaxPages) {
            morePages = false;
        }
    }
    const int ending = Report(StatusCode::Ending);
    frontEnd_->Close(*this);
    return result != 0 ? result : ending;
}

int FaxConverterEngine::ConvertPage(bool& morePages) {
    ++pageNumber_;
    linesOnPage_ = 0;
    int result = 0;
    for (int line = 0; line < topMargin_ && result == 0; ++line) {
        const std::size_t length = coder_->CodeBlankMarginLine(pageWidth_);
        result = OutputLine(coder_->Data(), length);
    }
    bool endOfPage = false;
    if (result == 0) {
        result = ReadLine(morePages, endOfPage);
    }
    while (result == 0 && !endOfPage) {
        if (!(halfHeight_ && linesOnPage_ % 2 == 0)) {
            const std::size_t length =
                coder_->CodeLine(raster_.get(), pageWidth_, leftMargin_, doubleWidth_);
            result = OutputLine(coder_->Data(), length);
        }
        if (result == 0) {
            result = ReadLine(morePages, endOfPage);
        }
        if (result == 0 && (options_ & coYield) && (options_ & coYieldOften) &&
            linesOnPage_ % 16 == 0) {
            result = Yield();
        }
    }
    if (result == 0) {
        result = EndPage();
    }
    if (result == 0 && (options_ & coYield)) {
        result = Yield();
    }
    return result;
}

int FaxConverterEngine::ReadLine(bool& morePages, bool& endOfPage) {
    std::memset(raster_.get(), 0, RasterBufferSize + FaxLineCoder::RasterSlack);
    ++linesOnPage_;
    int length = 0;
    endOfPage = false;
    int result = frontEnd_->ReadLine(*this, raster_.get(), length, morePages, endOfPage);
    if (result == 0) {
        result = Report(StatusCode::LineRead);
    }
    return result;
}

int FaxConverterEngine::StartPage() {
    pageHeader_ = ApfPageHeader();
    pageHeader_.flags = ApfPageHeader::FlagLineRecords;
    if (highResolution_) {
        pageHeader_.flags |= ApfPageHeader::FlagFine;
    }
    if (pageWidth_ == WideWidth) {
        pageHeader_.flags |= ApfPageHeader::FlagWide;
    }
    pageHeaderPosition_ = output_->Position();
    lastHeadedPage_ = pageNumber_;
    const auto bytes = pageHeader_.Serialize();
    return output_->Write(bytes.data(), bytes.size());
}

int FaxConverterEngine::OutputLine(const std::uint8_t* data, std::size_t length) {
    if (pageNumber_ != lastHeadedPage_) {
        const int result = StartPage();
        if (result != 0) {
            return result;
        }
    }
    std::uint8_t count[2];
    le::Put16(count, static_cast<std::uint16_t>(length));
    int result = output_->Write(count, sizeof count);
    if (result == 0) {
        result = output_->Write(data, length);
    }
    pageHeader_.imageLength += static_cast<std::uint32_t>(2 + length);
    return result;
}

// Writes the end-of-page record and the page header's final image length. A page that
// ended before any line still gets its header, so the file stays consistent.
int FaxConverterEngine::EndPage() {
    const std::size_t length = coder_->CodeEndOfPage();
    int result = OutputLine(coder_->Data(), length);
    if (result != 0) {
        return result;
    }
    ++fileHeader_.pageCount;
    const std::uint64_t end = output_->Position();
    result = output_->Seek(pageHeaderPosition_);
    if (result == 0) {
        const auto bytes = pageHeader_.Serialize();
        result = output_->Write(bytes.data(), bytes.size());
    }
    if (result == 0) {
        result = output_->Seek(end);
    }
    return result;
}

int FaxConverterEngine::FinishFile() {
    fileHeader_.stationId = stationId_;
    fileHeader_.creationTime = ApfFileHeader::PackDosTimeNow();
    fileHeader_.firstPageOffset = ApfFileHeader::StandardFirstPageOffset;
    const std::uint64_t end = output_->Position();
    int result = output_->Seek(0);
    if (result == 0) {
        const auto bytes = fileHeader_.Serialize();
        result = output_->Write(bytes.data(), bytes.size());
    }
    if (result == 0) {
        result = output_->Seek(end);
    }
    if (result == 0) {
        result = output_->Close();
    }
    return result;
}
