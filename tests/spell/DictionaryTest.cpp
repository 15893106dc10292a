#include <algorithm>
#include <filesystem>
#include <random>
#include <set>

#include <gtest/gtest.h>

#include "SpellTestLists.h"
#include "TestPaths.h"
#include "spell/core/DictionaryBuilder.h"
#include "spell/core/DictionaryFormat.h"
#include "spell/core/SpellAlphabet.h"
#include "spell/core/TZizadSpell.h"
#include "spell/core/Windows1252.h"

namespace {

using spelltest::Cp1252;

class DictionaryTest : public ::testing::Test {
protected:
    void SetUp() override {
        mainList = scratch.file("main.dct");
        userList = scratch.file("user.dct");
        spelltest::BuildMainList(mainList, spelltest::SmallWords());
    }

    qptest::ScratchDir scratch{"dictionary"};
    std::string mainList;
    std::string userList;
};

// Every word of a list must be found again, in any case, and nothing else.
TEST_F(DictionaryTest, SmallListFindsItsWordsAndRejectsOthers) {
    TZizadSpell speller;
    ASSERT_TRUE(speller.OpenMainList(mainList));
    for (const auto& word : spelltest::SmallWords()) {
        const std::string bytes = Cp1252(word);
        EXPECT_TRUE(speller.CheckWord(bytes)) << word;
        EXPECT_TRUE(speller.CheckWord(SpellAlphabet::UpperCase(bytes))) << word;
    }
    for (const char* word : {"ca", "catc", "catches", "bok", "zebras", "tex", "dogg", "th", "cafe",
                             "well", "known", "dont", "faxs", "x-ray"}) {
        EXPECT_FALSE(speller.CheckWord(word)) << word;
    }
}

// The main list the program ships is built from the whole Debian word list, in several
// sections; every word of that list has to be found.
TEST_F(DictionaryTest, DebianWordListBuildsIntoSectionsThatFindEveryWord) {
    const std::string source = "/usr/share/dict/american-english";
    if (!std::filesystem::exists(source)) {
        GTEST_SKIP() << "wamerican is not installed";
    }
    DictionaryBuilder builder;
    std::vector<std::string> stored;
    for (const auto& word : spelltest::ReadWordList(source)) {
        const auto bytes = Windows1252::FromUtf8(word);
        if (bytes && builder.AddWord(*bytes)) {
            stored.push_back(*bytes);
        }
    }
    ASSERT_GT(stored.size(), 90000u);
    const auto sections = builder.SectionNodeCounts();
    ASSERT_GE(sections.size(), 2u);
    for (int nodes : sections) {
        EXPECT_LE(nodes, DictionaryFormat::MaxNodes);
    }
    const std::string big = scratch.file("big.dct");
    ASSERT_TRUE(builder.Write(big));

    TZizadSpell speller;
    ASSERT_TRUE(speller.OpenMainList(big));
    EXPECT_EQ(speller.SectionCount(), static_cast<int>(sections.size()));
    std::set<std::string> known;
    for (const auto& word : stored) {
        EXPECT_TRUE(speller.CheckWord(word)) << word;
        known.insert(SpellAlphabet::UpperCase(word));
    }
    // Words one letter away from listed words are rejected unless they are listed.
    std::mt19937 random(42);
    int rejected = 0;
    for (int i = 0; i < 3000; ++i) {
        std::string word = SpellAlphabet::UpperCase(stored[random() % stored.size()]);
        word[random() % word.size()] = static_cast<char>('A' + random() % 26);
        const bool listed = known.count(word) != 0 || word.size() < 2 ||
                            (word.size() > 2 && word.ends_with("'S") &&
                             known.count(word.substr(0, word.size() - 2)) != 0);
        EXPECT_EQ(speller.CheckWord(word), listed) << word;
        rejected += listed ? 0 : 1;
    }
    EXPECT_GT(rejected, 1000);
}

// One-letter words never stop a check; possessives of listed words are correct.
TEST_F(DictionaryTest, OneLetterWordsAndPossessives) {
    TZizadSpell speller;
    ASSERT_TRUE(speller.OpenMainList(mainList));
    EXPECT_TRUE(speller.CheckWord(""));
    EXPECT_TRUE(speller.CheckWord("q"));
    EXPECT_TRUE(speller.CheckWord("DOG'S"));
    EXPECT_TRUE(speller.CheckWord("dog's"));
    EXPECT_TRUE(speller.CheckWord("FRIENDS'S"));
    EXPECT_FALSE(speller.CheckWord("DOGGO'S"));
    EXPECT_FALSE(speller.CheckWord("'S"));
    EXPECT_FALSE(speller.CheckWord("DOG'"));
}

// Without any dictionary every word of two or more letters counts as misspelt.
TEST_F(DictionaryTest, MissingMainListMakesLongerWordsUnknown) {
    TZizadSpell speller;
    speller.SetDictionaryName(scratch.file("missing.dct"));
    EXPECT_FALSE(speller.CheckWord("the"));
    EXPECT_TRUE(speller.CheckWord("a"));
    EXPECT_TRUE(speller.Suggestions("teh").empty());
    EXPECT_FALSE(speller.IsMainListOpen());
    // CheckWord opens the named main list on demand.
    speller.SetDictionaryName(mainList);
    EXPECT_TRUE(speller.CheckWord("the"));
    EXPECT_TRUE(speller.IsMainListOpen());
    EXPECT_FALSE(speller.OpenMainList(mainList)); // already open
}

// A new user list has the exact layout other programs reading it expect.
TEST_F(DictionaryTest, NewUserListLayoutHoldsTheWordA) {
    TZizadSpell speller;
    const int section = speller.CreateUserList(userList);
    ASSERT_GE(section, 0);
    const std::string bytes = spelltest::ReadFileBytes(userList);
    const std::size_t header = spelltest::SectionsStart(bytes);
    ASSERT_GT(header, 0u);
    ASSERT_EQ(bytes.size(), header + 17 + 3 * 500);
    const auto decoded =
        SectionHeader::Decode(reinterpret_cast<const unsigned char*>(&bytes[header]));
    EXPECT_EQ(decoded.nodesInUse, 1);
    EXPECT_EQ(decoded.capacity, 500);
    EXPECT_EQ(decoded.wordCounter, 1);
    EXPECT_EQ(decoded.kind, 0);
    EXPECT_EQ(decoded.headerOffset, static_cast<int>(header));
    EXPECT_EQ(bytes.substr(header + 17, 3), std::string("\x00\x00\xC0", 3));
    for (int node = 2; node <= 500; ++node) {
        ASSERT_EQ(bytes.substr(header + 17 + 3 * (node - 1), 3), std::string("\xE8\xFD\xC0", 3))
            << node;
    }
    EXPECT_NE(bytes.find("\r\n"), std::string::npos);
    EXPECT_TRUE(speller.CheckWord("A"));
    // A user list is not a main list and vice versa.
    TZizadSpell other;
    EXPECT_FALSE(other.OpenMainList(userList));
    EXPECT_EQ(other.OpenUserList(mainList), -1);
    EXPECT_EQ(other.OpenUserList(scratch.file("missing.dct")), -1);
}

// Adding words inserts nodes at the start of lists and moves everything behind them;
// every earlier word has to stay findable, also after reopening the file.
TEST_F(DictionaryTest, AddedWordsStayFindableThroughNodeMovesAndReopening) {
    const std::vector<std::string> words = {"zebra",   "book",   "bat",   "cat",       "catch",
                                            "ab",      "abacus", "mouse", "mice",      "b",
                                            "zoo",     "bath",   "bathe", "Ärger",     "a-b",
                                            "o'neill", "zz",     "aa",    "quillpost", "fax"};
    std::vector<std::string> added;
    {
        TZizadSpell speller;
        const int section = speller.CreateUserList(userList);
        ASSERT_GE(section, 0);
        for (const auto& word : words) {
            ASSERT_TRUE(speller.AddWord(Cp1252(word), section)) << word;
            added.push_back(Cp1252(word));
            for (const auto& earlier : added) {
                ASSERT_TRUE(speller.CheckWord(earlier)) << earlier << " after adding " << word;
            }
            EXPECT_FALSE(speller.CheckWord("zebr"));
            EXPECT_FALSE(speller.CheckWord("bo"));
        }
    }
    TZizadSpell reopened;
    const int section = reopened.OpenUserList(userList);
    ASSERT_GE(section, 0);
    for (const auto& word : added) {
        EXPECT_TRUE(reopened.CheckWord(word)) << word;
    }
    for (const char* word : {"zebr", "boo", "catc", "mous", "abacu", "quill"}) {
        EXPECT_FALSE(reopened.CheckWord(word)) << word;
    }
    const std::string bytes = spelltest::ReadFileBytes(userList);
    const auto header = SectionHeader::Decode(
        reinterpret_cast<const unsigned char*>(&bytes[spelltest::SectionsStart(bytes)]));
    EXPECT_EQ(header.wordCounter, 1 + static_cast<int>(words.size()));
}

// Many words in random order grow the list past its 500-node capacity.
TEST_F(DictionaryTest, ManyWordsGrowTheUserListPastItsCapacity) {
    std::vector<std::string> words;
    std::mt19937 random(7);
    for (int i = 0; i < 400; ++i) {
        std::string word;
        const int length = 2 + static_cast<int>(random() % 8);
        for (int j = 0; j < length; ++j) {
            word.push_back(static_cast<char>('a' + random() % 26));
        }
        words.push_back(word);
    }
    TZizadSpell speller;
    const int section = speller.CreateUserList(userList);
    for (const auto& word : words) {
        ASSERT_TRUE(speller.AddWord(word, section)) << word;
    }
    TZizadSpell reopened;
    ASSERT_GE(reopened.OpenUserList(userList), 0);
    const std::set<std::string> set(words.begin(), words.end());
    for (const auto& word : words) {
        EXPECT_TRUE(reopened.CheckWord(word)) << word;
        std::string shorter = word.substr(0, word.size() - 1);
        if (shorter.size() > 1 && set.count(shorter) == 0) {
            EXPECT_FALSE(reopened.CheckWord(shorter)) << shorter;
        }
    }
    const std::string bytes = spelltest::ReadFileBytes(userList);
    const auto header = SectionHeader::Decode(
        reinterpret_cast<const unsigned char*>(&bytes[spelltest::SectionsStart(bytes)]));
    EXPECT_GT(header.nodesInUse, 500);
    EXPECT_EQ(header.capacity, 500);
}

// Two engines (two windows or two programs) share one user list.
TEST_F(DictionaryTest, SecondEngineSeesWordsTheOtherAdded) {
    TZizadSpell first;
    const int firstSection = first.CreateUserList(userList);
    TZizadSpell second;
    const int secondSection = second.OpenUserList(userList);
    ASSERT_GE(firstSection, 0);
    ASSERT_GE(secondSection, 0);
    EXPECT_FALSE(second.CheckWord("quillpost"));
    ASSERT_TRUE(first.AddWord("quillpost", firstSection));
    EXPECT_TRUE(second.CheckWord("quillpost"));
    // The second engine adds after the first without overwriting its nodes.
    ASSERT_TRUE(second.AddWord("quire", secondSection));
    ASSERT_TRUE(first.AddWord("aardvark", firstSection));
    for (const char* word : {"quillpost", "quire", "aardvark", "a"}) {
        EXPECT_TRUE(first.CheckWord(word)) << word;
        EXPECT_TRUE(second.CheckWord(word)) << word;
    }
}

// Adding refuses what a list cannot hold and sections that are not user lists, and
// says why.
TEST_F(DictionaryTest, AddWordRefusesLongWordsFullListsAndMainSections) {
    TZizadSpell speller;
    ASSERT_TRUE(speller.OpenMainList(mainList));
    const int section = speller.CreateUserList(userList);
    ASSERT_GE(section, 0);
    EXPECT_FALSE(speller.AddWord("word", 0)); // section 0 is the main list's
    EXPECT_EQ(speller.LastAddResult(), AddWordResult::awNoUserList);
    EXPECT_FALSE(speller.AddWord("word", 999)); // no such section
    EXPECT_EQ(speller.LastAddResult(), AddWordResult::awNoUserList);
    EXPECT_FALSE(speller.AddWord(std::string(26, 'q'), section));
    EXPECT_EQ(speller.LastAddResult(), AddWordResult::awTooLong);
    EXPECT_TRUE(speller.AddWord(std::string(25, 'q'), section));
    EXPECT_TRUE(speller.CheckWord(std::string(25, 'q')));
    EXPECT_FALSE(speller.AddWord("x2y", section)); // a digit has no letter code
    EXPECT_EQ(speller.LastAddResult(), AddWordResult::awBadLetter);
    EXPECT_FALSE(speller.CheckWord("x2y"));
    EXPECT_FALSE(speller.AddWord("", section));
    EXPECT_EQ(speller.LastAddResult(), AddWordResult::awEmpty);
}

// A list with no room left: a word is refused when the nodes in use plus its length
// would pass 63999, and the refusal says why; a word that still fits is taken.
TEST_F(DictionaryTest, FullUserListRefusesWordsThatDoNotFit) {
    spelltest::MakeNearlyFullUserList(userList);
    TZizadSpell speller;
    const int section = speller.OpenUserList(userList);
    ASSERT_GE(section, 0);
    EXPECT_FALSE(speller.AddWord("zzzzzz", section)); // 63994 + 6 > 63999
    EXPECT_EQ(speller.LastAddResult(), AddWordResult::awListFull);
    EXPECT_FALSE(speller.CheckWord("zzzzzz"));
    EXPECT_TRUE(speller.AddWord("zzzzz", section)); // 63994 + 5 = 63999
    EXPECT_EQ(speller.LastAddResult(), AddWordResult::awAdded);
    EXPECT_EQ(spelltest::NodesInUse(userList), DictionaryFormat::MaxNodes);
    EXPECT_TRUE(speller.CheckWord("zzzzz"));
    // A word already listed counts against the limit too.
    EXPECT_FALSE(speller.AddWord("zz", section));
    EXPECT_EQ(speller.LastAddResult(), AddWordResult::awListFull);
    TZizadSpell reopened;
    ASSERT_GE(reopened.OpenUserList(userList), 0);
    EXPECT_TRUE(reopened.TakeUserListRepairs().empty());
    EXPECT_TRUE(reopened.CheckWord("zzzzz"));
    EXPECT_TRUE(reopened.CheckWord("pqrstaaauvwxyzabcdefghijk"));
}

// Suggestions: the intended word first, at most MaxSuggestions, capitalised as typed.
TEST_F(DictionaryTest, SuggestionsRankCloseWordsFirst) {
    TZizadSpell speller;
    ASSERT_TRUE(speller.OpenMainList(mainList));
    EXPECT_EQ(speller.MaxSuggestions(), 10);
    auto suggestions = speller.Suggestions("recieve");
    ASSERT_FALSE(suggestions.empty());
    EXPECT_EQ(suggestions.front(), "receive");
    suggestions = speller.Suggestions("Freind");
    ASSERT_FALSE(suggestions.empty());
    EXPECT_EQ(suggestions.front(), "Friend");
    // Typed in capitals, suggested in capitals; CAT (6 * 100 / 7) beats CATS (6 * 100 / 8).
    suggestions = speller.Suggestions("CATZ");
    ASSERT_GE(suggestions.size(), 2u);
    EXPECT_EQ(suggestions[0], "CAT");
    EXPECT_EQ(suggestions[1], "CATS");
    // Split words: both halves correct.
    suggestions = speller.Suggestions("thecat");
    EXPECT_NE(std::find(suggestions.begin(), suggestions.end(), "the cat"), suggestions.end());
    // The first-letter alternatives find words that start differently (S -> C).
    suggestions = speller.Suggestions("sat");
    EXPECT_NE(std::find(suggestions.begin(), suggestions.end(), "cat"), suggestions.end());

    speller.SetMaxSuggestions(3);
    EXPECT_LE(speller.Suggestions("tets").size(), 3u);
    speller.SetMaxSuggestions(300);
    EXPECT_EQ(speller.MaxSuggestions(), 220);
    speller.SetMaxSuggestions(0);
    EXPECT_TRUE(speller.Suggestions("tets").empty());
}

// Words of the user list are suggested as well, and never twice.
TEST_F(DictionaryTest, SuggestionsIncludeUserWordsWithoutDuplicates) {
    TZizadSpell speller;
    ASSERT_TRUE(speller.OpenMainList(mainList));
    const int section = speller.CreateUserList(userList);
    ASSERT_TRUE(speller.AddWord("Quillpost", section));
    ASSERT_TRUE(speller.AddWord("dog", section)); // also in the main list
    speller.SetMaxSuggestions(220);
    const auto suggestions = speller.Suggestions("quilpost");
    ASSERT_FALSE(suggestions.empty());
    EXPECT_EQ(suggestions.front(), "quillpost");
    const auto dogs = speller.Suggestions("dgo");
    EXPECT_EQ(std::count(dogs.begin(), dogs.end(), "dog"), 1);
    const std::set<std::string> unique(dogs.begin(), dogs.end());
    EXPECT_EQ(unique.size(), dogs.size());
}

// Closing only happens when a main list is open; reopening afterwards works.
TEST_F(DictionaryTest, CloseAndReopen) {
    TZizadSpell speller;
    speller.Close();
    ASSERT_TRUE(speller.OpenMainList(mainList));
    EXPECT_GE(speller.CreateUserList(userList), 0);
    EXPECT_EQ(speller.SectionCount(), 2);
    speller.Close();
    EXPECT_EQ(speller.SectionCount(), 0);
    EXPECT_FALSE(speller.IsMainListOpen());
    EXPECT_TRUE(speller.OpenMainList(mainList));
    EXPECT_GE(speller.OpenUserList(userList), 0);
    EXPECT_TRUE(speller.CheckWord("zebra"));
}

} // namespace
