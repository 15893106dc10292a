#include "tables/CodePage.h"

#include "common/CodePage1252.h"

#include <cstdint>

namespace qp::tables {

namespace {

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
        else if (const char32_t unicode = DecodeCp1252(c); unicode != c || c >= 0xA0)
            AppendUtf8(out, unicode);
        else
            AppendUtf8(out, 0xFFFD); // one of the bytes the code page leaves undefined
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
            const int byte = EncodeCp1252(cp);
            // Only characters of the code page are stored; the undefined bytes 0x81, 0x8D,
            // 0x8F, 0x90 and 0x9D have no character to come from.
            const bool c1Control = cp >= 0x80 && cp <= 0x9F;
            out += byte >= 0 && !c1Control ? char(byte) : '?';
            i += length;
        }
    }
    return out;
}

} // namespace qp::tables
