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
