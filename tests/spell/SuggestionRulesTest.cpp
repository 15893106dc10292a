#include <gtest/gtest.h>

#include "spell/core/PhoneticKey.h"
#include "spell/core/SimilarityScore.h"
#include "spell/core/SuggestionTable.h"

namespace {

using namespace std::string_literals;

// The key prunes the suggestion search; a wrong key hides the right suggestion.
TEST(PhoneticKeyTest, HandComputedKeys) {
    struct Case {
        const char* word;
        std::string key;
    };
    const Case cases[] = {
        {"TEH", "T\0\0\0"s},    // vowels and H dropped after the first letter
        {"RECIEVE", "R21\0"s},  // C -> 2, V -> 1
        {"SPELLING", "S145"s},  // repeats removed, cut to four
        {"TESTS", "T23\0"s},    // later repeats removed even when not neighbours
        {"AEIOU", "A\0\0\0"s},  // first letter kept even when a vowel
        {"A1B2", "AI14"s},      // digits take classes: 1 -> I, 2 -> 4
        {"CAF\xC9", "C1\0\0"s}, // accented vowels dropped
        {"D'ART", "D763"s},     // apostrophe -> 7
        {"\xC7"
         "A\xC7",
         "\xC7"
         "2\0\0"s}, // C cedilla: first kept, later one -> 2
    };
    for (const auto& test : cases) {
        EXPECT_EQ(PhoneticKey::WordKey(test.word), test.key) << test.word;
    }
    EXPECT_EQ(PhoneticKey::RawKey("TEH"), "T");
}

// A prefix key shorter than four is completed from the word's key, so the search only
// descends while the prefix can still lead to a word of the same key.
TEST(PhoneticKeyTest, PrefixKeysAreCompletedFromTheWordKey) {
    const std::string wordKey = "R21\0"s;
    EXPECT_EQ(PhoneticKey::PrefixKey("R", wordKey), wordKey);
    EXPECT_EQ(PhoneticKey::PrefixKey("RE", wordKey), wordKey);
    EXPECT_EQ(PhoneticKey::PrefixKey("REC", wordKey), wordKey);
    EXPECT_EQ(PhoneticKey::PrefixKey("RECE", wordKey), wordKey);
    EXPECT_NE(PhoneticKey::PrefixKey("RED", wordKey), wordKey);
    EXPECT_EQ(PhoneticKey::PrefixKey("RED", wordKey), "R31\0"s);
    EXPECT_EQ(PhoneticKey::PrefixKey("RECEIVER", wordKey), "R216"s);
}

TEST(PhoneticKeyTest, FirstLetterAlternativesInTableOrder) {
    EXPECT_EQ(PhoneticKey::FirstLetterAlternatives('A'), "EDA\xC0\xC1\xC2\xC3\xC4\xC5\xC6");
    EXPECT_EQ(PhoneticKey::FirstLetterAlternatives(0xC3), "EDA\xC0\xC1\xC2\xC3\xC4\xC5\xC6");
    EXPECT_EQ(PhoneticKey::FirstLetterAlternatives('C'), "SXVC\x8C");
    EXPECT_EQ(PhoneticKey::FirstLetterAlternatives('E'), "IWRE\xC8\xC9\xCA\xCB\xCC\xCD\xCE\xCF");
    EXPECT_EQ(PhoneticKey::FirstLetterAlternatives('O'), "PIO\xD2\xD3\xD4\xD5\xD6\xCC\xCD\xCE\xCF");
    EXPECT_EQ(PhoneticKey::FirstLetterAlternatives('S'), "ACDS\x8A\x8C");
    EXPECT_EQ(PhoneticKey::FirstLetterAlternatives('T'), "YRT");
    EXPECT_EQ(PhoneticKey::FirstLetterAlternatives(0x9F), "TUY\x9F\xDD");
    EXPECT_EQ(PhoneticKey::FirstLetterAlternatives('\''), "'");
    EXPECT_EQ(PhoneticKey::FirstLetterAlternatives('7'), "7");
}

// Scores order the suggestions; these are worked out by hand from the matching rule.
TEST(SimilarityScoreTest, HandComputedScores) {
    // THE/TEH: T (2) + H (2) = 4; 4 * 100 / 6.
    EXPECT_EQ(SimilarityScore("THE", "TEH"), 66);
    // TH/TEH: T (2) + H (2) = 4; 4 * 100 / 5.
    EXPECT_EQ(SimilarityScore("TH", "TEH"), 80);
    // RECEIVE/RECIEVE: REC (6), then EIVE/IEVE: VE (4) + E (2) = 12; 12 * 100 / 14.
    EXPECT_EQ(SimilarityScore("RECEIVE", "RECIEVE"), 85);
    // Apostrophes of the candidate do not count.
    EXPECT_EQ(SimilarityScore("DOG'S", "DOGS"), 100);
    EXPECT_EQ(SimilarityScore("XYZ", "ABC"), 0);
    // The first longest match wins: AB|BA matches A first, then nothing left of it fits.
    EXPECT_EQ(CommonSubstringTotal("AB", "BA"), 2);
    // Left parts are matched too: XAB/XYAB -> AB (4), then X/XY -> X (2).
    EXPECT_EQ(CommonSubstringTotal("XAB", "XYAB"), 6);
}

// The candidate table keeps the best MaxSuggestions in score order, ties in found order.
TEST(SuggestionTableTest, KeepsTheBestInOrderAndDropsTheLowest) {
    SuggestionTable table(10);
    for (int i = 0; i < 10; ++i) {
        EXPECT_TRUE(table.Insert("W" + std::to_string(i), 50 + i));
    }
    ASSERT_EQ(table.Size(), 10);
    // An eleventh candidate scoring lower than all ten is discarded.
    EXPECT_FALSE(table.Insert("LOW", 40));
    EXPECT_EQ(table.Size(), 10);
    EXPECT_EQ(table.Words().back(), "W0");
    // One scoring higher pushes the lowest out.
    EXPECT_TRUE(table.Insert("HIGH", 70));
    EXPECT_EQ(table.Size(), 10);
    EXPECT_EQ(table.Words().front(), "HIGH");
    EXPECT_EQ(table.Words().back(), "W1");
    // A candidate equal to the last goes behind it and so is discarded when full.
    EXPECT_FALSE(table.Insert("TIE-LAST", 51));
    // Equal scores keep the order in which they were found.
    EXPECT_TRUE(table.Insert("TIE", 55));
    const auto words = table.Words();
    const auto scores = table.Scores();
    EXPECT_EQ(words[5], "W5");
    EXPECT_EQ(words[6], "TIE");
    EXPECT_TRUE(std::is_sorted(scores.rbegin(), scores.rend()));
    // The same word is not listed twice.
    EXPECT_FALSE(table.Insert("HIGH", 70));
}

TEST(SuggestionTableTest, LimitIsBoundedAndZeroTakesNothing) {
    EXPECT_EQ(SuggestionTable(1000).Limit(), SuggestionTable::MaxEntries);
    SuggestionTable none(0);
    EXPECT_FALSE(none.Insert("A", 100));
    SuggestionTable one(1);
    EXPECT_TRUE(one.Insert("A", 10));
    EXPECT_TRUE(one.Insert("B", 20));
    EXPECT_EQ(one.Words(), std::vector<std::string>{"B"});
}

} // namespace
