#pragma once

#include <map>
#include <string>
#include <string_view>

// The code pages of RTF text: "\'hh" bytes and 8-bit text are in the code page of the
// font they are written in (its "\fcharset", or "\cpg"), else in the document's
// "\ansicpg". Code page 1252 is converted by the program's own table; every other code
// page (single- and double-byte) through iconv. One object keeps its converters open
// until it goes away; it is not shared between threads.
class TRtfCodePage final {
public:
    static constexpr int kAnsi = 1252;
    // The code page of a font character set; `ansiCodePage` for ANSI and default.
    // The symbol set keeps code page 1252, as the program has always read it.
    static int OfCharset(int charset, int ansiCodePage = kAnsi);
    // Whether `codePage` has characters of two bytes (lead byte + trail byte).
    static bool IsDoubleByte(int codePage);

    TRtfCodePage() = default;
    ~TRtfCodePage();
    TRtfCodePage(const TRtfCodePage&) = delete;
    TRtfCodePage& operator=(const TRtfCodePage&) = delete;

    // The Unicode text of `bytes` in `codePage`. Bytes that do not form a character, and
    // code pages iconv does not know, give U+FFFD (unknown code pages fall back to 1252).
    std::u32string Decode(int codePage, std::string_view bytes);
    // The bytes of `ch` in `codePage`, or an empty string when it has none.
    std::string Encode(int codePage, char32_t ch);

private:
    void* Converter(std::map<int, void*>& cache, int codePage, bool toUnicode);

    std::map<int, void*> decoders_;
    std::map<int, void*> encoders_;
};
