#include "spell/core/SpellAlphabet.h"

#include <array>

namespace SpellAlphabet {

namespace {

constexpr std::array<unsigned char, 64> MakeAlphabet() {
    std::array<unsigned char, 64> alphabet{};
    int n = 0;
    for (int c = 'A'; c <= 'Z'; ++c) {
        alphabet[n++] = static_cast<unsigned char>(c);
    }
    alphabet[n++] = '\'';
    alphabet[n++] = '-';
    alphabet[n++] = 0x8A;
    alphabet[n++] = 0x8C;
    alphabet[n++] = 0x9F;
    for (int c = 0xC0; c <= 0xD6; ++c) {
        alphabet[n++] = static_cast<unsigned char>(c);
    }
    for (int c = 0xD8; c <= 0xDF; ++c) {
        alphabet[n++] = static_cast<unsigned char>(c);
    }
    alphabet[n++] = 0xF0;
    alphabet[n++] = 0x60;
    return alphabet;
}

constexpr std::array<unsigned char, 64> kAlphabet = MakeAlphabet();

constexpr unsigned char ComputeUpperCase(unsigned char c) {
    if (c >= 'a' && c <= 'z') {
        return static_cast<unsigned char>(c - 32);
    }
    switch (c) {
    case 0x9A:
        return 0x8A;
    case 0x9C:
        return 0x8C;
    case 0xFF:
        return 0x9F;
    case 0xF0:
    case 0xF7:
        return c;
    default:
        break;
    }
    if (c >= 0xE0) {
        return static_cast<unsigned char>(c - 32);
    }
    return c;
}

constexpr std::array<int, 256> MakeCodeTable() {
    std::array<int, 256> table{};
    for (auto& code : table) {
        code = NoLetterCode;
    }
    for (int code = 0; code < 64; ++code) {
        table[kAlphabet[code]] = code;
    }
    // Lower-case letters take the code of their capital.
    for (int c = 0; c < 256; ++c) {
        const unsigned char upper = ComputeUpperCase(static_cast<unsigned char>(c));
        if (upper != c && table[c] == NoLetterCode) {
            table[c] = table[upper];
        }
    }
    return table;
}

constexpr std::array<int, 256> kCodes = MakeCodeTable();

} // namespace

int LetterCode(unsigned char c) {
    return kCodes[c];
}

unsigned char LetterOfFlags(std::uint8_t flags) {
    return kAlphabet[flags & 0x3F];
}

unsigned char UpperCaseChar(unsigned char c) {
    return ComputeUpperCase(c);
}

std::string UpperCase(std::string_view word) {
    std::string result(word);
    for (auto& c : result) {
        c = static_cast<char>(UpperCaseChar(static_cast<unsigned char>(c)));
    }
    return result;
}

unsigned char LowerCaseChar(unsigned char c) {
    if (c >= 'A' && c <= 'Z') {
        return static_cast<unsigned char>(c + 32);
    }
    switch (c) {
    case 0x8A:
        return 0x9A;
    case 0x8C:
        return 0x9C;
    case 0x9F:
        return 0xFF;
    default:
        break;
    }
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) {
        return static_cast<unsigned char>(c + 32);
    }
    return c;
}

bool IsCapitalLetter(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || c == 0x8A || c == 0x8C || c == 0x9F ||
           (c >= 0xC0 && c <= 0xDE && c != 0xD7);
}

bool IsLowerCaseLetter(unsigned char c) {
    return (c >= 'a' && c <= 'z') || c == 0x9A || c == 0x9C || c == 0xDF ||
           (c >= 0xE0 && c != 0xF7);
}

bool HasLowerCaseLetter(std::string_view word) {
    for (unsigned char c : word) {
        if (IsLowerCaseLetter(c)) {
            return true;
        }
    }
    return false;
}

} // namespace SpellAlphabet

namespace SpellAlphabet {

std::string CapitaliseLike(std::string_view suggestion, std::string_view typed) {
    std::string result(suggestion);
    if (!HasLowerCaseLetter(typed)) {
        return result;
    }
    for (auto& c : result) {
        c = static_cast<char>(LowerCaseChar(static_cast<unsigned char>(c)));
    }
    std::size_t t = 0;
    std::size_t s = 0;
    while (true) {
        while (t < typed.size() && !IsLetter(static_cast<unsigned char>(typed[t]))) {
            ++t;
        }
        while (s < result.size() && !IsLetter(static_cast<unsigned char>(result[s]))) {
            ++s;
        }
        if (t >= typed.size() || s >= result.size()) {
            break;
        }
        if (IsCapitalLetter(static_cast<unsigned char>(typed[t]))) {
            result[s] = static_cast<char>(UpperCaseChar(static_cast<unsigned char>(result[s])));
        }
        ++t;
        ++s;
    }
    return result;
}

} // namespace SpellAlphabet
