#pragma once

#include <string>
#include <string_view>

// The four-character sound key that prunes the suggestion search, and the letters the
// search tries in place of a word's first letter.
namespace PhoneticKey {

inline constexpr std::size_t KeyLength = 4;

// The key of an upper-cased word, cut to four characters but not padded.
std::string RawKey(std::string_view upperWord);

// The key of the word being corrected: the raw key padded with NUL bytes to four.
std::string WordKey(std::string_view upperWord);

// The key of a partial prefix, completed with the corresponding characters of the
// word's key `wordKey` where it is shorter than four.
std::string PrefixKey(std::string_view upperPrefix, std::string_view wordKey);

// The letters tried as first letter for a word whose upper-cased first letter is
// `first`, in the order they are tried.
std::string FirstLetterAlternatives(unsigned char first);

} // namespace PhoneticKey
