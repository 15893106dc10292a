#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "faximage/core/ApfFileHeader.h"
#include "faximage/core/ApfPageHeader.h"
#include "faximage/core/BufferedFileWriter.h"
#include "faximage/core/FaxFrontEnd.h"
#include "faximage/core/FaxLineCoder.h"

// The page encoder: takes raster lines from a front end, codes them as one-dimensional
// T.4 line records, groups them into pages with top margin and end-of-page record, and
// writes the APF file. Runs synchronously on the caller's thread; results are 0 or a
// negative code (faxresult). On failure the partly written output file is deleted.
class FaxConverterEngine {
public:
    // Converter options.
    static constexpr std::uint16_t coDoubleWidth = 1;
    static constexpr std::uint16_t coHalfHeight = 2;
    static constexpr std::uint16_t coCenterImage = 4;
    static constexpr std::uint16_t coYield = 8;
    static constexpr std::uint16_t coYieldOften = 16;
    static constexpr std::uint16_t DefaultOptions = coDoubleWidth | coCenterImage | coYield;

    static constexpr int RasterBufferSize = 4096;
    static constexpr int NormalWidth = 1728;
    static constexpr int WideWidth = 2048;

    enum class StatusCode { LineRead = 0, Starting = 1, Ending = 2 };
    // Progress report; a nonzero answer aborts the conversion (-8003).
    using StatusCallback = std::function<int(StatusCode code, const FaxConverterEngine& engine)>;
    // Processes one pending user interface event; returns -1003 when the program is
    // quitting, else 0.
    using YieldFunction = std::function<int()>;

    explicit FaxConverterEngine(std::unique_ptr<FaxFrontEnd> frontEnd);
    ~FaxConverterEngine();
    FaxConverterEngine(const FaxConverterEngine&) = delete;
    FaxConverterEngine& operator=(const FaxConverterEngine&) = delete;

    // Allocates an engine with its buffers: -8 when memory runs out.
    static int CreateEngine(std::unique_ptr<FaxFrontEnd> frontEnd,
                            std::unique_ptr<FaxConverterEngine>& result);

    std::uint16_t Options() const { return options_; }
    void SetOptions(std::uint16_t set, std::uint16_t clear);
    int LeftMargin() const { return leftMargin_; }
    void SetLeftMargin(int pixels) { leftMargin_ = pixels < 0 ? 0 : pixels; }
    int TopMargin() const { return topMargin_; }
    void SetTopMargin(int lines) { topMargin_ = lines < 0 ? 0 : lines; }
    bool HighResolution() const { return highResolution_; }
    void SetHighResolution(bool on) { highResolution_ = on; }
    int PageWidth() const { return pageWidth_; }
    void SetWidth(int pixels) { pageWidth_ = pixels == WideWidth ? WideWidth : NormalWidth; }
    const std::string& StationId() const { return stationId_; }
    void SetStationId(const std::string& id) { stationId_ = id.substr(0, 20); }
    void SetStatusCallback(StatusCallback callback) { status_ = std::move(callback); }
    void SetYieldFunction(YieldFunction function) { yield_ = std::move(function); }

    // Converts the input file into an APF file (see OutputNameFor and InputNameFor).
    int ConvertFile(const std::string& inputName, const std::string& outputName);

    // The output name: `outputName` with ".APF" appended when it has no extension, or the
    // input name with its extension replaced by "APF" when no output name is given.
    static std::string OutputNameFor(const std::string& inputName, const std::string& outputName);
    // The input name with `extension` appended when it has none.
    static std::string InputNameFor(const std::string& inputName, const std::string& extension);

    // For front ends.
    FaxFrontEnd& FrontEnd() { return *frontEnd_; }
    bool DoubleWidth() const { return doubleWidth_; }
    void SetDoubleWidth(bool on) { doubleWidth_ = on; }
    bool HalfHeight() const { return halfHeight_; }
    void SetHalfHeight(bool on) { halfHeight_ = on; }
    int CenteringOffset() const { return centeringOffset_; }
    void SetCenteringOffset(int bytes) { centeringOffset_ = bytes; }
    // Sets double width, half height and the centering offset for an image w pixels wide.
    void ApplyImageOptions(int imageWidth);
    // Shifts a raster line of `length` bytes right by the centering offset, when it fits.
    void ShiftForCentering(std::uint8_t* raster, int& length) const;
    std::uint32_t BytesRead() const { return bytesRead_; }
    void SetBytesRead(std::uint32_t bytes) { bytesRead_ = bytes; }
    void AddBytesRead(std::uint32_t bytes) { bytesRead_ += bytes; }
    std::uint32_t BytesTotal() const { return bytesTotal_; }
    void SetBytesTotal(std::uint32_t bytes) { bytesTotal_ = bytes; }
    unsigned PageNumber() const { return pageNumber_; }
    int LinesOnPage() const { return linesOnPage_; }
    const std::string& InputFileName() const { return inputName_; }
    const std::string& OutputFileName() const { return outputName_; }

private:
    int Report(StatusCode code);
    int Yield();
    int StartFile();
    int ConvertPages();
    int ConvertPage(bool& morePages);
    int ReadLine(bool& morePages, bool& endOfPage);
    int OutputLine(const std::uint8_t* data, std::size_t length);
    int StartPage();
    int EndPage();
    int FinishFile();

    std::unique_ptr<FaxFrontEnd> frontEnd_;
    bool highResolution_ = false;
    bool doubleWidth_ = false;
    bool halfHeight_ = false;
    std::uint16_t options_ = DefaultOptions;
    int pageWidth_ = NormalWidth;
    int leftMargin_ = 50;
    int topMargin_ = 0;
    unsigned pageNumber_ = 0;
    int linesOnPage_ = 0;
    unsigned lastHeadedPage_ = 0;
    std::uint64_t pageHeaderPosition_ = 0;
    int centeringOffset_ = 0;
    std::uint32_t bytesRead_ = 0;
    std::uint32_t bytesTotal_ = 0;
    std::unique_ptr<FaxLineCoder> coder_;
    std::unique_ptr<std::uint8_t[]> raster_;
    StatusCallback status_;
    YieldFunction yield_;
    std::string inputName_;
    std::string outputName_;
    std::string stationId_;
    ApfFileHeader fileHeader_;
    ApfPageHeader pageHeader_;
    std::unique_ptr<BufferedFileWriter> output_;
};
