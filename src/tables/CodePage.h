#pragma once

#include <string>
#include <unordered_map>

namespace qp::tables {

// Conversion between UTF-8 (the engine's interface) and the single-byte code page a
// table stores its text in (character fields, memos and character keys), as the
// code-page mark in the table's header names it.
class CodePage {
public:
    // The code page of header mark `mark`. Tables without a mark, and marks of code pages
    // that need more than one byte per character, are read and written as Windows-1252.
    static const CodePage& ForMark(int mark);
    static const CodePage& Windows1252();

    const std::string& Name() const { return name_; }
    // Every byte gives a character; bytes the code page leaves undefined give U+FFFD.
    std::string Decode(const std::string& bytes) const;
    // Characters the code page lacks (and C1 controls) become '?'; bytes that are not
    // UTF-8 are taken as bytes of the code page already.
    std::string Encode(const std::string& utf8) const;

    // Windows-1252 shortcuts.
    static std::string ToUtf8(const std::string& cp1252) { return Windows1252().Decode(cp1252); }
    static std::string FromUtf8(const std::string& utf8) { return Windows1252().Encode(utf8); }

private:
    explicit CodePage(std::string name);

    std::string name_;
    char32_t characters_[256]; // the character of each byte, U+FFFD when none
    std::unordered_map<char32_t, unsigned char> bytes_;
};

} // namespace qp::tables
