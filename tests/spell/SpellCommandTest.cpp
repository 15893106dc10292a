#include <gtest/gtest.h>

#include "SpellTestLists.h"
#include "TestPaths.h"

namespace {

std::string Qpx() {
    return (qptest::BinaryDir() / "bin" / "qpx").string();
}

// Runs "qpx spell ARGUMENTS"; `output` receives what it printed (both streams).
int Spell(const std::string& arguments, std::string* output = nullptr) {
    if (output) {
        output->clear();
    }
    return qptest::RunCommand(Qpx() + " spell " + arguments, output);
}

// The shipped main list is built by the build and found by qpx from the data folder.
TEST(SpellCommandTest, CheckReportsEachWordAgainstTheShippedList) {
    std::string output;
    EXPECT_EQ(Spell("check the Receive dog\\'s", &output), 0);
    EXPECT_EQ(output, "the: known\nReceive: known\ndog's: known\n");
    EXPECT_EQ(Spell("check the recieve caf\xC3\xA9 \xCE\xB1\xCE\xB2", &output), 1);
    EXPECT_EQ(output,
              "the: known\nrecieve: unknown\ncaf\xC3\xA9: known\n\xCE\xB1\xCE\xB2: unknown\n");
}

TEST(SpellCommandTest, SuggestListsTheBestFirstCapitalisedAsTyped) {
    std::string output;
    ASSERT_EQ(Spell("suggest recieve", &output), 0);
    EXPECT_EQ(output.substr(0, output.find('\n')), "receive");
    ASSERT_EQ(Spell("suggest Definately --max 3", &output), 0);
    EXPECT_EQ(output.substr(0, output.find('\n')), "Definitely");
    EXPECT_EQ(std::count(output.begin(), output.end(), '\n'), 3);
}

// Words added go to the user list (created on first use) and are known afterwards.
TEST(SpellCommandTest, AddCreatesTheUserListAndTheWordBecomesKnown) {
    qptest::ScratchDir scratch("spell-cli");
    const std::string user = scratch.file("mine.dct");
    std::string output;
    EXPECT_EQ(Spell("check Quillpost --user " + user, &output), 1);
    EXPECT_EQ(Spell("add Quillpost faxline --user " + user, &output), 0) << output;
    EXPECT_EQ(Spell("check quillpost FAXLINE --user " + user, &output), 0) << output;
    // The default user list lives in the data folder.
    EXPECT_EQ(Spell("add Zizzlewort", &output), 0) << output;
    EXPECT_TRUE(std::filesystem::exists(qptest::DataDir() / "qpxu.dct"));
    EXPECT_EQ(Spell("check zizzlewort", &output), 0) << output;
    EXPECT_EQ(Spell("add " + std::string(30, 'x'), &output), 1);
}

// One-letter words are correct whatever the letter; words the list cannot store are
// refused with the reason.
TEST(SpellCommandTest, OneLetterWordsAndRefusalsWithReasons) {
    qptest::ScratchDir scratch("spell-cli");
    const std::string user = " --user " + scratch.file("mine.dct");
    std::string output;
    EXPECT_EQ(Spell("check \xC5\x82 \xCE\xB1 x" + user, &output), 0) << output;
    EXPECT_EQ(output, "\xC5\x82: known\n\xCE\xB1: known\nx: known\n");
    EXPECT_EQ(Spell("add \xC5\x81\xC3\xB3\x64\xC5\xBA" + user, &output), 1);
    EXPECT_NE(output.find("cannot store the letter \"\xC5\x81\""), std::string::npos) << output;
    EXPECT_EQ(Spell("add " + std::string(26, 'y') + user, &output), 1);
    EXPECT_NE(output.find("longer than 25"), std::string::npos) << output;
}

// Two loops of "qpx spell add" running at once, one word per call: no word is lost.
TEST(SpellCommandTest, TwoAddLoopsAtOnceKeepEveryWord) {
    qptest::ScratchDir scratch("spell-cli");
    const std::string user = scratch.file("shared.dct");
    const auto first = spelltest::RandomWords(41, 30);
    const auto second = spelltest::RandomWords(42, 30, first);
    const auto loop = [&](const std::vector<std::string>& words) {
        std::string script = "(";
        for (const auto& word : words) {
            script += Qpx() + " spell add " + word + " --user " + user + " || echo FAILED; ";
        }
        return script + ")";
    };
    std::string output;
    EXPECT_EQ(qptest::RunCommand(loop(first) + " & " + loop(second) + " & wait", &output), 0);
    EXPECT_EQ(output.find("FAILED"), std::string::npos) << output;
    std::string words;
    for (const auto& word : first) {
        words += word + " ";
    }
    for (const auto& word : second) {
        words += word + " ";
    }
    EXPECT_EQ(Spell("check " + words + "--user " + user, &output), 0);
    EXPECT_EQ(output.find("unknown"), std::string::npos) << output;
}

TEST(SpellCommandTest, BuildMakesAMainListFromAWordList) {
    qptest::ScratchDir scratch("spell-cli");
    const std::string list = scratch.file("small.dct");
    const std::string words = (qptest::TestDataDir() / "spell" / "small-words.txt").string();
    std::string output;
    ASSERT_EQ(Spell("build " + words + " -o " + list, &output), 0) << output;
    EXPECT_NE(output.find("46 words"), std::string::npos) << output;
    EXPECT_EQ(Spell("check zebra r\xC3\xA9sum\xC3\xA9 --main " + list, &output), 0) << output;
    EXPECT_EQ(Spell("check thing --main " + list, &output), 1) << output;
    EXPECT_EQ(Spell("check zebra --main " + scratch.file("missing.dct"), &output), 1);
    EXPECT_NE(output.find("cannot open"), std::string::npos);
}

TEST(SpellCommandTest, UsageErrors) {
    EXPECT_EQ(Spell(""), 2);
    EXPECT_EQ(Spell("check"), 2);
    EXPECT_EQ(Spell("suggest one two"), 2);
    EXPECT_EQ(Spell("build words.txt"), 2);
    EXPECT_EQ(Spell("check word --bogus"), 2);
    EXPECT_EQ(Spell("frobnicate"), 2);
}

} // namespace
