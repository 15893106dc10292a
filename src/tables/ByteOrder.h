#pragma once

#include <cstdint>
#include <cstring>

// Reading and writing little- and big-endian integers in byte buffers. The table formats
// mix both: DBF is little-endian, FPT big-endian, CDX both (see CdxFile).
namespace qp::tables::bytes {

inline uint32_t GetLE16(const unsigned char* p) {
    return p[0] | (p[1] << 8);
}
inline uint32_t GetLE32(const unsigned char* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
inline uint32_t GetBE16(const unsigned char* p) {
    return (p[0] << 8) | p[1];
}
inline uint32_t GetBE32(const unsigned char* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}
inline void PutLE16(unsigned char* p, uint32_t v) {
    p[0] = v & 0xFF;
    p[1] = (v >> 8) & 0xFF;
}
inline void PutLE32(unsigned char* p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = (v >> (8 * i)) & 0xFF;
}
inline void PutBE16(unsigned char* p, uint32_t v) {
    p[0] = (v >> 8) & 0xFF;
    p[1] = v & 0xFF;
}
inline void PutBE32(unsigned char* p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = (v >> (8 * (3 - i))) & 0xFF;
}

// Compares two keys of `length` bytes as unsigned bytes (as memcmp does), the first
// eight at once: keys mostly differ there, and the index compares keys all the time.
inline int CompareKeys(const char* a, const char* b, int length) {
    if (length >= 8) {
        const auto* x = reinterpret_cast<const unsigned char*>(a);
        const auto* y = reinterpret_cast<const unsigned char*>(b);
        const uint64_t left = (uint64_t(GetBE32(x)) << 32) | GetBE32(x + 4);
        const uint64_t right = (uint64_t(GetBE32(y)) << 32) | GetBE32(y + 4);
        if (left != right)
            return left < right ? -1 : 1;
        return length == 8 ? 0 : std::memcmp(a + 8, b + 8, size_t(length - 8));
    }
    return std::memcmp(a, b, size_t(length));
}

} // namespace qp::tables::bytes
