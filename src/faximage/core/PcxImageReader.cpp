#include "faximage/core/PcxImageReader.h"

#include "faximage/core/FaxImageResult.h"
#include "faximage/core/LittleEndian.h"

int PcxImageReader::Start(BinaryInput& input, std::uint64_t offset, std::uint64_t size,
                          int pageWidth) {
    std::uint8_t header[128];
    int result = input.Seek(offset);
    if (result == 0) {
        result = input.ReadExact(header, sizeof header);
    }
    if (result == faxresult::ReadBeyondEof) {
        return faxresult::UnsupportedGraphics;
    }
    if (result != 0) {
        return result;
    }
    const int xmin = le::Get16(header + 4);
    const int xmax = le::Get16(header + 8);
    const int planes = header[65];
    bytesPerLine_ = le::Get16(header + 66);
    if (header[0] != 10 || header[2] != 1 || header[3] != 1 || planes > 1 || xmax < xmin ||
        xmax - xmin > pageWidth || bytesPerLine_ == 0) {
        return faxresult::UnsupportedGraphics;
    }
    imageWidth_ = xmax - xmin + 1;
    dataSize_ = size > 128 ? size - 128 : 0;
    consumed_ = 0;
    repeat_ = 0;
    return 0;
}

int PcxImageReader::NextByte(BinaryInput& input, std::uint8_t& value) {
    const int result = input.ReadByte(value);
    if (result == 0) {
        ++consumed_;
    }
    return result;
}

int PcxImageReader::ReadRow(BinaryInput& input, std::uint8_t* raster, int capacity, int& length) {
    int produced = 0;
    while (produced < bytesPerLine_) {
        if (repeat_ == 0) {
            if (!DataLeft()) {
                break;
            }
            std::uint8_t value = 0;
            int result = NextByte(input, value);
            if (result != 0) {
                return result;
            }
            if (value >= 192) {
                repeat_ = value & 0x3F;
                if (!DataLeft()) {
                    repeat_ = 0;
                    break;
                }
                result = NextByte(input, repeatValue_);
                if (result != 0) {
                    return result;
                }
                continue;
            }
            repeat_ = 1;
            repeatValue_ = value;
        }
        if (produced < capacity) {
            raster[produced] = static_cast<std::uint8_t>(~repeatValue_);
        }
        ++produced;
        --repeat_;
    }
    length = produced < capacity ? produced : capacity;
    MaskBeyondImage(raster, length);
    return 0;
}

// Pixels past the image width (row padding, white in the file) stay white.
void PcxImageReader::MaskBeyondImage(std::uint8_t* raster, int length) const {
    const int imageBytes = (imageWidth_ + 7) / 8;
    for (int index = imageBytes; index < length; ++index) {
        raster[index] = 0;
    }
    if (imageBytes >= 1 && imageBytes <= length && imageWidth_ % 8 != 0) {
        raster[imageBytes - 1] &= static_cast<std::uint8_t>(0xFF << (8 - imageWidth_ % 8));
    }
}
