#include "spell/core/DictionaryFormat.h"

namespace {

void PutInt32(unsigned char* out, std::int32_t value) {
    const auto bits = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i) {
        out[i] = static_cast<unsigned char>(bits >> (8 * i));
    }
}

std::int32_t GetInt32(const unsigned char* in) {
    std::uint32_t bits = 0;
    for (int i = 0; i < 4; ++i) {
        bits |= static_cast<std::uint32_t>(in[i]) << (8 * i);
    }
    return static_cast<std::int32_t>(bits);
}

} // namespace

std::array<unsigned char, DictionaryFormat::HeaderSize> SectionHeader::Encode() const {
    std::array<unsigned char, DictionaryFormat::HeaderSize> bytes{};
    PutInt32(&bytes[0], nodesInUse);
    PutInt32(&bytes[4], capacity);
    PutInt32(&bytes[8], wordCounter);
    bytes[12] = kind;
    PutInt32(&bytes[13], headerOffset);
    return bytes;
}

SectionHeader SectionHeader::Decode(const unsigned char* bytes) {
    SectionHeader header;
    header.nodesInUse = GetInt32(&bytes[0]);
    header.capacity = GetInt32(&bytes[4]);
    header.wordCounter = GetInt32(&bytes[8]);
    header.kind = bytes[12];
    header.headerOffset = GetInt32(&bytes[13]);
    return header;
}
