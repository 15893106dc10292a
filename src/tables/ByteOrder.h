#pragma once

#include <cstdint>

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

} // namespace qp::tables::bytes
