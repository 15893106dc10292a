// The leaf directory with only a few chunks in memory: after any mix of inserted, removed
// and changed leaves every lookup matches a plain list of the same leaves, whether the
// other chunks went to the temporary file or, when that cannot be written, stayed in
// memory; and the temporary file leaves nothing behind in the folder.

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

#include "TableFixtures.h"
#include "TestPaths.h"
#include "tables/FileOps.h"
#include "tables/LeafDirectory.h"

using namespace qp::tables;
namespace fs = std::filesystem;

namespace {

constexpr int kKeyLength = 8;

struct Leaf {
    uint32_t page;
    int count;
    std::string lastKey;
    uint32_t lastRecno;
};

std::string KeyOf(uint32_t n) {
    char text[16];
    std::snprintf(text, sizeof text, "%08u", n);
    return text;
}

// Leaves with ascending last keys, changed at random the way a tree changes them: leaves
// split (a leaf inserted after another, with keys between its neighbours'), empty leaves
// go, counts and last keys change.
class DirectoryModel {
public:
    DirectoryModel(LeafDirectory& directory, std::mt19937& random)
        : directory_(directory), random_(random) {}

    void Grow(size_t leaves) {
        while (leaves_.size() < leaves)
            InsertAfterRandomLeaf();
    }

    void ChangeAtRandom(int changes) {
        for (int i = 0; i < changes; ++i) {
            const int what = int(random_() % 10);
            if (what < 4 || leaves_.size() < 2)
                InsertAfterRandomLeaf();
            else if (what < 6)
                EraseRandomLeaf();
            else
                ChangeRandomLeaf();
        }
    }

    void ExpectSame() const {
        ASSERT_EQ(directory_.Size(), leaves_.size());
        long total = 0;
        for (const Leaf& leaf : leaves_)
            total += leaf.count;
        ASSERT_EQ(directory_.KeyCount(), total);
        long position = 0;
        for (size_t i = 0; i < leaves_.size(); ++i) {
            const Leaf& leaf = leaves_[i];
            ASSERT_EQ(directory_.Page(i), leaf.page) << "leaf " << i;
            ASSERT_EQ(directory_.Count(i), leaf.count) << "leaf " << i;
            ASSERT_EQ(std::string(directory_.LastKey(i), kKeyLength), leaf.lastKey) << "leaf " << i;
            ASSERT_EQ(directory_.LastRecno(i), leaf.lastRecno) << "leaf " << i;
            ASSERT_EQ(directory_.FirstPosition(i), position) << "leaf " << i;
            ASSERT_EQ(directory_.Find(leaf.lastKey.data(), leaf.lastRecno), i);
            // A key just below a leaf's last one belongs to that leaf (or an earlier
            // leaf ending with the same key, which the model never makes).
            ASSERT_EQ(directory_.Find(leaf.lastKey.data(), 0), i) << "leaf " << i;
            if (leaf.count > 0) {
                long first = -1;
                ASSERT_EQ(directory_.AtPosition(position + leaf.count - 1, first), i);
                ASSERT_EQ(first, position);
            }
            position += leaf.count;
        }
        // Past the last key: the last leaf.
        const std::string beyond(kKeyLength, '9' + 1);
        EXPECT_EQ(directory_.Find(beyond.data(), 1), leaves_.size() - 1);
    }

private:
    void InsertAfterRandomLeaf() {
        // Last keys are multiples of 1024 apart at first, so there is room between them.
        size_t at = leaves_.empty() ? 0 : size_t(random_() % (leaves_.size() + 1));
        const uint32_t low = at == 0 ? 0 : KeyNumber(leaves_[at - 1]);
        const uint32_t high = at == leaves_.size() ? low + 2048 : KeyNumber(leaves_[at]);
        if (high - low < 2) {
            at = leaves_.size();
            return InsertAt(at, KeyNumber(leaves_.back()) + 1024);
        }
        InsertAt(at, low + 1 + uint32_t(random_() % (high - low - 1)));
    }

    void InsertAt(size_t at, uint32_t keyNumber) {
        Leaf leaf{nextPage_, int(random_() % 40), KeyOf(keyNumber), 1 + uint32_t(random_() % 9)};
        nextPage_ += 512;
        directory_.Insert(at, leaf.page, leaf.count, leaf.lastKey.data(), leaf.lastRecno);
        leaves_.insert(leaves_.begin() + long(at), leaf);
    }

    void EraseRandomLeaf() {
        const size_t at = size_t(random_() % leaves_.size());
        directory_.Erase(at);
        leaves_.erase(leaves_.begin() + long(at));
    }

    void ChangeRandomLeaf() {
        const size_t at = size_t(random_() % leaves_.size());
        Leaf& leaf = leaves_[at];
        leaf.count = int(random_() % 40);
        directory_.SetCount(at, leaf.count);
        leaf.lastRecno = 1 + uint32_t(random_() % 9);
        directory_.SetLast(at, leaf.lastKey.data(), leaf.lastRecno);
    }

    static uint32_t KeyNumber(const Leaf& leaf) { return uint32_t(std::stoul(leaf.lastKey)); }

    LeafDirectory& directory_;
    std::mt19937& random_;
    std::vector<Leaf> leaves_;
    uint32_t nextPage_ = 1536;
};

class LeafDirectoryTest : public ::testing::Test {
protected:
    qptest::ScratchDir dir{"leafdirectory"};
    std::mt19937 random{5};

    size_t EntriesInFolder() const {
        return size_t(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()));
    }
};

TEST_F(LeafDirectoryTest, FewChunksInMemoryAnswerLikeAPlainList) {
    LeafDirectory directory(kKeyLength, 4, dir.path().string());
    EXPECT_EQ(directory.ResidentLimit(), 4u);
    DirectoryModel model(directory, random);
    model.Grow(20 * LeafDirectory::kChunkLeaves);
    model.ExpectSame();
    EXPECT_TRUE(directory.Spilled()) << "twenty chunks cannot all stay in memory";
    for (int round = 0; round < 4; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        model.ChangeAtRandom(3000);
        model.ExpectSame();
    }
    // Removing almost everything and growing again reuses the file's room.
    directory.Clear();
    EXPECT_EQ(directory.Size(), 0u);
    EXPECT_FALSE(directory.Spilled());
    DirectoryModel again(directory, random);
    again.Grow(8 * LeafDirectory::kChunkLeaves);
    again.ChangeAtRandom(2000);
    again.ExpectSame();
}

TEST_F(LeafDirectoryTest, TheTemporaryFileLeavesNothingInTheFolder) {
    const size_t before = EntriesInFolder();
    {
        LeafDirectory directory(kKeyLength, 4, dir.path().string());
        DirectoryModel model(directory, random);
        model.Grow(10 * LeafDirectory::kChunkLeaves);
        ASSERT_TRUE(directory.Spilled());
        EXPECT_EQ(EntriesInFolder(), before) << "the file has a name others could see";
        model.ExpectSame();
    }
    EXPECT_EQ(EntriesInFolder(), before);
}

TEST_F(LeafDirectoryTest, AFullDiskKeepsTheChunksInMemoryAndLosesNothing) {
    tabletest::FailingCall full(1, ENOSPC, [](FileOps::Call call, const std::string& path) {
        return call == FileOps::Call::kWrite && path.find("leaf directory") != std::string::npos;
    });
    LeafDirectory directory(kKeyLength, 4, dir.path().string());
    DirectoryModel model(directory, random);
    model.Grow(12 * LeafDirectory::kChunkLeaves);
    EXPECT_TRUE(full.Happened());
    EXPECT_FALSE(directory.Spilled());
    model.ChangeAtRandom(3000);
    model.ExpectSame();
}

TEST_F(LeafDirectoryTest, AFolderThatCannotTakeTheFileFallsBackToTheTemporaryFolder) {
    LeafDirectory directory(kKeyLength, 4, dir.file("no-such-folder"));
    DirectoryModel model(directory, random);
    model.Grow(10 * LeafDirectory::kChunkLeaves);
    model.ChangeAtRandom(1000);
    model.ExpectSame();
    EXPECT_TRUE(directory.Spilled());
}

} // namespace
