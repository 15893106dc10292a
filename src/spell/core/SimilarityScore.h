#pragma once

#include <string_view>

// How alike a suggestion candidate is to the upper-cased word being corrected, 0 to 100.
// The candidate's apostrophes are removed; then the longest common substring of the two
// (the first found, scanning the candidate's positions and, for each, the word's
// positions from left to right) counts twice its length, and the parts right of it and
// left of it are matched the same way, recursively. Score = total * 100 / (length of
// candidate + length of word).
int SimilarityScore(std::string_view candidate, std::string_view upperWord);

// The recursive common-substring total of two strings (twice the matched lengths).
int CommonSubstringTotal(std::string_view a, std::string_view b);
