#include "spell/core/Windows1252.h"

#include <cerrno>
#include <iconv.h>

namespace Windows1252 {

namespace {

// Converts with iconv; nothing when any character cannot be converted.
std::optional<std::string> Convert(const char* to, const char* from, std::string_view text) {
    iconv_t converter = iconv_open(to, from);
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        return std::nullopt;
    }
    std::string input(text);
    std::string output(text.size() * 4 + 4, '\0');
    char* in = input.data();
    std::size_t inLeft = input.size();
    char* out = output.data();
    std::size_t outLeft = output.size();
    const std::size_t result = iconv(converter, &in, &inLeft, &out, &outLeft);
    iconv_close(converter);
    if (result == static_cast<std::size_t>(-1) || inLeft != 0) {
        return std::nullopt;
    }
    output.resize(output.size() - outLeft);
    return output;
}

} // namespace

std::optional<std::string> FromUtf8(std::string_view utf8) {
    return Convert("WINDOWS-1252", "UTF-8", utf8);
}

std::string ToUtf8(std::string_view bytes) {
    std::string result;
    for (char c : bytes) {
        if (auto converted = Convert("UTF-8", "WINDOWS-1252", std::string_view(&c, 1))) {
            result += *converted;
        } else {
            result += "\xEF\xBF\xBD";
        }
    }
    return result;
}

std::size_t CharacterCount(std::string_view utf8) {
    std::size_t count = 0;
    for (const char byte : utf8) {
        count += (static_cast<unsigned char>(byte) & 0xC0) == 0x80 ? 0 : 1;
    }
    return count;
}

} // namespace Windows1252
