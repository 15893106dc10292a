#include "faximage/core/ApfPageHeader.h"

#include "faximage/core/LittleEndian.h"

ApfPageHeader ApfPageHeader::Parse(const std::uint8_t* bytes, std::uint64_t position) {
    ApfPageHeader header;
    header.imageLength = le::Get32(bytes);
    header.flags = le::Get16(bytes + 4);
    header.position = position;
    return header;
}

std::array<std::uint8_t, ApfPageHeader::Size> ApfPageHeader::Serialize() const {
    std::array<std::uint8_t, Size> bytes{};
    le::Put32(bytes.data(), imageLength);
    le::Put16(bytes.data() + 4, flags);
    return bytes;
}
