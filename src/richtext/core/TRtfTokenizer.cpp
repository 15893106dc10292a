#include "richtext/core/TRtfTokenizer.h"

#include <climits>

namespace {

bool IsLetter(char ch) {
    return (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z');
}
bool IsDigit(char ch) {
    return ch >= '0' && ch <= '9';
}

int HexValue(char ch) {
    if (IsDigit(ch)) {
        return ch - '0';
    }
    if (ch >= 'a' && ch <= 'f') {
        return ch - 'a' + 10;
    }
    if (ch >= 'A' && ch <= 'F') {
        return ch - 'A' + 10;
    }
    return -1;
}

constexpr size_t kMaxWordLength = 32;

} // namespace

TRtfTokenizer::Token TRtfTokenizer::Next() {
    Token token;
    if (pos_ >= input_.size()) {
        return token;
    }
    const char ch = input_[pos_];
    if (ch == '{') {
        ++pos_;
        token.kind = Kind::tkGroupOpen;
    } else if (ch == '}') {
        ++pos_;
        token.kind = Kind::tkGroupClose;
    } else if (ch == '\\') {
        ++pos_;
        return ReadControl();
    } else {
        ++pos_;
        token.kind = Kind::tkText;
        token.byte = static_cast<unsigned char>(ch);
    }
    return token;
}

std::string_view TRtfTokenizer::TakeBytes(long long count) {
    if (count <= 0) {
        return {};
    }
    const size_t left = input_.size() - pos_;
    const size_t taken =
        static_cast<unsigned long long>(count) > left ? left : static_cast<size_t>(count);
    const std::string_view bytes = input_.substr(pos_, taken);
    pos_ += taken;
    return bytes;
}

TRtfTokenizer::Token TRtfTokenizer::ReadControl() {
    Token token;
    if (pos_ >= input_.size()) {
        return token; // a lone backslash at the end
    }
    const char ch = input_[pos_];
    if (IsLetter(ch)) {
        return ReadWord();
    }
    ++pos_;
    if (ch == '\'') {
        const int high = pos_ < input_.size() ? HexValue(input_[pos_]) : -1;
        const int low = pos_ + 1 < input_.size() ? HexValue(input_[pos_ + 1]) : -1;
        if (high < 0 || low < 0) {
            token.kind = Kind::tkSymbol; // damaged escape: ignored by the reader
            token.word = "'";
            return token;
        }
        pos_ += 2;
        token.kind = Kind::tkHex;
        token.byte = static_cast<unsigned char>(high * 16 + low);
        return token;
    }
    if (ch == '\r' || ch == '\n') {
        token.kind = Kind::tkWord; // "\" before a line end means a paragraph end
        token.word = "par";
        return token;
    }
    token.kind = Kind::tkSymbol;
    token.word = std::string(1, ch);
    return token;
}

TRtfTokenizer::Token TRtfTokenizer::ReadWord() {
    Token token;
    token.kind = Kind::tkWord;
    while (pos_ < input_.size() && IsLetter(input_[pos_])) {
        if (token.word.size() < kMaxWordLength) {
            token.word += input_[pos_];
        }
        ++pos_;
    }
    bool negative = false;
    if (pos_ < input_.size() && input_[pos_] == '-' && pos_ + 1 < input_.size() &&
        IsDigit(input_[pos_ + 1])) {
        negative = true;
        ++pos_;
    }
    long long value = 0;
    while (pos_ < input_.size() && IsDigit(input_[pos_])) {
        token.hasParameter = true;
        if (value < INT_MAX) {
            value = value * 10 + (input_[pos_] - '0');
        }
        ++pos_;
    }
    if (value > INT_MAX) {
        value = INT_MAX;
    }
    token.parameter = static_cast<int>(negative ? -value : value);
    if (pos_ < input_.size() && input_[pos_] == ' ') {
        ++pos_; // the delimiting blank belongs to the control word
    }
    return token;
}
