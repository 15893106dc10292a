#include "spell/core/PhoneticKey.h"

namespace PhoneticKey {

namespace {

bool InRange(unsigned char c, int low, int high) {
    return c >= low && c <= high;
}

bool IsDroppedVowel(unsigned char c) {
    switch (c) {
    case 'A':
    case 'E':
    case 'H':
    case 'I':
    case 'O':
    case 'U':
    case 'W':
    case 'Y':
    case 0x9F:
    case 0xF0:
        return true;
    default:
        return InRange(c, 0xC0, 0xC6) || InRange(c, 0xC8, 0xCF) || InRange(c, 0xD2, 0xD6) ||
               InRange(c, 0xD8, 0xDD);
    }
}

unsigned char SoundClass(unsigned char c) {
    switch (c) {
    case 'B':
    case 'F':
    case 'P':
    case 'V':
    case '6':
    case '8':
    case 0xDE:
    case 0xDF:
        return '1';
    case 'C':
    case 'G':
    case 'J':
    case 'K':
    case 'Q':
    case 'S':
    case 'X':
    case 'Z':
    case '3':
    case '4':
    case '5':
    case '9':
    case 0x8A:
    case 0x8C:
    case 0xC7:
        return '2';
    case 'D':
    case 'T':
    case 0xD0:
        return '3';
    case 'L':
    case '2':
        return '4';
    case 'M':
    case 'N':
    case 0xD1:
        return '5';
    case 'R':
        return '6';
    case '\'':
    case '-':
    case '`':
        return '7';
    case '0':
    case 0xD8:
        return 'O';
    case '1':
    case '7':
        return 'I';
    default:
        break;
    }
    if (InRange(c, 0xD2, 0xD6)) {
        return 'O';
    }
    if (InRange(c, 0xCC, 0xCF)) {
        return 'I';
    }
    if (InRange(c, 0xC0, 0xC6)) {
        return 'A';
    }
    if (InRange(c, 0xC8, 0xCB)) {
        return 'E';
    }
    if (InRange(c, 0xD9, 0xDC)) {
        return 'U';
    }
    return c;
}

} // namespace

std::string RawKey(std::string_view upperWord) {
    if (upperWord.empty()) {
        return {};
    }
    std::string key(1, upperWord[0]);
    for (std::size_t i = 1; i < upperWord.size(); ++i) {
        const auto c = static_cast<unsigned char>(upperWord[i]);
        if (!IsDroppedVowel(c)) {
            key.push_back(static_cast<char>(SoundClass(c)));
        }
    }
    // From the second character on, drop every later repeat of a character.
    for (std::size_t i = 1; i < key.size(); ++i) {
        std::size_t out = i + 1;
        for (std::size_t j = i + 1; j < key.size(); ++j) {
            if (key[j] != key[i]) {
                key[out++] = key[j];
            }
        }
        key.resize(out);
    }
    if (key.size() > KeyLength) {
        key.resize(KeyLength);
    }
    return key;
}

std::string WordKey(std::string_view upperWord) {
    std::string key = RawKey(upperWord);
    key.resize(KeyLength, '\0');
    return key;
}

std::string PrefixKey(std::string_view upperPrefix, std::string_view wordKey) {
    std::string key = RawKey(upperPrefix);
    for (std::size_t i = key.size(); i < KeyLength && i < wordKey.size(); ++i) {
        key.push_back(wordKey[i]);
    }
    return key;
}

std::string FirstLetterAlternatives(unsigned char first) {
    auto range = [](int low, int high) {
        std::string letters;
        for (int c = low; c <= high; ++c) {
            letters.push_back(static_cast<char>(c));
        }
        return letters;
    };
    if (first == 'A' || InRange(first, 0xC0, 0xC6)) {
        return "EDA" + range(0xC0, 0xC6);
    }
    if (first == 'B' || first == 0xDF) {
        return "PVNB\xDF";
    }
    if (first == 'C' || first == 0x8C || first == 0xC7) {
        return "SXVC\x8C";
    }
    if (first == 'D' || first == 0xD0) {
        return "FD\xD0";
    }
    if (first == 'E' || InRange(first, 0xC8, 0xCB)) {
        return "IWRE" + range(0xC8, 0xCF);
    }
    if (first == 'I' || InRange(first, 0xCC, 0xCF)) {
        return "EOUI" + range(0xC8, 0xCF);
    }
    if (first == 'N' || first == 0xD1) {
        return "MBN\xD1";
    }
    if (first == 'O' || InRange(first, 0xD2, 0xD6)) {
        return "PIO" + range(0xD2, 0xD6) + range(0xCC, 0xCF);
    }
    if (first == 'P' || first == 0xDE) {
        return "BOP\xDE";
    }
    if (first == 'U' || InRange(first, 0xD9, 0xDC)) {
        return "YIU" + range(0xD9, 0xDC);
    }
    if (first == 'Y' || first == 0x9F || first == 0xDD) {
        return "TUY\x9F\xDD";
    }
    switch (first) {
    case 'F':
        return "DGF";
    case 'G':
        return "JG";
    case 'H':
        return "JGH";
    case 'J':
        return "GJ";
    case 'K':
        return "CLJK";
    case 'L':
        return "KL";
    case 'M':
        return "NM\xD1";
    case 'Q':
        return "WQ";
    case 'R':
        return "ETR";
    case 'S':
        return "ACDS\x8A\x8C";
    case 'T':
        return "YRT";
    case 'V':
        return "BCV\x8C";
    case 'W':
        return "QEW";
    case 'X':
        return "CZX";
    case 'Z':
        return "XZ";
    default:
        return std::string(1, static_cast<char>(first));
    }
}

} // namespace PhoneticKey
