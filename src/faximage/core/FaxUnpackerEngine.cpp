#include "faximage/core/FaxUnpackerEngine.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "faximage/core/FaxImageResult.h"
#include "faximage/core/FaxPictureBuilder.h"
#include "faximage/core/LittleEndian.h"

namespace {

constexpr std::size_t kBlockSize = 4096;

// For each byte, the four pixels of its halved form (each the OR of two neighbours).
constexpr std::array<std::uint8_t, 256> MakeHalvingTable() {
    std::array<std::uint8_t, 256> table{};
    for (unsigned value = 0; value < 256; ++value) {
        unsigned half = 0;
        for (unsigned pair = 0; pair < 4; ++pair) {
            if ((value >> (6 - 2 * pair)) & 3) {
                half |= 8u >> pair;
            }
        }
        table[value] = static_cast<std::uint8_t>(half);
    }
    return table;
}

constexpr auto kHalving = MakeHalvingTable();

} // namespace

FaxUnpackerEngine::FaxUnpackerEngine() {
    decoder_.SetLineSink(
        [this](const std::uint8_t* line, unsigned length) { return AcceptLine(line, length); });
}

void FaxUnpackerEngine::SetFlags(std::uint16_t flags) {
    if ((flags & FlagDoubleHeight) && (flags & FlagHalfWidth)) {
        flags &= static_cast<std::uint16_t>(~FlagHalfWidth);
    }
    flags_ = flags;
}

namespace {
std::uint16_t WithBit(std::uint16_t flags, std::uint16_t bit, bool on) {
    return static_cast<std::uint16_t>(on ? (flags | bit) : (flags & ~bit));
}
} // namespace

void FaxUnpackerEngine::SetYield(bool on) {
    flags_ = WithBit(flags_, FlagYield, on);
}
void FaxUnpackerEngine::SetAbort(bool on) {
    flags_ = WithBit(flags_, FlagAbort, on);
}

void FaxUnpackerEngine::SetDoubleHeight(bool on) {
    flags_ = WithBit(flags_, FlagDoubleHeight, on);
    if (on) {
        flags_ = WithBit(flags_, FlagHalfWidth, false);
    }
}

void FaxUnpackerEngine::SetHalfWidth(bool on) {
    flags_ = WithBit(flags_, FlagHalfWidth, on);
    if (on) {
        flags_ = WithBit(flags_, FlagDoubleHeight, false);
    }
}

int FaxUnpackerEngine::SetWhitespaceCompression(unsigned from, unsigned to) {
    if (from < to || (from == 0 && to != 0)) {
        return faxresult::BadArgument;
    }
    whitespaceFrom_ = from;
    whitespaceTo_ = to;
    return 0;
}

void FaxUnpackerEngine::SetScaling(int horizMult, int horizDiv, int vertMult, int vertDiv) {
    horizMult_ = horizMult ? horizMult : 1;
    horizDiv_ = horizDiv ? horizDiv : 1;
    vertMult_ = vertMult ? vertMult : 1;
    vertDiv_ = vertDiv ? vertDiv : 1;
}

int FaxUnpackerEngine::ReadPageCount(const std::string& fileName, unsigned& count) {
    ApfFileHeader header;
    const int result = ApfReader::ReadFileHeader(fileName, header);
    count = result == 0 ? header.pageCount : 0;
    return result;
}

int FaxUnpackerEngine::ReadPageHeader(const std::string& fileName, unsigned page,
                                      ApfPageHeader& result) {
    ApfReader reader;
    const int status = reader.Open(fileName);
    return status != 0 ? status : reader.FindPage(page, result);
}

int FaxUnpackerEngine::PageHeader(const std::string& fileName, unsigned page,
                                  ApfPageHeader& result) {
    if (!reader_.IsCurrent(fileName)) {
        const int opened = reader_.Open(fileName);
        if (opened != 0) {
            return opened;
        }
    }
    return reader_.FindPage(page, result);
}

int FaxUnpackerEngine::UnpackPage(const std::string& fileName, unsigned page) {
    ApfPageHeader header;
    int result = PageHeader(fileName, page, header);
    if (result == 0) {
        result = reader_.Seek(header.DataPosition());
    }
    if (result != 0) {
        return result;
    }
    page_ = page;
    fine_ = header.IsFine();
    blankRun_ = 0;
    linesOut_ = 0;
    bytesRead_ = 0;
    lineResult_ = 0;
    std::memset(blank_, 0, sizeof blank_);
    decoder_.Restart();
    lineBytes_ = static_cast<unsigned>(header.LineWidth() / 8);
    if (outputLine_) {
        result = outputLine_(LineKind::StartOfPage, nullptr, 0, page);
    }
    if (result == 0) {
        input_.resize(kBlockSize);
        result = header.HasLineRecords() ? DecodeRecords(header, fileName)
                                         : DecodeRawStream(header, fileName);
    }
    if (result == 0) {
        result = DeliverBlankRun();
    }
    if (status_) {
        status_(fileName, page, header.imageLength, std::min(bytesRead_, header.imageLength));
    }
    if (result == 0 && outputLine_) {
        result = outputLine_(LineKind::EndOfPage, nullptr, 0, page);
    }
    return result;
}

// Records up to the end-of-page sequence or the page's image length, whichever comes
// first: a page without an end-of-page sequence must not run on into the next page.
int FaxUnpackerEngine::DecodeRecords(const ApfPageHeader& header, const std::string& fileName) {
    const std::uint32_t imageLength = header.imageLength;
    while (!decoder_.PageEnded() && bytesRead_ < imageLength) {
        std::uint8_t countBytes[2];
        std::size_t got = 0;
        int result = reader_.Read(countBytes, sizeof countBytes, got);
        if (result != 0) {
            return result;
        }
        if (got < sizeof countBytes) {
            return faxresult::ReadBeyondEof;
        }
        bytesRead_ += 2;
        std::size_t remaining = std::min<std::size_t>(
            le::Get16(countBytes), imageLength - std::min(bytesRead_, imageLength));
        while (remaining > 0 && !decoder_.PageEnded()) {
            const std::size_t wanted = std::min(remaining, kBlockSize);
            result = reader_.Read(input_.data(), wanted, got);
            if (result != 0) {
                return result;
            }
            if (got < wanted) {
                return faxresult::ReadBeyondEof;
            }
            remaining -= wanted;
            result = FeedBlock(wanted, fileName, imageLength);
            if (result != 0) {
                return result > 0 ? 0 : result;
            }
        }
    }
    return 0;
}

int FaxUnpackerEngine::DecodeRawStream(const ApfPageHeader& header, const std::string& fileName) {
    const std::uint32_t imageLength = header.imageLength;
    while (bytesRead_ < imageLength && !decoder_.PageEnded()) {
        const std::size_t wanted = std::min<std::size_t>(imageLength - bytesRead_, kBlockSize);
        std::size_t got = 0;
        int result = reader_.Read(input_.data(), wanted, got);
        if (result != 0) {
            return result;
        }
        if (got < wanted) {
            return faxresult::NotApfFile;
        }
        result = FeedBlock(wanted, fileName, imageLength);
        if (result != 0) {
            return result > 0 ? 0 : result;
        }
    }
    return 0;
}

// Decodes `size` bytes of the input block; 1 means "stop without error".
int FaxUnpackerEngine::FeedBlock(std::size_t size, const std::string& fileName,
                                 std::uint32_t imageLength) {
    bytesRead_ += static_cast<std::uint32_t>(size);
    int result = decoder_.Feed(input_.data(), size);
    if (result == 0) {
        result = lineResult_;
    }
    return result != 0 ? result : AfterBlock(fileName, imageLength);
}

// Abort check, yield and status after each block; 1 means "stop without error".
int FaxUnpackerEngine::AfterBlock(const std::string& fileName, std::uint32_t imageLength) {
    if (Aborted()) {
        return 1;
    }
    if ((flags_ & FlagYield) && yield_ && linesOut_ % 16 == 0) {
        yield_();
    }
    if (status_) {
        status_(fileName, page_, imageLength, std::min(bytesRead_, imageLength));
    }
    return Aborted() ? 1 : 0;
}

int FaxUnpackerEngine::AcceptLine(const std::uint8_t* line, unsigned length) {
    const bool compressing = whitespaceFrom_ != 0 && whitespaceTo_ != 0;
    if (compressing && std::all_of(line, line + length, [](std::uint8_t b) { return b == 0; })) {
        ++blankRun_;
        return 0;
    }
    int result = DeliverBlankRun();
    if (result == 0) {
        result = Deliver(line, length);
    }
    if (result != 0) {
        lineResult_ = result;
    }
    return result;
}

int FaxUnpackerEngine::DeliverBlankRun() {
    unsigned lines = blankRun_ >= whitespaceFrom_ ? whitespaceTo_ : blankRun_;
    blankRun_ = 0;
    for (; lines > 0; --lines) {
        const int result = Deliver(blank_, lineBytes_);
        if (result != 0) {
            return result;
        }
    }
    return 0;
}

int FaxUnpackerEngine::Deliver(const std::uint8_t* line, unsigned length) {
    if (invert_) {
        for (unsigned index = 0; index < length; ++index) {
            scratch_[index] = static_cast<std::uint8_t>(~line[index]);
        }
        line = scratch_;
    }
    if (fine_ || !aspectCorrection_) {
        return Emit(line, length);
    }
    if (flags_ & FlagDoubleHeight) {
        const int result = Emit(line, length);
        return result != 0 ? result : Emit(line, length);
    }
    std::uint8_t* half = halved_;
    for (unsigned index = 0; index + 1 < length; index += 2) {
        half[index / 2] =
            static_cast<std::uint8_t>((kHalving[line[index]] << 4) | kHalving[line[index + 1]]);
    }
    return Emit(half, length / 2);
}

int FaxUnpackerEngine::Emit(const std::uint8_t* line, unsigned length) {
    ++linesOut_;
    return outputLine_ ? outputLine_(LineKind::Line, line, length, page_) : 0;
}

int FaxUnpackerEngine::UnpackPageToRaster(const std::string& fileName, unsigned page, bool invert,
                                          FaxRaster& result) {
    result = FaxRaster();
    ApfPageHeader header;
    int status = PageHeader(fileName, page, header);
    if (status != 0) {
        return status;
    }
    FaxPictureBuilder picture;
    picture.Start(header.IsWide(), invert);
    OutputLineFunction previous = std::move(outputLine_);
    outputLine_ = [&picture](LineKind kind, const std::uint8_t* data, unsigned length, unsigned) {
        return kind == LineKind::Line ? picture.AddLine(data, length) : 0;
    };
    invert_ = invert;
    try {
        status = UnpackPage(fileName, page);
    } catch (const std::bad_alloc&) {
        status = faxresult::OutOfMemory;
    }
    invert_ = false;
    outputLine_ = std::move(previous);
    if (status == 0) {
        status = picture.Finish(horizMult_, horizDiv_, vertMult_, vertDiv_, result);
    }
    return status;
}
