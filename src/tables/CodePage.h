#pragma once

#include <string>

namespace qp::tables {

// Conversion between UTF-8 (the engine's interface) and Windows-1252 (the bytes stored in
// character fields, memos and character keys).
class CodePage {
public:
    // Every byte maps to a character; bytes without one in 1252 map to U+FFFD.
    static std::string ToUtf8(const std::string& cp1252);
    // Characters without a 1252 byte become '?'; malformed UTF-8 bytes are taken as 1252.
    static std::string FromUtf8(const std::string& utf8);
};

} // namespace qp::tables
