#include "faxcomm/core/Class1Frames.h"

#include <algorithm>

#include "faxcomm/core/Class1Rates.h"
#include "faxcomm/core/DleCodec.h"

namespace qpfax {

namespace {

constexpr std::size_t kIdLength = 20;
constexpr std::size_t kFifStart = 3;
constexpr std::uint8_t kDisByteA = 0x42;
constexpr std::uint8_t kDcsFineByteA = 0x42;
constexpr std::uint8_t kDcsNormalByteA = 0x02;
constexpr std::uint8_t kDisByteB = 0xF9;
constexpr std::uint8_t kDcsByteB = 0x88;
constexpr std::uint8_t kWideBit = 0x01;
constexpr std::uint8_t kScanTimeMask = 0x70;

} // namespace

std::vector<std::uint8_t> Class1Frames::StationId(std::uint8_t fcf, const std::string& id) {
    const std::string text = id.substr(0, kIdLength);
    std::vector<std::uint8_t> frame = {Address, Control, fcf};
    frame.insert(frame.end(), kIdLength - text.size(), ' ');
    frame.insert(frame.end(), text.rbegin(), text.rend());
    return frame;
}

std::vector<std::uint8_t> Class1Frames::Dis(int highestIndex) {
    const auto byteA =
        static_cast<std::uint8_t>(kDisByteA | Class1Rates::DisRateBits(highestIndex));
    return {Address, ControlFinal, fcfDis, 0x00, byteA, kDisByteB, 0x00};
}

std::vector<std::uint8_t> Class1Frames::Dcs(int rateIndex, bool fine, bool wide, int scanTimeCode) {
    const std::uint8_t base = fine ? kDcsFineByteA : kDcsNormalByteA;
    const auto byteA = static_cast<std::uint8_t>(base | Class1Rates::DcsRateBits(rateIndex));
    auto byteB = static_cast<std::uint8_t>(ScanTimeBits(scanTimeCode, fine) | kDcsByteB);
    if (wide) {
        byteB |= kWideBit;
    }
    return {Address, ControlFinal, fcfDcs, 0x00, byteA, byteB, 0x00};
}

std::vector<std::uint8_t> Class1Frames::Simple(std::uint8_t fcf) {
    return {Address, ControlFinal, fcf};
}

std::vector<std::uint8_t> Class1Frames::ForModem(const std::vector<std::uint8_t>& frame) {
    std::vector<std::uint8_t> out;
    out.reserve(frame.size() + 4);
    AppendStuffed(out, frame.data(), frame.size());
    out.push_back(DLE);
    out.push_back(ETX);
    return out;
}

std::string Class1Frames::StationIdOf(const std::vector<std::uint8_t>& frame) {
    std::string id;
    for (std::size_t i = 0; i < kIdLength && kFifStart + i < frame.size(); ++i) {
        id.push_back(static_cast<char>(frame[kFifStart + i]));
    }
    std::reverse(id.begin(), id.end());
    const std::size_t first = id.find_first_not_of(' ');
    if (first == std::string::npos) {
        return {};
    }
    const std::size_t last = id.find_last_not_of(' ');
    return id.substr(first, last - first + 1);
}

std::uint8_t Class1Frames::FifByte(const std::vector<std::uint8_t>& frame, std::size_t n) {
    return kFifStart + n < frame.size() ? frame[kFifStart + n] : 0;
}

std::uint8_t Class1Frames::ScanTimeBits(int scanTimeCode, bool fine) {
    // Per code: (normal, fine).
    static constexpr std::uint8_t bits[8][2] = {{0x70, 0x70}, {0x10, 0x10}, {0x20, 0x10},
                                                {0x20, 0x20}, {0x00, 0x20}, {0x00, 0x00},
                                                {0x40, 0x00}, {0x40, 0x40}};
    const int code = std::clamp(scanTimeCode, 0, 7);
    return bits[code][fine ? 1 : 0];
}

int Class1Frames::ScanTimeCode(std::uint8_t byteB) {
    switch (byteB & kScanTimeMask) {
    case 0x00:
        return 5;
    case 0x10:
        return 1;
    case 0x20:
        return 3;
    case 0x30:
        return 4;
    case 0x40:
        return 7;
    case 0x50:
        return 6;
    case 0x60:
        return 2;
    default:
        return 0;
    }
}

std::size_t Class1FrameReader::Feed(const std::uint8_t* data, std::size_t size) {
    std::size_t i = 0;
    while (i < size && !complete_) {
        const std::uint8_t byte = data[i++];
        if (pendingDle_) {
            pendingDle_ = false;
            if (byte == ETX) {
                complete_ = true;
                break;
            }
            if (byte != DLE) {
                continue; // a DLE pair the modem does not use in frames
            }
        } else if (byte == DLE) {
            pendingDle_ = true;
            continue;
        }
        if (frame_.empty() && byte != Class1Frames::Address) {
            continue;
        }
        if (frame_.size() < MaxFrame) {
            frame_.push_back(byte);
        }
    }
    return i;
}

void Class1FrameReader::Reset() {
    frame_.clear();
    pendingDle_ = false;
    complete_ = false;
}

std::size_t TrainingCheck::SendLength(int bitsPerSecond) {
    const auto bytes = static_cast<std::size_t>(bitsPerSecond / 100 * 18);
    return std::min<std::size_t>(bytes, 8192);
}

std::size_t TrainingCheck::Feed(const std::uint8_t* data, std::size_t size) {
    std::size_t i = 0;
    while (i < size && !ended_) {
        const std::uint8_t byte = data[i++];
        if (pendingDle_) {
            pendingDle_ = false;
            if (byte == ETX) {
                ended_ = true;
                break;
            }
        } else if (byte == DLE) {
            pendingDle_ = true;
            continue;
        }
        ++total_;
        if (byte != 0) {
            ++nonZero_;
        }
    }
    return i;
}

void TrainingCheck::Reset() {
    total_ = 0;
    nonZero_ = 0;
    pendingDle_ = false;
    ended_ = false;
}

} // namespace qpfax
