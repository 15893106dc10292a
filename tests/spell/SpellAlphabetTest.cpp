#include <gtest/gtest.h>

#include "spell/core/SpellAlphabet.h"
#include "spell/core/Windows1252.h"

namespace {

// Letter codes decide which node a letter matches; a wrong code loses words silently.
TEST(SpellAlphabetTest, LetterCodesFollowTheAlphabetAndLowerCasePartners) {
    struct Case {
        unsigned char c;
        int code;
    };
    const Case cases[] = {
        {'A', 0},   {'a', 0},   {'Z', 25},  {'z', 25},  {'\'', 26}, {'-', 27},  {0x8A, 28},
        {0x9A, 28}, {0x8C, 29}, {0x9C, 29}, {0x9F, 30}, {0xFF, 30}, {0xC0, 31}, {0xE0, 31},
        {0xCF, 46}, {0xEF, 46}, {0xD0, 47}, {0xD1, 48}, {0xF1, 48}, {0xD6, 53}, {0xF6, 53},
        {0xD8, 54}, {0xF8, 54}, {0xDC, 58}, {0xFC, 58}, {0xDD, 59}, {0xFD, 59}, {0xDE, 60},
        {0xFE, 60}, {0xDF, 61}, {0xF0, 62}, {0x60, 63},
    };
    for (const auto& test : cases) {
        EXPECT_EQ(SpellAlphabet::LetterCode(test.c), test.code) << int(test.c);
        // Decoding a whole flags byte gives the capital back.
        EXPECT_EQ(SpellAlphabet::LetterOfFlags(static_cast<std::uint8_t>(test.code | 0xC0)),
                  SpellAlphabet::UpperCaseChar(test.c))
            << int(test.c);
    }
    for (int c : {int{'0'}, int{'9'}, int{' '}, int{'.'}, 0xD7, 0xF7, 0x92}) {
        EXPECT_EQ(SpellAlphabet::LetterCode(static_cast<unsigned char>(c)),
                  SpellAlphabet::NoLetterCode)
            << c;
    }
}

// Upper-casing is applied to every word before lookup, insertion and scoring.
TEST(SpellAlphabetTest, UpperCasingKeepsEthAndDivisionSign) {
    EXPECT_EQ(SpellAlphabet::UpperCase("dog's-x"), "DOG'S-X");
    EXPECT_EQ(SpellAlphabet::UpperCase("\x9a\x9c\xe7\xf1\xf8\xfd\xfe\xff"),
              "\x8a\x8c\xc7\xd1\xd8\xdd\xde\x9f");
    EXPECT_EQ(SpellAlphabet::UpperCase("\xe0\xe9\xf0\xf7\xdf"), "\xc0\xc9\xf0\xf7\xdf");
}

// Suggestions take the capitalisation of the word the user typed.
TEST(SpellAlphabetTest, SuggestionsAreCapitalisedLikeTheTypedWord) {
    struct Case {
        const char* suggestion;
        const char* typed;
        const char* expected;
    };
    const Case cases[] = {
        {"RECEIVE", "RECIEVE", "RECEIVE"},       // no lower-case letter: stays in capitals
        {"RECEIVE", "recieve", "receive"},       // all lower case
        {"RECEIVE", "Recieve", "Receive"},       // first capital
        {"MCDONALD", "McDonnald", "McDonald"},   // capitals paired letter by letter
        {"DON'T", "Dont", "Don't"},              // apostrophe skipped in the suggestion
        {"O'CLOCK", "O'Clok", "O'Clock"},        // apostrophes skipped on both sides
        {"THE", "tHEIR", "tHE"},                 // suggestion ends first
        {"THEIR", "tH", "tHeir"},                // typed word ends first
        {"\xC9T\xC9", "\xe9T\xe9", "\xe9T\xe9"}, // accented letters
    };
    for (const auto& test : cases) {
        EXPECT_EQ(SpellAlphabet::CapitaliseLike(test.suggestion, test.typed), test.expected)
            << test.typed;
    }
}

// Words reach the engine as Windows-1252; a word outside it must be recognisably unconvertible.
TEST(SpellAlphabetTest, Windows1252ConversionRoundTripsAndRefusesForeignCharacters) {
    EXPECT_EQ(Windows1252::FromUtf8("caf\xC3\xA9"), std::optional<std::string>("caf\xE9"));
    EXPECT_EQ(Windows1252::FromUtf8("\xC5\xA0"), std::optional<std::string>("\x8A")); // Š
    EXPECT_EQ(Windows1252::ToUtf8("Zo\xEB"), "Zo\xC3\xAB");
    EXPECT_FALSE(Windows1252::FromUtf8("\xCE\xB1\xCE\xB2").has_value()); // Greek
    EXPECT_FALSE(Windows1252::FromUtf8("bad\xFF").has_value());          // not UTF-8
}

} // namespace
