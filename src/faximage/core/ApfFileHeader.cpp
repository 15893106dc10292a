#include "faximage/core/ApfFileHeader.h"

#include <algorithm>
#include <cstring>

#include "faximage/core/LittleEndian.h"

namespace {
constexpr std::uint8_t kSignature[6] = {'A', 'P', 'F', '1', '0', 0x1A};
}

bool ApfFileHeader::HasSignature(const std::uint8_t* bytes) {
    return std::memcmp(bytes, kSignature, sizeof kSignature) == 0;
}

ApfFileHeader ApfFileHeader::Parse(const std::uint8_t* bytes) {
    ApfFileHeader header;
    header.creationTime = le::Get32(bytes + 6);
    const int length = std::min<int>(bytes[10], StationIdCapacity);
    header.stationId.assign(reinterpret_cast<const char*>(bytes + 11), length);
    header.pageCount = le::Get16(bytes + 32);
    header.firstPageOffset = le::Get32(bytes + 34);
    return header;
}

std::array<std::uint8_t, ApfFileHeader::Size> ApfFileHeader::Serialize() const {
    std::array<std::uint8_t, Size> bytes{};
    std::memcpy(bytes.data(), kSignature, sizeof kSignature);
    le::Put32(bytes.data() + 6, creationTime);
    const std::size_t length = std::min<std::size_t>(stationId.size(), StationIdCapacity);
    bytes[10] = static_cast<std::uint8_t>(length);
    std::memset(bytes.data() + 11, ' ', StationIdCapacity);
    std::memcpy(bytes.data() + 11, stationId.data(), length);
    le::Put16(bytes.data() + 32, pageCount);
    le::Put32(bytes.data() + 34, firstPageOffset);
    return bytes;
}

std::uint32_t ApfFileHeader::PackDosTime(const std::tm& local) {
    const int year = local.tm_year + 1900;
    if (year < 1980 || year > 2099) {
        return 0;
    }
    const std::uint32_t time = static_cast<std::uint32_t>((local.tm_sec / 2) | (local.tm_min << 5) |
                                                          (local.tm_hour << 11));
    const std::uint32_t date = static_cast<std::uint32_t>(
        local.tm_mday | ((local.tm_mon + 1) << 5) | ((year - 1980) << 9));
    return (date << 16) | time;
}

std::uint32_t ApfFileHeader::PackDosTimeNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return PackDosTime(local);
}

std::tm ApfFileHeader::UnpackDosTime(std::uint32_t packed) {
    std::tm result{};
    const std::uint32_t time = packed & 0xFFFF;
    const std::uint32_t date = packed >> 16;
    result.tm_sec = static_cast<int>((time & 0x1F) * 2);
    result.tm_min = static_cast<int>((time >> 5) & 0x3F);
    result.tm_hour = static_cast<int>(time >> 11);
    result.tm_mday = static_cast<int>(date & 0x1F);
    result.tm_mon = static_cast<int>((date >> 5) & 0x0F) - 1;
    result.tm_year = static_cast<int>(date >> 9) + 80;
    return result;
}
