// A user word list found damaged (cut short, a wrong but believable header, nodes
// pointing nowhere) is never used as it is: the file is kept aside as a backup, the user
// is told once, and the words still reachable are carried into a new list that later
// adds can grow without overwriting anything.
#include <algorithm>
#include <cctype>
#include <csignal>
#include <filesystem>
#include <set>
#include <sys/resource.h>

#include <gtest/gtest.h>

#include "SpellTestLists.h"
#include "TestPaths.h"
#include "spell/core/DictionaryFormat.h"
#include "spell/core/TZizadSpell.h"
#include "spell/core/UserListRepair.h"

namespace {

namespace fs = std::filesystem;

class UserListRepairTest : public ::testing::Test {
protected:
    void SetUp() override {
        words = spelltest::RandomWords(77, 120);
        {
            TZizadSpell creator;
            ASSERT_GE(creator.CreateUserList(list, words), 0);
        }
        words.push_back("a"); // every new list holds "A"
        intact = spelltest::ReadFileBytes(list);
        nodesAt = spelltest::SectionsStart(intact) + DictionaryFormat::HeaderSize;
        header = HeaderOf(intact);
        ASSERT_GT(header.nodesInUse, DictionaryFormat::UserListCapacity)
            << "the list should have grown past its capacity, so its end holds words";
    }

    static SectionHeader HeaderOf(const std::string& bytes) {
        return SectionHeader::Decode(
            reinterpret_cast<const unsigned char*>(&bytes[spelltest::SectionsStart(bytes)]));
    }

    // The words of the intact list a lookup reaches using only nodes 1..kept: the words
    // that can be recovered from a list cut after `kept` nodes.
    std::set<std::string> ReachableWithin(int kept) const {
        std::set<std::string> reachable;
        for (const auto& word : words) {
            int index = 1;
            int highest = 0;
            std::size_t position = 0;
            while (index >= 1 && index <= header.nodesInUse) {
                highest = std::max(highest, index);
                const auto* bytes = reinterpret_cast<const unsigned char*>(
                    &intact[nodesAt + 3 * static_cast<std::size_t>(index - 1)]);
                const DictionaryNode node = DictionaryNode::Decode(bytes);
                if (node.LetterCode() == std::toupper(word[position]) - 'A') {
                    if (position + 1 == word.size() && node.EndsWord()) {
                        if (highest <= kept) {
                            reachable.insert(word);
                        }
                        break;
                    }
                    if (position + 1 < word.size() && node.HasChildList()) {
                        index = node.child;
                        ++position;
                        continue;
                    }
                }
                if (node.IsLastSibling()) {
                    break;
                }
                ++index;
            }
        }
        return reachable;
    }

    std::vector<std::string> OtherFiles() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(scratch.path())) {
            if (entry.path().filename() != "qpxu.dct") {
                names.push_back(entry.path().filename().string());
            }
        }
        return names;
    }

    qptest::ScratchDir scratch{"userlist-repair"};
    std::string list = scratch.file("qpxu.dct");
    std::vector<std::string> words;
    std::string intact;
    std::size_t nodesAt = 0;
    SectionHeader header;
};

// One byte cut from the end, half the file cut, and a header whose nodes-in-use count
// was halved: each list is kept aside, the user told once, the reachable words (all of
// them behind the wrong header) recovered, and later adds overwrite nothing.
TEST_F(UserListRepairTest, DamagedListsAreKeptAsideAndTheirReachableWordsRecovered) {
    struct Case {
        const char* name;
        std::string bytes;
        std::set<std::string> expected;
        std::size_t atLeast;
    };
    auto halved = header;
    halved.nodesInUse /= 2;
    std::string wrongHeader = intact;
    const auto encoded = halved.Encode();
    wrongHeader.replace(nodesAt - DictionaryFormat::HeaderSize, encoded.size(),
                        reinterpret_cast<const char*>(encoded.data()), encoded.size());
    const auto keptNodes = [&](std::size_t size) { return static_cast<int>((size - nodesAt) / 3); };
    const std::string oneByteCut = intact.substr(0, intact.size() - 1);
    const std::string halfCut = intact.substr(0, intact.size() / 2);
    std::vector<Case> cases = {
        {"one byte cut", oneByteCut, ReachableWithin(keptNodes(oneByteCut.size())), 119},
        {"half cut", halfCut, ReachableWithin(keptNodes(halfCut.size())), 30},
        {"nodes in use halved", wrongHeader, {words.begin(), words.end()}, words.size()},
    };
    int round = 0;
    for (const auto& damage : cases) {
        SCOPED_TRACE(damage.name);
        for (const auto& name : OtherFiles()) {
            fs::remove(scratch.file(name));
        }
        ASSERT_GE(damage.expected.size(), damage.atLeast);
        spelltest::WriteFileBytes(list, damage.bytes);

        TZizadSpell speller;
        const int section = speller.OpenUserList(list);
        ASSERT_GE(section, 0);
        const auto repairs = speller.TakeUserListRepairs();
        ASSERT_EQ(repairs.size(), 1u);
        EXPECT_TRUE(repairs[0].repaired);
        EXPECT_EQ(repairs[0].listPath, list);
        EXPECT_EQ(repairs[0].wordsRecovered, static_cast<int>(damage.expected.size()));
        ASSERT_TRUE(fs::exists(repairs[0].backupPath));
        EXPECT_EQ(OtherFiles(),
                  std::vector<std::string>{fs::path(repairs[0].backupPath).filename().string()});
        EXPECT_TRUE(spelltest::ReadFileBytes(repairs[0].backupPath) == damage.bytes);
        const std::string message = DescribeUserListRepair(repairs[0]);
        EXPECT_NE(message.find("qpxu.dct"), std::string::npos) << message;
        EXPECT_NE(message.find(fs::path(repairs[0].backupPath).filename().string()),
                  std::string::npos)
            << message;
        EXPECT_NE(message.find(std::to_string(damage.expected.size()) + " words"),
                  std::string::npos)
            << message;
        for (const auto& word : words) {
            EXPECT_EQ(speller.CheckWord(word), damage.expected.count(word) == 1) << word;
        }

        // Later adds grow the new list; the backup and the recovered words stay.
        const auto more = spelltest::RandomWords(500 + static_cast<unsigned>(round++), 40, words);
        for (const auto& word : more) {
            ASSERT_TRUE(speller.AddWord(word, section)) << word;
        }
        EXPECT_TRUE(speller.TakeUserListRepairs().empty()) << "told twice";
        EXPECT_TRUE(spelltest::ReadFileBytes(repairs[0].backupPath) == damage.bytes);
        TZizadSpell reopened;
        ASSERT_GE(reopened.OpenUserList(list), 0);
        EXPECT_TRUE(reopened.TakeUserListRepairs().empty()) << "the new list looks damaged";
        for (const auto& word : damage.expected) {
            EXPECT_TRUE(reopened.CheckWord(word)) << word;
        }
        for (const auto& word : more) {
            EXPECT_TRUE(reopened.CheckWord(word)) << word;
        }
    }
}

// Damage that appears while a list is open (another program wrote it) is found by the
// next add, which repairs the list first and then stores the word in the new one.
TEST_F(UserListRepairTest, DamageFoundByAnAddIsRepairedBeforeTheWordIsStored) {
    TZizadSpell speller;
    const int section = speller.OpenUserList(list);
    ASSERT_GE(section, 0);
    EXPECT_TRUE(speller.TakeUserListRepairs().empty());
    auto changed = header;
    changed.nodesInUse -= 40;
    std::string bytes = intact;
    const auto encoded = changed.Encode();
    bytes.replace(nodesAt - DictionaryFormat::HeaderSize, encoded.size(),
                  reinterpret_cast<const char*>(encoded.data()), encoded.size());
    spelltest::WriteFileBytes(list, bytes);

    ASSERT_TRUE(speller.AddWord("quillpost", section));
    const auto repairs = speller.TakeUserListRepairs();
    ASSERT_EQ(repairs.size(), 1u);
    EXPECT_TRUE(spelltest::ReadFileBytes(repairs[0].backupPath) == bytes);
    TZizadSpell reopened;
    ASSERT_GE(reopened.OpenUserList(list), 0);
    EXPECT_TRUE(reopened.TakeUserListRepairs().empty());
    for (const auto& word : words) {
        EXPECT_TRUE(reopened.CheckWord(word)) << word;
    }
    EXPECT_TRUE(reopened.CheckWord("quillpost"));
}

// Nodes pointing at themselves, at each other in a circle, or past the end: found,
// repaired, and the walk over them ends.
TEST_F(UserListRepairTest, ChildIndexesOutOfRangeOrInCirclesAreDamage) {
    const std::vector<std::pair<const char*, std::uint16_t>> pointers = {
        {"past the nodes in use", static_cast<std::uint16_t>(header.nodesInUse + 1)},
        {"back to the root list", 1},
        {"far past the end", 64999},
    };
    for (const auto& [name, child] : pointers) {
        SCOPED_TRACE(name);
        for (const auto& other : OtherFiles()) {
            fs::remove(scratch.file(other));
        }
        std::string bytes = intact;
        // The last node in use ends a word; give it a child list.
        const std::size_t at = nodesAt + 3 * static_cast<std::size_t>(header.nodesInUse - 1);
        bytes[at] = static_cast<char>(child & 0xFF);
        bytes[at + 1] = static_cast<char>(child >> 8);
        spelltest::WriteFileBytes(list, bytes);
        TZizadSpell speller;
        ASSERT_GE(speller.OpenUserList(list), 0);
        const auto repairs = speller.TakeUserListRepairs();
        ASSERT_EQ(repairs.size(), 1u);
        EXPECT_TRUE(repairs[0].repaired);
        for (const auto& word : words) {
            EXPECT_TRUE(speller.CheckWord(word)) << word;
        }
    }
}

// What is not damage: a cut that takes only unused slots, and files that are no user
// list at all (those are refused and left alone, never moved or rewritten).
TEST_F(UserListRepairTest, SoundListsAndForeignFilesAreLeftAlone) {
    const std::string small = scratch.file("small.dct");
    const auto few = spelltest::RandomWords(8, 10);
    {
        TZizadSpell creator;
        ASSERT_GE(creator.CreateUserList(small, few), 0);
    }
    std::string bytes = spelltest::ReadFileBytes(small);
    ASSERT_LT(HeaderOf(bytes).nodesInUse, DictionaryFormat::UserListCapacity - 10);
    bytes.resize(bytes.size() - 30); // ten unused slots
    spelltest::WriteFileBytes(small, bytes);
    {
        TZizadSpell speller;
        const int section = speller.OpenUserList(small);
        ASSERT_GE(section, 0);
        EXPECT_TRUE(speller.TakeUserListRepairs().empty());
        EXPECT_TRUE(speller.AddWord("zebra", section));
        for (const auto& word : few) {
            EXPECT_TRUE(speller.CheckWord(word)) << word;
        }
    }
    fs::remove(small);

    const std::string mainList = scratch.file("main.dct");
    spelltest::BuildMainList(mainList, spelltest::SmallWords());
    const std::string junk = scratch.file("junk.dct");
    spelltest::WriteFileBytes(junk, "no banner end here");
    const auto before = OtherFiles();
    for (const auto& path : {mainList, junk}) {
        const std::string original = spelltest::ReadFileBytes(path);
        TZizadSpell speller;
        EXPECT_EQ(speller.OpenUserList(path), -1) << path;
        EXPECT_TRUE(speller.TakeUserListRepairs().empty()) << path;
        EXPECT_TRUE(spelltest::ReadFileBytes(path) == original) << path;
    }
    EXPECT_EQ(OtherFiles(), before);
}

// When no new list can be written (the disk is full), the damaged list is left exactly
// as it was, not used, and the user is told; a later open repairs it.
TEST_F(UserListRepairTest, RepairThatCannotWriteLeavesTheListAlone) {
    const std::string damaged = intact.substr(0, intact.size() / 2);
    spelltest::WriteFileBytes(list, damaged);
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousSignal = std::signal(SIGXFSZ, SIG_IGN);
    rlimit tight = saved;
    tight.rlim_cur = 200;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tight), 0);
    int section = 0;
    std::vector<UserListRepair> repairs;
    {
        TZizadSpell speller;
        section = speller.OpenUserList(list);
        repairs = speller.TakeUserListRepairs();
    }
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousSignal);

    EXPECT_EQ(section, -1);
    ASSERT_EQ(repairs.size(), 1u);
    EXPECT_FALSE(repairs[0].repaired);
    EXPECT_NE(DescribeUserListRepair(repairs[0]).find("could not be repaired"), std::string::npos)
        << DescribeUserListRepair(repairs[0]);
    EXPECT_TRUE(spelltest::ReadFileBytes(list) == damaged);
    EXPECT_TRUE(OtherFiles().empty()) << OtherFiles().front();

    TZizadSpell later;
    EXPECT_GE(later.OpenUserList(list), 0);
    ASSERT_EQ(later.TakeUserListRepairs().size(), 1u);
}

} // namespace
