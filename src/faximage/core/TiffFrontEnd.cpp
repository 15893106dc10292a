#include "faximage/core/TiffFrontEnd.h"

#include <algorithm>

#include "faximage/core/FaxConverterEngine.h"
#include "faximage/core/FaxImageResult.h"

namespace {

constexpr std::uint16_t kTagWidth = 256;
constexpr std::uint16_t kTagLength = 257;
constexpr std::uint16_t kTagBitsPerSample = 258;
constexpr std::uint16_t kTagCompression = 259;
constexpr std::uint16_t kTagPhotometric = 262;
constexpr std::uint16_t kTagFillOrder = 266;
constexpr std::uint16_t kTagStripOffsets = 273;
constexpr std::uint16_t kTagRowsPerStrip = 278;
constexpr std::uint16_t kTypeShort = 3;
constexpr std::uint32_t kPackBits = 32773;
constexpr std::uint32_t kMaxStrips = 1u << 20;

// Bits of a byte in the opposite order (for rows stored with the leftmost pixel in bit 0).
std::uint8_t ReverseBits(std::uint8_t value) {
    value = static_cast<std::uint8_t>((value & 0xF0) >> 4 | (value & 0x0F) << 4);
    value = static_cast<std::uint8_t>((value & 0xCC) >> 2 | (value & 0x33) << 2);
    return static_cast<std::uint8_t>((value & 0xAA) >> 1 | (value & 0x55) << 1);
}

} // namespace

std::uint16_t TiffFrontEnd::Get16(const std::uint8_t* p) const {
    return static_cast<std::uint16_t>(bigEndian_ ? (p[0] << 8) | p[1] : p[0] | (p[1] << 8));
}

std::uint32_t TiffFrontEnd::Get32(const std::uint8_t* p) const {
    return bigEndian_ ? (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) |
                            (std::uint32_t{p[2]} << 8) | p[3]
                      : (std::uint32_t{p[3]} << 24) | (std::uint32_t{p[2]} << 16) |
                            (std::uint32_t{p[1]} << 8) | p[0];
}

int TiffFrontEnd::Open(FaxConverterEngine& engine, const std::string& fileName) {
    int result = input_.Open(fileName);
    if (result != 0) {
        return result;
    }
    std::uint8_t head[8];
    result = input_.ReadExact(head, sizeof head);
    if (result != 0) {
        return result == faxresult::ReadBeyondEof ? faxresult::UnsupportedGraphics : result;
    }
    if (head[0] == 'I' && head[1] == 'I') {
        bigEndian_ = false;
    } else if (head[0] == 'M' && head[1] == 'M') {
        bigEndian_ = true;
    } else {
        return faxresult::UnsupportedGraphics;
    }
    const std::uint32_t directory = Get32(head + 4);
    if (directory != 0) {
        result = input_.Seek(directory);
        if (result != 0) {
            return result;
        }
    }
    result = ReadDirectory();
    if (result != 0) {
        return result;
    }
    engine.ApplyImageOptions(static_cast<int>(std::min<std::uint32_t>(width_, 65535)));
    engine.SetBytesTotal(static_cast<std::uint32_t>(
        std::min<std::uint64_t>(std::uint64_t{bytesPerRow_} * length_, UINT32_MAX)));
    rowsRead_ = 0;
    rowsInStrip_ = 0;
    strip_ = 0;
    pendingCount_ = 0;
    return stripOffsets_.empty() ? 0 : input_.Seek(stripOffsets_[0]);
}

int TiffFrontEnd::ReadDirectory() {
    std::uint8_t countBytes[2];
    int result = input_.ReadExact(countBytes, sizeof countBytes);
    if (result != 0) {
        return result;
    }
    const std::uint16_t entries = Get16(countBytes);
    bool haveWidth = false, haveLength = false, haveOffsets = false;
    std::uint32_t offsetsValue = 0, offsetsCount = 0;
    std::uint16_t offsetsType = 0;
    for (std::uint16_t index = 0; index < entries; ++index) {
        std::uint8_t entry[12];
        result = input_.ReadExact(entry, sizeof entry);
        if (result != 0) {
            return result;
        }
        const std::uint16_t tag = Get16(entry);
        const std::uint16_t type = Get16(entry + 2);
        const std::uint32_t count = Get32(entry + 4);
        const std::uint32_t value = type == kTypeShort ? Get16(entry + 8) : Get32(entry + 8);
        switch (tag) {
        case kTagWidth:
            width_ = value;
            haveWidth = true;
            break;
        case kTagLength:
            length_ = value;
            haveLength = true;
            break;
        case kTagBitsPerSample:
            if (value != 1) {
                return faxresult::UnsupportedGraphics;
            }
            break;
        case kTagCompression:
            if (value != 1 && value != kPackBits) {
                return faxresult::UnsupportedGraphics;
            }
            compression_ = value;
            break;
        case kTagPhotometric:
            photometric_ = value;
            break;
        case kTagFillOrder:
            lsbFirst_ = value == 2;
            break;
        case kTagStripOffsets:
            offsetsValue = value;
            offsetsCount = count;
            offsetsType = type;
            haveOffsets = true;
            break;
        case kTagRowsPerStrip:
            rowsPerStrip_ = value;
            break;
        default:
            break;
        }
    }
    if (!haveWidth || !haveLength || !haveOffsets || width_ == 0 || offsetsCount == 0 ||
        offsetsCount > kMaxStrips) {
        return faxresult::UnsupportedGraphics;
    }
    bytesPerRow_ = static_cast<std::uint32_t>((std::uint64_t{width_} + 7) / 8);
    lastByteMask_ = static_cast<std::uint8_t>(0xFF << ((8 - width_ % 8) % 8));
    if (rowsPerStrip_ == 0 || rowsPerStrip_ > length_) {
        rowsPerStrip_ = length_;
    }
    stripOffsets_.clear();
    if (offsetsCount == 1) {
        stripOffsets_.push_back(offsetsValue);
        return 0;
    }
    return ReadStripArray(offsetsValue, offsetsCount, offsetsType, stripOffsets_);
}

int TiffFrontEnd::ReadStripArray(std::uint32_t offset, std::uint32_t count, std::uint16_t type,
                                 std::vector<std::uint32_t>& values) {
    const std::size_t itemSize = type == kTypeShort ? 2 : 4;
    if (std::uint64_t{offset} + std::uint64_t{count} * itemSize > input_.Size()) {
        return faxresult::UnsupportedGraphics;
    }
    std::vector<std::uint8_t> bytes(count * itemSize);
    int result = input_.Seek(offset);
    if (result == 0) {
        result = input_.ReadExact(bytes.data(), bytes.size());
    }
    if (result != 0) {
        return result;
    }
    values.resize(count);
    for (std::uint32_t index = 0; index < count; ++index) {
        const std::uint8_t* p = bytes.data() + index * itemSize;
        values[index] = itemSize == 2 ? Get16(p) : Get32(p);
    }
    return 0;
}

int TiffFrontEnd::ReadLine(FaxConverterEngine& engine, std::uint8_t* raster, int& length,
                           bool& morePages, bool& endOfPage) {
    morePages = false;
    if (rowsRead_ >= length_) {
        endOfPage = true;
        return 0;
    }
    if (rowsInStrip_ >= rowsPerStrip_ && strip_ + 1 < stripOffsets_.size()) {
        ++strip_;
        rowsInStrip_ = 0;
        pendingCount_ = 0;
        const int result = input_.Seek(stripOffsets_[strip_]);
        if (result != 0) {
            return result;
        }
    }
    const std::uint64_t before = input_.Position();
    const int result = compression_ == kPackBits ? ReadPackBitsRow(raster) : ReadRow(raster);
    if (result != 0) {
        return result;
    }
    engine.AddBytesRead(static_cast<std::uint32_t>(input_.Position() - before));
    ++rowsRead_;
    ++rowsInStrip_;
    const std::uint32_t stored =
        std::min<std::uint32_t>(bytesPerRow_, FaxConverterEngine::RasterBufferSize);
    if (lsbFirst_) {
        for (std::uint32_t index = 0; index < stored; ++index) {
            raster[index] = ReverseBits(raster[index]);
        }
    }
    if (photometric_ != 0) {
        for (std::uint32_t index = 0; index < stored; ++index) {
            raster[index] = static_cast<std::uint8_t>(~raster[index]);
        }
        if (stored == bytesPerRow_) {
            raster[stored - 1] &= lastByteMask_;
        }
    }
    length = static_cast<int>(stored);
    engine.ShiftForCentering(raster, length);
    return 0;
}

int TiffFrontEnd::ReadRow(std::uint8_t* raster) {
    const std::uint32_t stored =
        std::min<std::uint32_t>(bytesPerRow_, FaxConverterEngine::RasterBufferSize);
    int result = input_.ReadExact(raster, stored);
    if (result == 0 && bytesPerRow_ > stored) {
        result = input_.Seek(input_.Position() + (bytesPerRow_ - stored));
    }
    return result;
}

// Decodes PackBits until the row is complete. A run reaching past the end of the row
// (some writers pack a strip as one stream) carries on into the next row.
int TiffFrontEnd::ReadPackBitsRow(std::uint8_t* raster) {
    std::uint32_t produced = 0;
    while (produced < bytesPerRow_) {
        if (pendingCount_ == 0) {
            std::uint8_t control = 0;
            int result = input_.ReadByte(control);
            if (result != 0) {
                return result;
            }
            if (control == 128) {
                continue;
            }
            pendingLiteral_ = control < 128;
            pendingCount_ = pendingLiteral_ ? control + 1u : 257u - control;
            if (!pendingLiteral_) {
                result = input_.ReadByte(pendingValue_);
                if (result != 0) {
                    return result;
                }
            }
        }
        if (pendingLiteral_) {
            const int result = input_.ReadByte(pendingValue_);
            if (result != 0) {
                return result;
            }
        }
        if (produced < FaxConverterEngine::RasterBufferSize) {
            raster[produced] = pendingValue_;
        }
        ++produced;
        --pendingCount_;
    }
    return 0;
}

void TiffFrontEnd::Close(FaxConverterEngine&) {
    input_.Close();
}
