// Damaged and truncated table, memo and index files: each gives a clear error naming the
// file, nothing crashes, and nothing is written to the damaged files.

#include <filesystem>
#include <functional>
#include <gtest/gtest.h>

#include "TableFixtures.h"
#include "TestPaths.h"
#include "tables/ByteOrder.h"
#include "tables/TableEngine.h"

using namespace qp::tables;
using namespace tabletest;
namespace fs = std::filesystem;

namespace {

class DamagedTablesTest : public ::testing::Test {
protected:
    void SetUp() override {
        path = dir.file("QPX.DBF");
        MakeTable(engine, path, SentFields());
        OpenAndFillSent(engine, path,
                        {{"one", "20240101", "10:00"},
                         {"two", "20240102", "11:00"},
                         {"three", "20240103", "12:00"}});
        engine.Go(2);
        engine.PutMemo("RTFDOC", std::string(200, 'm'));
        engine.IndexTag("", "DATESENT", ".not. deleted()", 1, false, "DTOS(DATESENT)+TIMESENT");
        ASSERT_EQ(engine.Close(), 0) << engine.LastErrorText();
    }

    void Patch(const std::string& file, size_t offset, const std::string& bytes) {
        std::string data = ReadFile(file);
        data.replace(offset, bytes.size(), bytes);
        WriteFile(file, data);
    }

    qptest::ScratchDir dir{"damaged"};
    std::string path;
    TableEngine engine;
};

std::string LE32(uint32_t v) {
    std::string s(4, '\0');
    bytes::PutLE32(reinterpret_cast<unsigned char*>(s.data()), v);
    return s;
}

TEST_F(DamagedTablesTest, DamagedTableFilesAreRefused) {
    const std::string good = ReadFile(path);
    struct Damage {
        const char* what;
        std::function<void(std::string&)> apply;
    };
    std::vector<Damage> damages = {
        {"empty file", [](std::string& f) { f.clear(); }},
        {"cut inside the header", [](std::string& f) { f.resize(100); }},
        {"cut inside the records", [](std::string& f) { f.resize(f.size() - 300); }},
        {"header length past the end",
         [](std::string& f) {
             f[8] = char(0xFF);
             f[9] = char(0x7F);
         }},
        {"record count beyond the file", [](std::string& f) { f.replace(4, 4, LE32(1000000)); }},
        {"record length not the fields'", [](std::string& f) { f[10] = 3; }},
        {"unknown field type", [](std::string& f) { f[32 + 11] = 'X'; }},
        {"no descriptor terminator", [](std::string& f) { f[352] = 'x'; }},
        {"not a table", [](std::string& f) { f = std::string(2000, 'x'); }},
    };
    for (const auto& damage : damages) {
        std::string broken = good;
        damage.apply(broken);
        WriteFile(path, broken);
        EXPECT_EQ(engine.Use(path), 0) << damage.what;
        EXPECT_EQ(engine.LastError(), tbeCorrupt) << damage.what << ": " << engine.LastErrorText();
        EXPECT_NE(engine.LastErrorText().find("QPX.DBF"), std::string::npos) << damage.what;
        EXPECT_EQ(ReadFile(path), broken) << damage.what << ": the file was changed";
    }
    WriteFile(path, good);
    EXPECT_GT(engine.Use(path), 0) << engine.LastErrorText();
}

TEST_F(DamagedTablesTest, MemoPointersPastTheEndGiveAClearError) {
    std::string memo = dir.file("QPX.FPT");
    ASSERT_GT(engine.Use(path), 0);
    engine.Go(2);
    std::string record = engine.GetRecord();
    ASSERT_EQ(engine.Close(), 0);
    size_t memoField = record.size() - 10;
    size_t recordStart = 353 + record.size();
    Patch(path, recordStart + memoField, "    999999");

    ASSERT_GT(engine.Use(path), 0);
    engine.Go(2);
    EXPECT_EQ(engine.GetMemo("RTFDOC"), "");
    EXPECT_EQ(engine.LastError(), tbeCorrupt);
    EXPECT_NE(engine.LastErrorText().find("QPX.FPT"), std::string::npos);
    EXPECT_EQ(engine.BlobToFile("RTFDOC", dir.file("out.rtf")), 0);
    std::vector<std::string> problems;
    EXPECT_EQ(engine.Check(problems), tbeCorrupt);
    ASSERT_FALSE(problems.empty());
    EXPECT_NE(problems.front().find("record 2"), std::string::npos) << problems.front();
    // Writing a new memo replaces the damaged pointer.
    EXPECT_EQ(engine.PutMemo("RTFDOC", "fresh"), 0);
    EXPECT_EQ(engine.GetMemo("RTFDOC"), "fresh");
    ASSERT_EQ(engine.Close(), 0);

    // A memo whose length runs past the end of the file, and a garbled pointer.
    std::string data = ReadFile(memo);
    size_t block = std::stoul(ReadFile(path).substr(recordStart + memoField, 10));
    Patch(memo, block * 64 + 4, "\x7F\x00\x00\x00");
    ASSERT_GT(engine.Use(path), 0);
    engine.Go(2);
    EXPECT_EQ(engine.GetMemo("RTFDOC"), "");
    EXPECT_EQ(engine.LastError(), tbeCorrupt);
    ASSERT_EQ(engine.Close(), 0);
    Patch(path, recordStart + memoField, "  12ab3   ");
    ASSERT_GT(engine.Use(path), 0);
    engine.Go(2);
    EXPECT_EQ(engine.GetMemo("RTFDOC"), "");
    EXPECT_NE(engine.LastErrorText().find("RTFDOC"), std::string::npos);
    ASSERT_EQ(engine.Close(), 0);

    // A memo file with a block size of 0, or missing altogether, fails the open.
    Patch(memo, 6, std::string(2, '\0'));
    EXPECT_EQ(engine.Use(path), 0);
    EXPECT_NE(engine.LastErrorText().find("QPX.FPT"), std::string::npos);
    fs::remove(memo);
    EXPECT_EQ(engine.Use(path), 0);
    EXPECT_NE(engine.LastErrorText().find("QPX.FPT"), std::string::npos);
}

// A memo file whose next-free pointer lies far past its end (here 227 GB): new memos
// still go at the file's real end, so the file stays small and the old memos stay.
TEST_F(DamagedTablesTest, AFreeBlockPointerPastTheEndIsNotFollowed) {
    const std::string memo = dir.file("QPX.FPT");
    const auto sizeBefore = fs::file_size(memo);
    Patch(memo, 0, std::string("\xD4\x00\x00\x0A", 4));
    ASSERT_GT(engine.Use(path), 0) << engine.LastErrorText();
    engine.Go(3);
    ASSERT_EQ(engine.PutMemo("RTFDOC", "a new memo"), 0) << engine.LastErrorText();
    ASSERT_EQ(engine.Close(), 0) << engine.LastErrorText();
    EXPECT_LT(fs::file_size(memo), sizeBefore + 4096) << "the memo went past the file's end";

    ASSERT_GT(engine.Use(path), 0);
    engine.Go(2);
    EXPECT_EQ(engine.GetMemo("RTFDOC"), std::string(200, 'm'));
    engine.Go(3);
    EXPECT_EQ(engine.GetMemo("RTFDOC"), "a new memo");
    EXPECT_EQ(engine.Pack(), 0) << engine.LastErrorText();
    engine.Go(2);
    EXPECT_EQ(engine.GetMemo("RTFDOC"), std::string(200, 'm'));
    ASSERT_EQ(engine.Close(), 0);
}

TEST_F(DamagedTablesTest, DamagedIndexIsRefusedThenRebuiltByReindex) {
    std::string index = dir.file("QPX.CDX");
    std::string good = ReadFile(index);
    // Overwrite the tag's root leaf (the last page) with garbage.
    std::string broken = good;
    broken.replace(broken.size() - 512, 512, std::string(512, '\xEE'));
    WriteFile(index, broken);

    EXPECT_EQ(engine.Use(path), 0);
    EXPECT_EQ(engine.LastError(), tbeCorrupt);
    EXPECT_NE(engine.LastErrorText().find("QPX.CDX"), std::string::npos) << engine.LastErrorText();
    EXPECT_EQ(ReadFile(index), broken);

    // Reindex recovers the tag from its header and rebuilds the tree.
    ASSERT_GT(engine.UseAndReindex(path), 0) << engine.LastErrorText();
    ASSERT_EQ(engine.TagCount(), 1);
    ASSERT_EQ(engine.SetOrder("DATESENT"), 0);
    EXPECT_EQ(Walk(engine), (std::vector<long>{3, 2, 1}));
    std::vector<std::string> problems;
    EXPECT_EQ(engine.Check(problems), 0) << (problems.empty() ? "" : problems.front());
    ASSERT_EQ(engine.Close(), 0);

    // With the directory itself destroyed the tags are gone: the file is removed so the
    // program recreates it at open, and the table itself stays usable.
    WriteFile(index, std::string(4096, '\0'));
    EXPECT_EQ(engine.Use(path), 0);
    ASSERT_GT(engine.UseAndReindex(path), 0);
    EXPECT_NE(engine.LastErrorText().find("QPX.CDX"), std::string::npos);
    EXPECT_EQ(engine.TagCount(), 0);
    EXPECT_EQ(engine.RecCount(), 3);
    EXPECT_FALSE(fs::exists(index));
    ASSERT_EQ(engine.Close(), 0);
    EXPECT_GT(engine.Use(path), 0);
}

} // namespace
