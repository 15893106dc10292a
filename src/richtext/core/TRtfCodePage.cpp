#include "richtext/core/TRtfCodePage.h"

#include "common/CodePage1252.h"

#include <cerrno>
#include <iconv.h>

namespace {

const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);

std::string IconvName(int codePage) {
    switch (codePage) {
    case 10000:
        return "MACINTOSH";
    case 1361:
        return "JOHAB";
    default:
        return "CP" + std::to_string(codePage);
    }
}

char32_t FromUtf32Le(const unsigned char* bytes) {
    return static_cast<char32_t>(bytes[0]) | static_cast<char32_t>(bytes[1]) << 8 |
           static_cast<char32_t>(bytes[2]) << 16 | static_cast<char32_t>(bytes[3]) << 24;
}

} // namespace

int TRtfCodePage::OfCharset(int charset, int ansiCodePage) {
    switch (charset) {
    case 0:
    case 1:
        return ansiCodePage;
    case 77:
        return 10000;
    case 128:
        return 932;
    case 129:
        return 949;
    case 130:
        return 1361;
    case 134:
        return 936;
    case 136:
        return 950;
    case 161:
        return 1253;
    case 162:
        return 1254;
    case 163:
        return 1258;
    case 177:
        return 1255;
    case 178:
        return 1256;
    case 186:
        return 1257;
    case 204:
        return 1251;
    case 222:
        return 874;
    case 238:
        return 1250;
    case 254:
        return 437;
    case 255:
        return 850;
    default:
        return kAnsi; // symbol and unknown sets
    }
}

bool TRtfCodePage::IsDoubleByte(int codePage) {
    return codePage == 932 || codePage == 936 || codePage == 949 || codePage == 950 ||
           codePage == 1361;
}

TRtfCodePage::~TRtfCodePage() {
    for (auto* cache : {&decoders_, &encoders_}) {
        for (const auto& [codePage, converter] : *cache) {
            if (converter != kNoConverter) {
                iconv_close(static_cast<iconv_t>(converter));
            }
        }
    }
}

void* TRtfCodePage::Converter(std::map<int, void*>& cache, int codePage, bool toUnicode) {
    const auto found = cache.find(codePage);
    if (found != cache.end()) {
        return found->second;
    }
    const std::string name = IconvName(codePage);
    iconv_t converter =
        toUnicode ? iconv_open("UTF-32LE", name.c_str()) : iconv_open(name.c_str(), "UTF-32LE");
    cache[codePage] = converter;
    return converter;
}

std::u32string TRtfCodePage::Decode(int codePage, std::string_view bytes) {
    std::u32string text;
    iconv_t converter = codePage == kAnsi
                            ? kNoConverter
                            : static_cast<iconv_t>(Converter(decoders_, codePage, true));
    if (converter == kNoConverter) {
        for (char byte : bytes) {
            text += DecodeCp1252(static_cast<unsigned char>(byte));
        }
        return text;
    }
    iconv(converter, nullptr, nullptr, nullptr, nullptr);
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    unsigned char buffer[256];
    while (inLeft > 0) {
        char* out = reinterpret_cast<char*>(buffer);
        size_t outLeft = sizeof buffer;
        const size_t result = iconv(converter, &in, &inLeft, &out, &outLeft);
        const int error = result == static_cast<size_t>(-1) ? errno : 0;
        for (unsigned char* unit = buffer; unit + 4 <= reinterpret_cast<unsigned char*>(out);
             unit += 4) {
            text += FromUtf32Le(unit);
        }
        if (error == EILSEQ || error == EINVAL) {
            // A byte that starts no character, or a lead byte without its trail byte.
            text += U'\uFFFD';
            ++in;
            --inLeft;
            iconv(converter, nullptr, nullptr, nullptr, nullptr);
        } else if (error != 0 && error != E2BIG) {
            break;
        }
    }
    return text;
}

std::string TRtfCodePage::Encode(int codePage, char32_t ch) {
    if (codePage == kAnsi) {
        const int byte = EncodeCp1252(ch);
        return byte < 0 ? std::string() : std::string(1, static_cast<char>(byte));
    }
    iconv_t converter = static_cast<iconv_t>(Converter(encoders_, codePage, false));
    if (converter == kNoConverter) {
        return Encode(kAnsi, ch);
    }
    iconv(converter, nullptr, nullptr, nullptr, nullptr);
    const unsigned char unit[4] = {static_cast<unsigned char>(ch & 0xFF),
                                   static_cast<unsigned char>((ch >> 8) & 0xFF),
                                   static_cast<unsigned char>((ch >> 16) & 0xFF),
                                   static_cast<unsigned char>((ch >> 24) & 0xFF)};
    char* in = reinterpret_cast<char*>(const_cast<unsigned char*>(unit));
    size_t inLeft = sizeof unit;
    char buffer[8];
    char* out = buffer;
    size_t outLeft = sizeof buffer;
    if (iconv(converter, &in, &inLeft, &out, &outLeft) == static_cast<size_t>(-1)) {
        return std::string();
    }
    // Finish any shift state so the bytes stand alone.
    iconv(converter, nullptr, nullptr, &out, &outLeft);
    return std::string(buffer, out);
}
