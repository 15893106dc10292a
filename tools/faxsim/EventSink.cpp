#include "EventSink.h"

namespace faxsim {

namespace {

const char kHexDigits[] = "0123456789abcdef";

void AppendEscaped(std::string& out, unsigned char c) {
    out += "\\x";
    out += kHexDigits[c >> 4];
    out += kHexDigits[c & 0x0F];
}

} // namespace

void StreamEventSink::Event(const std::string& line) {
    std::fputs(line.c_str(), stream_);
    std::fputc('\n', stream_);
    std::fflush(stream_);
}

std::string Quoted(const std::string& text) {
    std::string out = "\"";
    for (char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (ch == '"' || ch == '\\') {
            out += '\\';
            out += ch;
        } else if (c < 0x20 || c == 0x7F) {
            AppendEscaped(out, c);
        } else {
            out += ch;
        }
    }
    return out + "\"";
}

std::string Hex(const std::vector<std::uint8_t>& bytes) {
    std::string out;
    out.reserve(bytes.size() * 2);
    for (std::uint8_t byte : bytes) {
        out += kHexDigits[byte >> 4];
        out += kHexDigits[byte & 0x0F];
    }
    return out;
}

std::string Printable(const std::string& text) {
    std::string out;
    for (char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c >= 0x7F || ch == '\\') {
            AppendEscaped(out, c);
        } else {
            out += ch;
        }
    }
    return out;
}

} // namespace faxsim
