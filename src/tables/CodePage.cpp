#include "tables/CodePage.h"

#include <cstdint>

namespace qp::tables {

namespace {

// Unicode code points of bytes 0x80-0x9F in Windows-1252 (0 = unassigned).
constexpr uint16_t kHighControls[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

char ByteForCodePoint(uint32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF))
        return char(cp);
    for (int i = 0; i < 32; ++i) {
        if (kHighControls[i] == cp)
            return char(0x80 + i);
    }
    return '?';
}

// Decodes one UTF-8 sequence at `i`; returns its length, 0 when malformed.
int DecodeUtf8(const std::string& s, size_t i, uint32_t& cp) {
    auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    unsigned char c = byte(i);
    int length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 0;
    if (length == 0 || i + length > s.size())
        return 0;
    cp = c & (0x3F >> (length - 1));
    for (int k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (byte(i + k) & 0x3F);
    }
    return length;
}

} // namespace

std::string CodePage::ToUtf8(const std::string& cp1252) {
    std::string out;
    out.reserve(cp1252.size());
    for (char ch : cp1252) {
        auto c = static_cast<unsigned char>(ch);
        if (c < 0x80)
            out += ch;
        else if (c < 0xA0)
            AppendUtf8(out, kHighControls[c - 0x80] ? kHighControls[c - 0x80] : 0xFFFD);
        else
            AppendUtf8(out, c);
    }
    return out;
}

std::string CodePage::FromUtf8(const std::string& utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
        auto c = static_cast<unsigned char>(utf8[i]);
        uint32_t cp = 0;
        int length = c < 0x80 ? 0 : DecodeUtf8(utf8, i, cp);
        if (length == 0) {
            out += utf8[i];
            ++i;
        } else {
            out += ByteForCodePoint(cp);
            i += length;
        }
    }
    return out;
}

} // namespace qp::tables
