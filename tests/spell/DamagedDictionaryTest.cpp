#include <filesystem>
#include <random>

#include <gtest/gtest.h>

#include "SpellTestLists.h"
#include "TestPaths.h"
#include "spell/core/DictionaryFormat.h"
#include "spell/core/TZizadSpell.h"

namespace {

// Damaged dictionaries must give false, -1 or "not found", never a crash or a hang.
class DamagedDictionaryTest : public ::testing::Test {
protected:
    void SetUp() override {
        spelltest::BuildMainList(good, spelltest::SmallWords());
        original = spelltest::ReadFileBytes(good);
        headerAt = spelltest::SectionsStart(original);
        header = SectionHeader::Decode(reinterpret_cast<const unsigned char*>(&original[headerAt]));
    }

    std::string WithHeader(std::string bytes, const SectionHeader& changed) const {
        const auto encoded = changed.Encode();
        bytes.replace(headerAt, encoded.size(), reinterpret_cast<const char*>(encoded.data()),
                      encoded.size());
        return bytes;
    }

    // Applies `change` to every node of the first section.
    template <typename Change>
    std::string WithNodes(Change change) const {
        std::string bytes = original;
        for (int i = 0; i < header.nodesInUse; ++i) {
            auto* node = reinterpret_cast<unsigned char*>(&bytes[headerAt + 17 + 3 * i]);
            change(node);
        }
        return bytes;
    }

    // Opens `bytes` as a main list and exercises every operation that reads it.
    void Exercise(const std::string& bytes) {
        spelltest::WriteFileBytes(damaged, bytes);
        TZizadSpell speller;
        speller.SetDictionaryName(damaged);
        speller.SetMaxSuggestions(220);
        for (const char* word : {"zebra", "receive", "doggy", "tests", "qqqq", "the'S"}) {
            speller.CheckWord(word);
        }
        speller.Suggestions("recieve");
        speller.Suggestions("aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa");
        speller.Suggestions("tset");
    }

    qptest::ScratchDir scratch{"damaged"};
    std::string good = scratch.file("good.dct");
    std::string damaged = scratch.file("damaged.dct");
    std::string original;
    std::size_t headerAt = 0;
    SectionHeader header;
};

TEST_F(DamagedDictionaryTest, TruncatedAtEveryLength) {
    for (std::size_t length = 0; length <= original.size(); length += 1) {
        Exercise(original.substr(0, length));
    }
    TZizadSpell speller;
    spelltest::WriteFileBytes(damaged, original.substr(0, headerAt + 10));
    EXPECT_FALSE(speller.OpenMainList(damaged));
    // Nodes missing from the end of the file are simply not found.
    spelltest::WriteFileBytes(damaged, original.substr(0, headerAt + 17 + 30));
    ASSERT_TRUE(speller.OpenMainList(damaged));
    EXPECT_FALSE(speller.CheckWord("zebra"));
}

TEST_F(DamagedDictionaryTest, BadHeadersAreRefused) {
    TZizadSpell speller;
    spelltest::WriteFileBytes(damaged, "no banner end here, just text");
    EXPECT_FALSE(speller.OpenMainList(damaged));
    EXPECT_EQ(speller.OpenUserList(damaged), -1);

    SectionHeader changed = header;
    changed.nodesInUse = -5;
    spelltest::WriteFileBytes(damaged, WithHeader(original, changed));
    EXPECT_FALSE(speller.OpenMainList(damaged));

    changed = header;
    changed.nodesInUse = header.capacity + 1; // would reach into the next section
    spelltest::WriteFileBytes(damaged, WithHeader(original, changed));
    EXPECT_FALSE(speller.OpenMainList(damaged));

    changed = header;
    changed.capacity = 0x7FFFFFFF; // next section far behind the end: no further sections
    changed.nodesInUse = 0x7FFFFFFF;
    spelltest::WriteFileBytes(damaged, WithHeader(original, changed));
    EXPECT_FALSE(speller.OpenMainList(damaged));

    changed = header;
    changed.kind = 0; // a user list is not a main list
    spelltest::WriteFileBytes(damaged, WithHeader(original, changed));
    EXPECT_FALSE(speller.OpenMainList(damaged));
}

// The stored header offset is not trusted: the header is where it was found.
TEST_F(DamagedDictionaryTest, WrongHeaderOffsetsDoNotMisplaceReadsOrWrites) {
    SectionHeader changed = header;
    changed.headerOffset = 3;
    spelltest::WriteFileBytes(damaged, WithHeader(original, changed));
    TZizadSpell speller;
    ASSERT_TRUE(speller.OpenMainList(damaged));
    EXPECT_TRUE(speller.CheckWord("zebra"));

    const std::string user = scratch.file("user.dct");
    {
        TZizadSpell creator;
        ASSERT_GE(creator.CreateUserList(user), 0);
    }
    std::string bytes = spelltest::ReadFileBytes(user);
    const std::size_t at = spelltest::SectionsStart(bytes);
    auto userHeader = SectionHeader::Decode(reinterpret_cast<const unsigned char*>(&bytes[at]));
    userHeader.headerOffset = 0;
    const auto encoded = userHeader.Encode();
    bytes.replace(at, encoded.size(), reinterpret_cast<const char*>(encoded.data()),
                  encoded.size());
    spelltest::WriteFileBytes(user, bytes);
    const std::string banner = bytes.substr(0, at);

    const int section = speller.OpenUserList(user);
    ASSERT_GE(section, 0);
    ASSERT_TRUE(speller.AddWord("fooword", section));
    EXPECT_EQ(spelltest::ReadFileBytes(user).substr(0, at), banner);
    TZizadSpell reopened;
    ASSERT_GE(reopened.OpenUserList(user), 0);
    EXPECT_TRUE(reopened.CheckWord("fooword"));
}

TEST_F(DamagedDictionaryTest, ChildIndexesOutOfRange) {
    const std::string bytes = WithNodes([](unsigned char* node) {
        node[0] = 0x60; // 60000
        node[1] = 0xEA;
    });
    spelltest::WriteFileBytes(damaged, bytes);
    TZizadSpell speller;
    ASSERT_TRUE(speller.OpenMainList(damaged));
    EXPECT_FALSE(speller.CheckWord("zebra"));
    EXPECT_FALSE(speller.CheckWord("the"));
    Exercise(bytes);
}

TEST_F(DamagedDictionaryTest, CyclesAndUnendedListsTerminate) {
    // Every child list is the root list again, and no list has a last node.
    const std::string loops = WithNodes([](unsigned char* node) {
        node[0] = 1;
        node[1] = 0;
        node[2] = static_cast<unsigned char>(node[2] & ~DictionaryFormat::LastSiblingBit);
    });
    Exercise(loops);
    // Every node is its own first child, and a word ends everywhere.
    std::string selfLoops = original;
    for (int i = 0; i < header.nodesInUse; ++i) {
        auto* node = reinterpret_cast<unsigned char*>(&selfLoops[headerAt + 17 + 3 * i]);
        node[0] = static_cast<unsigned char>((i + 1) & 0xFF);
        node[1] = static_cast<unsigned char>((i + 1) >> 8);
        node[2] = static_cast<unsigned char>(node[2] | DictionaryFormat::WordEndBit);
    }
    Exercise(selfLoops);
    SUCCEED();
}

// A user list with random bytes changed is refused (no user list any more) or repaired
// into a sound list that takes new words; never a crash, never an add into damage.
TEST_F(DamagedDictionaryTest, AddingToDamagedUserLists) {
    const std::string user = scratch.file("user.dct");
    {
        TZizadSpell creator;
        const int section = creator.CreateUserList(user);
        for (const char* word : {"alpha", "beta", "gamma", "delta", "epsilon"}) {
            ASSERT_TRUE(creator.AddWord(word, section));
        }
    }
    const std::string clean = spelltest::ReadFileBytes(user);
    const std::size_t at = spelltest::SectionsStart(clean);
    const auto userHeader =
        SectionHeader::Decode(reinterpret_cast<const unsigned char*>(&clean[at]));
    std::mt19937 random(1234);
    int repaired = 0;
    for (int round = 0; round < 300; ++round) {
        std::string bytes = clean;
        for (int flips = 0; flips < 4; ++flips) {
            const std::size_t offset = at + random() % (17 + 3 * userHeader.nodesInUse);
            bytes[offset] = static_cast<char>(random());
        }
        std::filesystem::remove_all(scratch.path());
        std::filesystem::create_directories(scratch.path());
        spelltest::WriteFileBytes(user, bytes);
        TZizadSpell speller;
        const int section = speller.OpenUserList(user);
        speller.CheckWord("gamma");
        speller.Suggestions("gama");
        repaired += speller.TakeUserListRepairs().empty() ? 0 : 1;
        if (section < 0) {
            ASSERT_TRUE(spelltest::ReadFileBytes(user) == bytes) << "round " << round;
            continue;
        }
        ASSERT_TRUE(speller.AddWord("zeta", section)) << "round " << round;
        speller.AddWord("al", section);
        EXPECT_TRUE(speller.CheckWord("zeta")) << "round " << round;
        TZizadSpell reopened;
        ASSERT_GE(reopened.OpenUserList(user), 0) << "round " << round;
        EXPECT_TRUE(reopened.TakeUserListRepairs().empty()) << "round " << round;
        EXPECT_TRUE(reopened.CheckWord("zeta")) << "round " << round;
    }
    EXPECT_GT(repaired, 100);
}

TEST_F(DamagedDictionaryTest, RandomNodeCorruption) {
    std::mt19937 random(99);
    for (int round = 0; round < 200; ++round) {
        std::string bytes = original;
        for (int flips = 0; flips < 6; ++flips) {
            const std::size_t offset = headerAt + random() % (bytes.size() - headerAt);
            bytes[offset] = static_cast<char>(random());
        }
        Exercise(bytes);
    }
    SUCCEED();
}

} // namespace
