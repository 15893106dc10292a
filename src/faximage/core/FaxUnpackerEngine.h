#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "faximage/core/ApfPageHeader.h"
#include "faximage/core/ApfReader.h"
#include "faximage/core/FaxRaster.h"
#include "faximage/core/T4Decoder.h"

// Decodes pages of APF files into raster lines: walks to the page, decodes its
// one-dimensional T.4 data, keeps well-formed lines (1728..1735 or 2048..2055 pixels),
// compresses runs of blank lines on request and corrects the aspect ratio of
// standard-resolution pages. Runs on the caller's thread; operations return 0 or a
// negative result code (faxresult). Undecodable data never fails a page.
//
// The engine keeps the file it last read open, with the page headers found in it, while
// the file stays unchanged on disk: asking for the pages of a file one after another
// walks its page headers once.
class FaxUnpackerEngine {
public:
    // Flag bits; double height and half width exclude each other.
    static constexpr std::uint16_t FlagYield = 1;
    static constexpr std::uint16_t FlagDoubleHeight = 2;
    static constexpr std::uint16_t FlagHalfWidth = 4;
    static constexpr std::uint16_t FlagAbort = 8;
    static constexpr std::uint16_t DefaultFlags = FlagYield | FlagDoubleHeight;

    enum class LineKind { Line = 0, StartOfPage = 1, EndOfPage = 2 };

    // Receives the start call, one call per delivered line and the end call. Returning a
    // negative code ends decoding with that code.
    using OutputLineFunction =
        std::function<int(LineKind kind, const std::uint8_t* data, unsigned length, unsigned page)>;
    // Progress: bytes read so far (never more than the page's image length) of the total.
    using StatusFunction =
        std::function<void(const std::string& fileName, unsigned page, std::uint32_t bytesUnpacked,
                           std::uint32_t bytesToUnpack)>;
    // Lets the user interface process pending events (with FlagYield).
    using YieldFunction = std::function<void()>;

    FaxUnpackerEngine();

    std::uint16_t Flags() const { return flags_; }
    void SetFlags(std::uint16_t flags);
    void SetYield(bool on);
    void SetDoubleHeight(bool on); // clears half width
    void SetHalfWidth(bool on);    // clears double height
    void SetAbort(bool on);        // may be set from a yield or status handler
    bool Aborted() const { return flags_ & FlagAbort; }

    // Runs of at least `from` blank lines become `to` lines; both 0 switches it off.
    // -1002 when from < to, or from is 0 while to is not.
    int SetWhitespaceCompression(unsigned from, unsigned to);
    // With aspect correction off, standard-resolution lines pass unchanged (neither doubled
    // nor halved); for exports that keep the page's own geometry. On by default.
    void SetAspectCorrection(bool on) { aspectCorrection_ = on; }
    // Picture scale factors; 0 is taken as 1.
    void SetScaling(int horizMult, int horizDiv, int vertMult, int vertDiv);

    void SetOutputLine(OutputLineFunction function) { outputLine_ = std::move(function); }
    void SetStatus(StatusFunction function) { status_ = std::move(function); }
    void SetYieldHandler(YieldFunction function) { yield_ = std::move(function); }

    // Decodes one page (from 1), delivering lines to the output-line function. A page of
    // line records ends at its end-of-page sequence or at its image length, whichever
    // comes first.
    int UnpackPage(const std::string& fileName, unsigned page);
    // The header of page `page` (from 1), through the file kept open.
    int PageHeader(const std::string& fileName, unsigned page, ApfPageHeader& result);
    // Lets go of the file kept open.
    void CloseFile() { reader_.Close(); }
    // Page headers read from the file kept open since it was opened.
    unsigned PageHeaderReads() const { return reader_.PageHeaderReads(); }

    // Decodes one page into a picture: rows of 216 (256 when wide) bytes, trimmed to the
    // used width rounded up to an even number of bytes, then scaled. An empty page gives
    // an empty raster and 0. With `invert`, lines are inverted first (1 = white).
    int UnpackPageToRaster(const std::string& fileName, unsigned page, bool invert,
                           FaxRaster& result);

    static int ReadPageCount(const std::string& fileName, unsigned& count);
    static int ReadPageHeader(const std::string& fileName, unsigned page, ApfPageHeader& result);

    // Statistics of the last page decoded.
    unsigned LinesOut() const { return linesOut_; }
    unsigned InvalidCodes() const { return decoder_.InvalidCodes(); }

private:
    int DecodeRecords(const ApfPageHeader& header, const std::string& fileName);
    int DecodeRawStream(const ApfPageHeader& header, const std::string& fileName);
    int FeedBlock(std::size_t size, const std::string& fileName, std::uint32_t imageLength);
    int AfterBlock(const std::string& fileName, std::uint32_t imageLength);
    int AcceptLine(const std::uint8_t* line, unsigned length);
    int DeliverBlankRun();
    int Deliver(const std::uint8_t* line, unsigned length);
    int Emit(const std::uint8_t* line, unsigned length);

    std::uint16_t flags_ = DefaultFlags;
    unsigned whitespaceFrom_ = 0;
    unsigned whitespaceTo_ = 0;
    int horizMult_ = 1, horizDiv_ = 1, vertMult_ = 1, vertDiv_ = 1;
    bool invert_ = false;
    bool aspectCorrection_ = true;

    ApfReader reader_;
    T4Decoder decoder_;
    OutputLineFunction outputLine_;
    StatusFunction status_;
    YieldFunction yield_;

    // Per-page state.
    unsigned page_ = 0;
    bool fine_ = true;
    unsigned lineBytes_ = 216;
    unsigned blankRun_ = 0;
    unsigned linesOut_ = 0;
    std::uint32_t bytesRead_ = 0;
    int lineResult_ = 0;
    std::vector<std::uint8_t> input_;
    std::uint8_t blank_[T4Decoder::LineBufferSize] = {};
    std::uint8_t scratch_[T4Decoder::LineBufferSize] = {};
    std::uint8_t halved_[T4Decoder::LineBufferSize] = {};
};
