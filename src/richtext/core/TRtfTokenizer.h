#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Splits RTF bytes into groups, control words, control symbols, hex escapes and text
// bytes. Never fails: unfinished escapes at the end are dropped.
class TRtfTokenizer final {
public:
    enum class Kind { tkEnd, tkGroupOpen, tkGroupClose, tkWord, tkSymbol, tkHex, tkText };

    struct Token {
        Kind kind = Kind::tkEnd;
        std::string word; // tkWord: the name; tkSymbol: the symbol character
        bool hasParameter = false;
        int parameter = 0;      // clamped to the int range
        unsigned char byte = 0; // tkHex and tkText
    };

    explicit TRtfTokenizer(std::string_view input) : input_(input) {}

    Token Next();
    // Takes `count` raw bytes (the data of "\bin"), fewer at the end of the input.
    std::string_view TakeBytes(long long count);
    bool AtEnd() const { return pos_ >= input_.size(); }

private:
    Token ReadControl();
    Token ReadWord();

    std::string_view input_;
    size_t pos_ = 0;
};
