#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The alphabet of the dictionary files and the case rules of the checker. Words are
// Windows-1252 bytes. Every letter a list can hold has a code from 0 to 63: its place in
// a fixed 64-character alphabet (A-Z, apostrophe, hyphen, the accented capitals, the
// grave accent); lower-case letters share the code of their capital.
namespace SpellAlphabet {

inline constexpr int NoLetterCode = -1;

// The code of a character, or NoLetterCode when no list can hold it.
int LetterCode(unsigned char c);

// The letter stored in a node's flags byte (its low six bits index the alphabet).
unsigned char LetterOfFlags(std::uint8_t flags);

// Upper-casing as the checker does it for lookups, insertion and scoring.
unsigned char UpperCaseChar(unsigned char c);
std::string UpperCase(std::string_view word);

// Lower-casing used to give suggestions the capitalisation of the typed word.
unsigned char LowerCaseChar(unsigned char c);

bool IsCapitalLetter(unsigned char c);
bool IsLowerCaseLetter(unsigned char c);
inline bool IsLetter(unsigned char c) {
    return IsCapitalLetter(c) || IsLowerCaseLetter(c);
}

// True when the word contains at least one lower-case letter.
bool HasLowerCaseLetter(std::string_view word);

} // namespace SpellAlphabet

namespace SpellAlphabet {

// Gives an upper-case suggestion the capitalisation of the word as typed: unchanged when
// the typed word has no lower-case letter; otherwise lower-cased, then each of its
// letters whose partner in the typed word (letters paired in order, other characters
// skipped on both sides) is a capital is made a capital.
std::string CapitaliseLike(std::string_view suggestion, std::string_view typed);

} // namespace SpellAlphabet
