#include "tables/CodePage.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <iconv.h>
#include <map>
#include <memory>
#include <mutex>

#include "common/CodePage1252.h"

namespace qp::tables {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Header marks and the iconv names of their code pages (single-byte ones only).
const std::map<int, const char*>& MarkedCodePages() {
    static const std::map<int, const char*> pages = {
        {0x01, "CP437"},
        {0x02, "CP850"},
        {0x03, "CP1252"},
        {0x04, "MACINTOSH"},
        {0x08, "CP865"},
        {0x09, "CP437"},
        {0x0A, "CP850"},
        {0x0B, "CP437"},
        {0x0D, "CP437"},
        {0x0E, "CP850"},
        {0x0F, "CP437"},
        {0x10, "CP850"},
        {0x11, "CP437"},
        {0x12, "CP850"},
        {0x14, "CP850"},
        {0x15, "CP437"},
        {0x16, "CP850"},
        {0x17, "CP865"},
        {0x18, "CP437"},
        {0x19, "CP437"},
        {0x1A, "CP850"},
        {0x1B, "CP437"},
        {0x1C, "CP863"},
        {0x1D, "CP850"},
        {0x1F, "CP852"},
        {0x22, "CP852"},
        {0x23, "CP852"},
        {0x24, "CP860"},
        {0x25, "CP850"},
        {0x26, "CP866"},
        {0x37, "CP850"},
        {0x40, "CP852"},
        {0x50, "CP874"},
        {0x57, "CP1252"},
        {0x58, "CP1252"},
        {0x59, "CP1252"},
        {0x64, "CP852"},
        {0x65, "CP866"},
        {0x66, "CP865"},
        {0x67, "CP861"},
        {0x6A, "CP737"},
        {0x6B, "CP857"},
        {0x7C, "CP874"},
        {0x7D, "CP1255"},
        {0x7E, "CP1256"},
        {0x96, "MAC-CYRILLIC"},
        {0x97, "MAC-CENTRALEUROPE"},
        {0xC8, "CP1250"},
        {0xC9, "CP1251"},
        {0xCA, "CP1254"},
        {0xCB, "CP1253"},
    };
    return pages;
}

// The character of one byte in the iconv code page `name`, U+FFFD when it has none.
char32_t CharacterOf(iconv_t converter, unsigned char byte) {
    char in[1] = {static_cast<char>(byte)};
    unsigned char out[8] = {};
    char* inPtr = in;
    char* outPtr = reinterpret_cast<char*>(out);
    size_t inLeft = 1, outLeft = sizeof out;
    iconv(converter, nullptr, nullptr, nullptr, nullptr);
    if (iconv(converter, &inPtr, &inLeft, &outPtr, &outLeft) == size_t(-1) || outLeft != 4)
        return kReplacement;
    return char32_t(out[0]) | (char32_t(out[1]) << 8) | (char32_t(out[2]) << 16) |
           (char32_t(out[3]) << 24);
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

CodePage::CodePage(std::string name) : name_(std::move(name)) {
    for (int b = 0; b < 0x80; ++b)
        characters_[b] = char32_t(b);
    if (name_ == "CP1252") {
        for (int b = 0x80; b < 0x100; ++b) {
            const char32_t c = DecodeCp1252(static_cast<unsigned char>(b));
            // The bytes 0x81, 0x8D, 0x8F, 0x90 and 0x9D have no character.
            characters_[b] = (c != char32_t(b) || b >= 0xA0) ? c : kReplacement;
        }
    } else {
        iconv_t converter = iconv_open("UTF-32LE", name_.c_str());
        for (int b = 0x80; b < 0x100; ++b) {
            characters_[b] = converter == iconv_t(-1)
                                 ? kReplacement
                                 : CharacterOf(converter, static_cast<unsigned char>(b));
        }
        if (converter != iconv_t(-1))
            iconv_close(converter);
    }
    for (int b = 0x80; b < 0x100; ++b) {
        const char32_t c = characters_[b];
        // Only characters of the code page are stored: never a C1 control.
        if (c != kReplacement && !(c >= 0x80 && c <= 0x9F))
            bytes_.emplace(c, static_cast<unsigned char>(b));
    }
}

const CodePage& CodePage::Windows1252() {
    return ForMark(0x03);
}

const CodePage& CodePage::ForMark(int mark) {
    static std::mutex mutex;
    static std::map<std::string, std::unique_ptr<CodePage>> made;
    const auto& pages = MarkedCodePages();
    auto it = pages.find(mark);
    const std::string name = it == pages.end() ? "CP1252" : it->second;
    std::lock_guard<std::mutex> lock(mutex);
    auto& page = made[name];
    if (!page)
        page.reset(new CodePage(name));
    return *page;
}

std::string CodePage::Decode(const std::string& bytes) const {
    std::string out;
    out.reserve(bytes.size());
    for (char ch : bytes) {
        auto c = static_cast<unsigned char>(ch);
        if (c < 0x80)
            out += ch;
        else
            AppendUtf8(out, characters_[c]);
    }
    return out;
}

std::string CodePage::Encode(const std::string& utf8) const {
    // Plain ASCII is the same in every code page the tables use.
    if (std::all_of(utf8.begin(), utf8.end(), [](char c) { return (c & 0x80) == 0; }))
        return utf8;
    std::string out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
        auto c = static_cast<unsigned char>(utf8[i]);
        uint32_t cp = 0;
        int length = c < 0x80 ? 0 : DecodeUtf8(utf8, i, cp);
        if (length == 0) {
            out += utf8[i];
            ++i;
            continue;
        }
        auto found = bytes_.find(char32_t(cp));
        out += found == bytes_.end() ? '?' : char(found->second);
        i += size_t(length);
    }
    return out;
}

} // namespace qp::tables
