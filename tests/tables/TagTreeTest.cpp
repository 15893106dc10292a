// Keys changed where they lie in an open index file, through a leaf cache far smaller than
// the tree: every answer matches a plain sorted set, the file written matches it too,
// freed pages are used again, a leaf changed behind the cache's back is noticed, and a
// writer that dies before writing leaves the file marked as behind its table.

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <iterator>
#include <random>
#include <set>
#include <sys/wait.h>
#include <unistd.h>

#include "TableFixtures.h"
#include "TestPaths.h"
#include "tables/CdxFile.h"
#include "tables/CdxReader.h"
#include "tables/CdxWriter.h"
#include "tables/KeyList.h"
#include "tables/TableFault.h"
#include "tables/TagTree.h"

using namespace qp::tables;
namespace fs = std::filesystem;

namespace {

using Entry = std::pair<std::string, uint32_t>;
constexpr int kKeyLength = 10;
constexpr size_t kSmallCache = 8; // far fewer leaves than the tree has

std::string RandomKey(std::mt19937& random) {
    // Few distinct values: keys share their first bytes and repeat with other records.
    std::string key = "K" + std::to_string(random() % 3000);
    key.resize(kKeyLength, ' ');
    return key;
}

CdxWriter::Tag MakeTag(const std::string& name, const KeyList& keys) {
    CdxWriter::Tag tag;
    tag.header.name = name;
    tag.header.keyLength = keys.KeyLength();
    tag.header.keyExpr = name;
    tag.keys = &keys;
    tag.pad = ' ';
    return tag;
}

// An index file whose first tag holds `entries` and whose second tag a few keys.
void WriteIndex(const std::string& path, const std::set<Entry>& entries) {
    KeyList keys(kKeyLength), other(4);
    for (const auto& [key, recno] : entries)
        keys.PushBack(key, recno);
    other.Insert("ABCD", 1);
    other.Insert("WXYZ", 2);
    tabletest::WriteFile(path, "");
    CdxWriter::WriteInPlace(path, {MakeTag("NAME", keys), MakeTag("CODE", other)});
}

// Every key of tag `tag` as a fresh reader finds it in the file (the reader also checks
// the tree's structure).
std::set<Entry> ReadBack(const std::string& path, size_t tag = 0) {
    CdxReader reader(path);
    KeyList keys(reader.Tags()[tag].keyLength);
    reader.ReadKeys(reader.Tags()[tag], ' ', keys);
    std::set<Entry> entries;
    for (long i = 0; i < keys.Size(); ++i)
        entries.emplace(keys.KeyAt(i), keys.RecnoAt(i));
    EXPECT_EQ(long(entries.size()), keys.Size()) << "an entry is listed twice";
    return entries;
}

void ExpectSameKeys(const TagTree& tree, const std::set<Entry>& expected, std::mt19937& random) {
    ASSERT_EQ(tree.Size(), long(expected.size()));
    long pos = 0;
    for (const auto& [key, recno] : expected) {
        ASSERT_EQ(tree.RecnoAt(pos), recno) << "position " << pos;
        ASSERT_EQ(tree.KeyAt(pos), key) << "position " << pos;
        ++pos;
    }
    // Lookups at random, present and absent.
    for (int probe = 0; probe < 100 && !expected.empty(); ++probe) {
        auto it = std::next(expected.begin(), long(random() % expected.size()));
        const long at = long(std::distance(expected.begin(), it));
        EXPECT_EQ(tree.Find(it->first, it->second), at);
        EXPECT_EQ(tree.Find(it->first, it->second + 1000000), -1);
        const std::string key = RandomKey(random);
        const long lower = long(std::distance(expected.begin(), expected.lower_bound({key, 0})));
        EXPECT_EQ(tree.LowerBound(key, 0), lower) << key;
    }
}

// Inserts and removes at random, checking each answer against `expected`.
void ChangeAtRandom(TagTree& tree, std::set<Entry>& expected, std::mt19937& random, int changes,
                    uint32_t& nextRecno, int insertPercent) {
    for (int i = 0; i < changes; ++i) {
        if (expected.empty() || int(random() % 100) < insertPercent) {
            const std::string key = RandomKey(random);
            const uint32_t recno = random() % 10 == 0 && !expected.empty()
                                       ? expected.begin()->second // usually a new entry
                                       : nextRecno++;
            const bool added = expected.emplace(key, recno).second;
            ASSERT_EQ(tree.Insert(key, recno), added) << key << " " << recno;
        } else {
            auto it = std::next(expected.begin(), long(random() % expected.size()));
            const Entry gone = *it;
            expected.erase(it);
            ASSERT_TRUE(tree.Remove(gone.first, gone.second)) << gone.first << " " << gone.second;
            ASSERT_FALSE(tree.Remove(gone.first, gone.second)) << "removed twice";
        }
    }
}

class TagTreeTest : public ::testing::Test {
protected:
    qptest::ScratchDir dir{"tagtree"};
    std::string path = dir.file("KEYS.CDX");
    std::mt19937 random{11};
    std::set<Entry> expected;
    uint32_t nextRecno = 1;

    void SetUp() override {
        for (int i = 0; i < 3000; ++i)
            expected.emplace(RandomKey(random), nextRecno++);
        WriteIndex(path, expected);
    }

    // Random changes through a cache of `leaves` leaves whose compact leaves take at most
    // `bytes`, checked against the sorted set in memory and on disk, over two sessions.
    void ChangeThroughCache(size_t leaves, size_t bytes) {
        const auto withinBudget = [&](CdxFile& file) {
            EXPECT_LE(file.Cache().CompactBytes(), bytes) << "the cache outgrew its bytes";
            if (leaves > kSmallCache) {
                EXPECT_GT(file.Cache().CompactBytes(), 0u) << "no leaf was held compact";
            }
        };
        {
            CdxFile file(path, true, leaves, bytes);
            TagTree& tree = file.LoadTree(0, ' ');
            file.LoadTree(1, ' ');
            ExpectSameKeys(tree, expected, random);
            for (int round = 0; round < 6; ++round) {
                SCOPED_TRACE("round " + std::to_string(round));
                ChangeAtRandom(tree, expected, random, 1500, nextRecno, round % 2 ? 30 : 70);
                ExpectSameKeys(tree, expected, random);
                withinBudget(file);
                if (round == 2) {
                    file.Flush(); // the file is written midway and the changes go on
                    EXPECT_EQ(ReadBack(path), expected);
                }
            }
            file.Flush();
        }
        EXPECT_EQ(ReadBack(path), expected);
        EXPECT_EQ(ReadBack(path, 1).size(), 2u) << "the other tag was disturbed";

        // Opened again, the file gives the same keys and takes more changes.
        CdxFile again(path, true, leaves, bytes);
        EXPECT_FALSE(again.FoundStale());
        TagTree& tree = again.LoadTree(0, ' ');
        again.LoadTree(1, ' ');
        ExpectSameKeys(tree, expected, random);
        ChangeAtRandom(tree, expected, random, 2000, nextRecno, 50);
        withinBudget(again);
        again.Flush();
        EXPECT_EQ(ReadBack(path), expected);
    }
};

TEST_F(TagTreeTest, ChangesThroughASmallCacheMatchASortedSetInMemoryAndOnDisk) {
    ChangeThroughCache(kSmallCache, SIZE_MAX);
}

// Leaves move between the few working ones and the compact ones, changed or not, and
// the compact ones are let go when their places run out.
TEST_F(TagTreeTest, ChangesThroughWorkingAndCompactLeavesMatchASortedSet) {
    ChangeThroughCache(40, SIZE_MAX);
}

// Plenty of places but few bytes: compact leaves are let go for their size.
TEST_F(TagTreeTest, ChangesThroughACacheShortOfBytesMatchASortedSet) {
    ChangeThroughCache(256, 6 * 1024);
}

TEST_F(TagTreeTest, EmptiedAndRefilledTreesUseTheirFreedPagesAgain) {
    uint64_t firstSize = 0;
    for (int round = 0; round < 6; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        // Down to one key: nearly every leaf is freed. Pages freed by this session are
        // used again in it, those freed by an earlier one when the file is next opened.
        const bool sameSession = round % 2 == 0;
        {
            CdxFile file(path, true, kSmallCache);
            TagTree& tree = file.LoadTree(0, ' ');
            file.LoadTree(1, ' ');
            while (expected.size() > 1) {
                const Entry gone = *expected.begin();
                expected.erase(expected.begin());
                ASSERT_TRUE(tree.Remove(gone.first, gone.second));
            }
            ASSERT_EQ(tree.Size(), 1);
            if (sameSession)
                ChangeAtRandom(tree, expected, random, 3000, nextRecno, 100);
            file.Flush();
        }
        if (!sameSession) {
            CdxFile file(path, true, kSmallCache);
            TagTree& tree = file.LoadTree(0, ' ');
            file.LoadTree(1, ' ');
            ChangeAtRandom(tree, expected, random, 3000, nextRecno, 100);
            file.Flush();
        }
        ASSERT_EQ(ReadBack(path), expected);
        if (round == 0)
            firstSize = fs::file_size(path);
    }
    EXPECT_LE(fs::file_size(path), firstSize * 3 / 2) << "the file grows with every refill";
}

TEST_F(TagTreeTest, ALeafChangedByAnotherProgramIsRefused) {
    // The leaves of the tree as written, and the first position in the third.
    std::vector<uint32_t> leaves;
    long third = 0;
    {
        CdxReader reader(path);
        reader.WalkTree(reader.Tags()[0], ' ', {},
                        [&](const CdxReader::LeafSummary& leaf) {
                            if (leaves.size() < 2)
                                third += leaf.count;
                            leaves.push_back(leaf.page);
                        },
                        {});
    }
    ASSERT_GT(leaves.size(), 6u);
    CdxFile file(path, true, kSmallCache);
    TagTree& tree = file.LoadTree(0, ' ');
    EXPECT_EQ(tree.RecnoAt(0), expected.begin()->second); // the first leaf is now held

    // Another program puts the fifth leaf's bytes over the third leaf's page.
    std::string bytes = tabletest::ReadFile(path);
    bytes.replace(leaves[2], 512, bytes.substr(leaves[4], 512));
    tabletest::WriteFile(path, bytes);
    try {
        (void)tree.RecnoAt(third);
        FAIL() << "the changed leaf was taken as it is";
    } catch (const TableFault& fault) {
        EXPECT_EQ(fault.Code(), tbeCorrupt);
        EXPECT_NE(std::string(fault.what()).find("KEYS.CDX"), std::string::npos) << fault.what();
    }
    // Leaves that were not touched are still read.
    EXPECT_EQ(tree.RecnoAt(0), expected.begin()->second);
    EXPECT_EQ(tree.RecnoAt(tree.Size() - 1), expected.rbegin()->second);
}

TEST_F(TagTreeTest, AWriterThatDiesBeforeWritingLeavesTheFileMarkedBehind) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        try {
            CdxFile file(path, true, kSmallCache);
            TagTree& tree = file.LoadTree(0, ' ');
            file.LoadTree(1, ' ');
            file.MarkStale(true);
            // Enough changes that the cache writes leaves out on its own, then death.
            for (uint32_t r = 0; r < 4000; ++r)
                tree.Insert(std::string(kKeyLength, char('A' + r % 26)), 100000 + r);
        } catch (...) {
            _exit(2);
        }
        _exit(0); // no Flush, no destructors
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;

    // The tag definitions are intact, and the mark says the trees may not be.
    CdxFile file(path, false);
    EXPECT_TRUE(file.FoundStale()) << "a half-written index passes as current";
    ASSERT_EQ(file.TagCount(), 2u);
    EXPECT_EQ(file.Header(0).name, "NAME");
    EXPECT_EQ(file.Header(1).name, "CODE");
}

} // namespace
