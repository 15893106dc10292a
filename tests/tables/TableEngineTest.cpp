// The work-area interface as the table adapter uses it: creating, navigating, changing
// records, keeping tags current, queries, positions, memos, pack and check.

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>

#include "TableFixtures.h"
#include "TestPaths.h"
#include "tables/TableEngine.h"

using namespace qp::tables;
using namespace tabletest;
namespace fs = std::filesystem;

namespace {

const char kNotDeleted[] = ".not. deleted()";

class TableEngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        path = dir.file("QPX.DBF");
        MakeTable(engine, path, SentFields());
        engine.SetDeleted(true);
    }

    // Five faxes: recno -> (subject, date, time); 2 and 4 share a date and time.
    void FillFive() {
        OpenAndFillSent(engine, path,
                        {{"third", "20240301", "09:00"},
                         {"second", "20240201", "10:00"},
                         {"fifth", "20240501", "08:00"},
                         {"second too", "20240201", "10:00"},
                         {"unsent", "", ""}});
    }

    qptest::ScratchDir dir{"engine"};
    std::string path;
    TableEngine engine;
};

TEST_F(TableEngineTest, CreatesTheTableAsDefinedAndRefusesBadDefinitions) {
    ASSERT_GT(engine.Use(path), 0) << engine.LastErrorText();
    EXPECT_EQ(engine.FieldCount(), 10);
    EXPECT_EQ(engine.FieldName(3), "DATESENT");
    EXPECT_EQ(engine.FieldType(7), 'N');
    EXPECT_EQ(engine.FieldWidth(8), 100);
    EXPECT_EQ(engine.FieldNumber("rtfdoc"), 10);
    EXPECT_EQ(engine.RecCount(), 0);
    EXPECT_TRUE(engine.Eof());
    EXPECT_TRUE(engine.Bof());
    EXPECT_EQ(engine.RecNo(), 1); // no current record: record count + 1
    EXPECT_TRUE(fs::exists(dir.file("QPX.FPT")));
    EXPECT_EQ(engine.Close(), 0);

    // Announced count, widths and types are checked before anything is written.
    std::string other = dir.file("BAD.DBF");
    ASSERT_NE(engine.CreateNew(other, "XXXXXXXXXX", 2, 2), 0);
    EXPECT_EQ(engine.CreateField("NAME", "C", 300, 0), tbeBadArgument);
    EXPECT_EQ(engine.CreateField("WHEN", "D", 8, 0), 0);
    EXPECT_EQ(engine.CreateExec(), 0);
    EXPECT_NE(engine.LastErrorText().find("BAD.DBF"), std::string::npos);
    EXPECT_FALSE(fs::exists(other));
    EXPECT_EQ(engine.CreateNew(other, "X", 1, 1), 0); // only driver 2
}

TEST_F(TableEngineTest, NavigatesPhysicalOrderAndHidesDeletedRecords) {
    FillFive();
    EXPECT_EQ(Walk(engine), (std::vector<long>{1, 2, 3, 4, 5}));
    ASSERT_EQ(engine.Go(2), 0);
    ASSERT_EQ(engine.Delete(), 0);
    EXPECT_TRUE(engine.Deleted());
    EXPECT_EQ(Walk(engine), (std::vector<long>{1, 3, 4, 5}));
    EXPECT_EQ(WalkBackwards(engine), (std::vector<long>{5, 4, 3, 1}));
    engine.SetDeleted(false);
    EXPECT_EQ(Walk(engine), (std::vector<long>{1, 2, 3, 4, 5}));
    engine.SetDeleted(true);

    // Running off either end.
    engine.GoBottom();
    EXPECT_EQ(engine.Skip(1), 0);
    EXPECT_TRUE(engine.Eof());
    EXPECT_EQ(engine.RecNo(), 6);
    engine.GoTop();
    engine.Skip(-1);
    EXPECT_TRUE(engine.Bof());
    EXPECT_EQ(engine.RecNo(), 1);
    EXPECT_EQ(engine.Go(9), tbeNoRecord);
    EXPECT_EQ(engine.Go(0), tbeNoRecord);

    ASSERT_EQ(engine.Go(2), 0);
    ASSERT_EQ(engine.Recall(), 0);
    EXPECT_EQ(Walk(engine).size(), 5u);
}

TEST_F(TableEngineTest, TagOrderFollowsKeysConditionAndDirection) {
    FillFive();
    ASSERT_EQ(engine.IndexTag("", "DATESENT", kNotDeleted, 0, false, "DTOS(DATESENT)+TIMESENT"), 0)
        << engine.LastErrorText();
    EXPECT_EQ(engine.IndexOrd(), 1);
    // Blank date first; equal keys by record number.
    EXPECT_EQ(Walk(engine), (std::vector<long>{5, 2, 4, 1, 3}));
    EXPECT_EQ(WalkBackwards(engine), (std::vector<long>{3, 1, 4, 2, 5}));

    // Changes keep the tag current: a new key moves the record, a delete drops it.
    ASSERT_EQ(engine.Go(3), 0);
    ASSERT_EQ(engine.PutDate("DATESENT", "20230101"), 0);
    ASSERT_EQ(engine.Go(4), 0);
    ASSERT_EQ(engine.Delete(), 0);
    ASSERT_EQ(engine.AppendBlank(), 0);
    ASSERT_EQ(engine.PutDate("DATESENT", "20240215"), 0);
    EXPECT_EQ(Walk(engine), (std::vector<long>{5, 3, 2, 6, 1}));
    engine.SetDeleted(false); // the condition alone keeps deleted records out of the tag
    EXPECT_EQ(Walk(engine), (std::vector<long>{5, 3, 2, 6, 1}));
    engine.SetDeleted(true);
    ASSERT_EQ(engine.Go(4), 0);
    ASSERT_EQ(engine.Recall(), 0);
    EXPECT_EQ(Walk(engine), (std::vector<long>{5, 3, 2, 4, 6, 1}));

    // Option 1: descending; the index survives closing and reopening.
    ASSERT_EQ(engine.IndexTag("", "DATESENT", kNotDeleted, 1, false, "DTOS(DATESENT)+TIMESENT"), 0);
    EXPECT_EQ(Walk(engine), (std::vector<long>{1, 6, 4, 2, 3, 5}));
    ASSERT_EQ(engine.Close(), 0);
    ASSERT_GT(engine.Use(path), 0);
    EXPECT_EQ(engine.IndexOrd(), 0);
    EXPECT_EQ(engine.TagArea("datesent"), 1);
    EXPECT_EQ(engine.TagArea("NAME"), 0);
    ASSERT_EQ(engine.SetOrder(1), 0);
    EXPECT_EQ(Walk(engine), (std::vector<long>{1, 6, 4, 2, 3, 5}));
    EXPECT_TRUE(engine.Tag(1).descending);
    EXPECT_EQ(engine.Tag(1).forExpr, kNotDeleted);

    ASSERT_EQ(engine.CloseIndexes(), 0);
    EXPECT_EQ(engine.IndexOrd(), 0);
    EXPECT_EQ(engine.TagCount(), 0);
    EXPECT_TRUE(fs::exists(dir.file("QPX.CDX")));
}

TEST_F(TableEngineTest, DateAndNameKeysSortLikeTheirValues) {
    FillFive();
    // The key used after a rebuild: the date field itself (a numeric key).
    ASSERT_EQ(engine.IndexTag("", "DATESENT", kNotDeleted, 0, false, "datesent"), 0)
        << engine.LastErrorText();
    EXPECT_EQ(engine.Tag(1).keyLength, 8);
    EXPECT_EQ(Walk(engine), (std::vector<long>{5, 2, 4, 1, 3}));
    ASSERT_EQ(engine.IndexTag("", "SUBJECT", "", 0, false, "upper(subject)"), 0);
    EXPECT_EQ(engine.TagCount(), 2);
    EXPECT_EQ(Walk(engine), (std::vector<long>{3, 2, 4, 1, 5}));
}

TEST_F(TableEngineTest, UniqueTagsListTheFirstLiveRecordOfEachKey) {
    OpenAndFillSent(engine, path, {{"A", "", ""}, {"B", "", ""}, {"A", "", ""}});
    ASSERT_EQ(engine.IndexTag("", "SUBJECT", kNotDeleted, 0, true, "SUBJECT"), 0);
    EXPECT_EQ(Walk(engine), (std::vector<long>{1, 2}));
    ASSERT_EQ(engine.Go(1), 0);
    ASSERT_EQ(engine.Delete(), 0); // the next record with the key takes its place
    EXPECT_EQ(Walk(engine), (std::vector<long>{3, 2}));
    ASSERT_EQ(engine.Go(1), 0);
    ASSERT_EQ(engine.Recall(), 0);
    EXPECT_EQ(Walk(engine), (std::vector<long>{1, 2}));
    std::vector<std::string> problems;
    EXPECT_EQ(engine.Check(problems), 0) << (problems.empty() ? "" : problems.front());
}

TEST_F(TableEngineTest, RefusesExpressionsItDoesNotUnderstand) {
    FillFive();
    const char* bad[] = {"STR(PAGES)", "NOSUCHFIELD",   "DTOS(SUBJECT)", "SUBJECT+",
                         "RTFCOVER",   "SUBJECT+PAGES", "(SUBJECT",      ""};
    for (const char* key : bad) {
        EXPECT_EQ(engine.IndexTag("", "BAD", "", 0, false, key), tbeBadExpression) << key;
        EXPECT_NE(engine.LastErrorText(), "") << key;
    }
    EXPECT_EQ(engine.IndexTag("", "BAD", "SUBJECT", 0, false, "SUBJECT"), tbeBadExpression);
    EXPECT_EQ(engine.TagCount(), 0);
    EXPECT_FALSE(fs::exists(dir.file("QPX.CDX")));
    EXPECT_EQ(engine.Query("DELETED() +"), tbeBadExpression);
}

TEST_F(TableEngineTest, QueriesCountAndPositionsAgreeWithAWalk) {
    FillFive();
    ASSERT_EQ(engine.IndexTag("", "DATESENT", kNotDeleted, 0, false, "DTOS(DATESENT)+TIMESENT"), 0);
    ASSERT_EQ(engine.Go(1), 0);
    ASSERT_EQ(engine.Delete(), 0);
    ASSERT_EQ(engine.Query(kNotDeleted), 0);
    EXPECT_EQ(engine.QueryRecCount(), 4);
    std::vector<long> walk = Walk(engine);
    EXPECT_EQ(walk, (std::vector<long>{5, 2, 4, 3}));
    for (size_t i = 0; i < walk.size(); ++i) {
        ASSERT_EQ(engine.GoKey(long(i) + 1), 0);
        EXPECT_EQ(engine.RecNo(), walk[i]);
        EXPECT_EQ(engine.KeyNo(), long(i) + 1);
    }
    EXPECT_EQ(engine.GoKey(5), tbeNoRecord);
    EXPECT_TRUE(engine.Eof());

    // A query on field data takes the slow path and must agree.
    ASSERT_EQ(engine.Query("SUBJECT = 'x'"), tbeBadExpression);
    ASSERT_EQ(engine.Query(".not. deleted() .and. .not. (DTOS(DATESENT) + TIMESENT == '')"),
              tbeBadExpression);
    ASSERT_EQ(engine.Query("UPPER(SUBJECT) + 'x' + SUBJECT"), tbeBadExpression);
    ASSERT_EQ(engine.SetOrder(0), 0);
    ASSERT_EQ(engine.Query(".not. deleted() .and. .not. SENT"), 0);
    EXPECT_EQ(engine.QueryRecCount(), 4);
    EXPECT_EQ(Walk(engine), (std::vector<long>{2, 3, 4, 5}));
    ASSERT_EQ(engine.GoKey(3), 0);
    EXPECT_EQ(engine.RecNo(), 4);
    EXPECT_EQ(engine.KeyNo(), 3);
    ASSERT_EQ(engine.Query(""), 0);
    engine.SetDeleted(false);
    EXPECT_EQ(engine.QueryRecCount(), 5);
}

TEST_F(TableEngineTest, MemosGoToFreeBlocksAndCopyToFilesUnchanged) {
    ASSERT_GT(engine.Use(path), 0);
    ASSERT_EQ(engine.AppendBlank(), 0);
    std::string rtf = "{\\rtf1\\ansi Gr\xC3\xBC\xC3\x9F"
                      "e " +
                      std::string(150, 'x') + "}";
    ASSERT_EQ(engine.PutMemo("RTFCOVER", rtf), 0);
    EXPECT_EQ(engine.GetMemo("RTFCOVER"), rtf);
    long fptSize = long(fs::file_size(dir.file("QPX.FPT")));
    EXPECT_EQ(fptSize, 512 + 3 * 64); // 8 + 160 bytes in three 64-byte blocks

    // A changed memo goes to free blocks, never over the live one (pack reclaims them).
    ASSERT_EQ(engine.PutMemo("RTFCOVER", "short"), 0);
    EXPECT_EQ(long(fs::file_size(dir.file("QPX.FPT"))), fptSize + 64);
    EXPECT_EQ(engine.GetMemo("RTFCOVER"), "short");
    std::string binary("a\0b\r\n\xFF\x80", 7);
    std::string file = dir.file("in.rtf");
    WriteFile(file, binary + std::string(300, 'y'));
    ASSERT_EQ(engine.Replace("RTFCOVER", 8192, file), 0) << engine.LastErrorText();
    EXPECT_GT(long(fs::file_size(dir.file("QPX.FPT"))), fptSize);

    std::string out = dir.file("out.rtf");
    EXPECT_NE(engine.BlobToFile("RTFCOVER", out), 0);
    EXPECT_EQ(ReadFile(out), binary + std::string(300, 'y'));
    // An empty memo fails and leaves no file.
    std::string none = dir.file("none.rtf");
    EXPECT_EQ(engine.BlobToFile("RTFDOC", none), 0);
    EXPECT_EQ(engine.LastError(), tbeEmptyMemo);
    EXPECT_FALSE(fs::exists(none));
    EXPECT_EQ(engine.Replace("RTFDOC", 8192, dir.file("missing.rtf")), tbeOpenFailed);
    EXPECT_EQ(engine.Replace("NOPE", 8192, file), tbeBadArgument);
}

TEST_F(TableEngineTest, ValuesRoundTripThroughTheirTypes) {
    ASSERT_GT(engine.Use(path), 0);
    ASSERT_EQ(engine.AppendBlank(), 0);
    EXPECT_EQ(engine.PutString("SUBJECT", "Caf\xC3\xA9 \xE2\x82\xAC 5"), 0);
    EXPECT_EQ(engine.GetString("SUBJECT"), "Caf\xC3\xA9 \xE2\x82\xAC 5");
    EXPECT_EQ(engine.GetRecord()[1], '\x43');
    EXPECT_EQ(engine.GetRecord().substr(1, 8), "Caf\xE9 \x80 5"); // stored in 1252
    EXPECT_EQ(engine.PutLogical("SENT", true), 0);
    EXPECT_TRUE(engine.GetLogical("SENT"));
    EXPECT_EQ(engine.PutNumber("PAGES", 7), 0);
    EXPECT_EQ(engine.GetString("PAGES"), "7");
    EXPECT_EQ(engine.PutNumber("PAGES", 123), tbeBadArgument); // too wide: refused
    EXPECT_EQ(engine.GetString("PAGES"), "7");
    EXPECT_EQ(engine.PutString("PAGES", "12"), 0);
    EXPECT_DOUBLE_EQ(engine.GetNumber("PAGES"), 12);
    EXPECT_EQ(engine.PutString("PAGES", "twelve"), tbeBadArgument);
    EXPECT_EQ(engine.PutDate("DATESENT", "20261208"), 0);
    EXPECT_EQ(engine.GetDateString("DATESENT"), "20261208");
    EXPECT_EQ(engine.PutDate("DATESENT", "2026-12-08"), tbeBadArgument);
    EXPECT_EQ(engine.PutDate("DATESENT", ""), 0);
    EXPECT_EQ(engine.GetDateString("DATESENT"), "        ");
    EXPECT_EQ(engine.PutString("TIMESENT", "10:30:59"), 0); // cut to the width
    EXPECT_EQ(engine.GetString("TIMESENT"), "10:30");

    std::string record = engine.GetRecord();
    record[1] = 'Z';
    EXPECT_EQ(engine.PutRecord(record), 0);
    EXPECT_EQ(engine.GetString(1).substr(0, 5), "Zaf\xC3\xA9");
    EXPECT_EQ(engine.PutRecord("short"), tbeBadArgument);
    EXPECT_TRUE(engine.Rlock());
    EXPECT_TRUE(engine.Unlock());
    EXPECT_EQ(engine.GetString("NOSUCH"), "");
    EXPECT_EQ(engine.LastError(), tbeBadArgument);
}

TEST_F(TableEngineTest, PackRemovesMarkedRecordsCompactsMemosAndRebuildsTags) {
    FillFive();
    for (long r = 1; r <= 5; ++r) {
        ASSERT_EQ(engine.Go(r), 0);
        ASSERT_EQ(engine.PutMemo("RTFDOC", "document " + std::to_string(r) + std::string(100, '.')),
                  0);
    }
    ASSERT_EQ(engine.IndexTag("", "DATESENT", kNotDeleted, 0, false, "DTOS(DATESENT)+TIMESENT"), 0);
    for (long r : {1, 4}) {
        ASSERT_EQ(engine.Go(r), 0);
        ASSERT_EQ(engine.Delete(), 0);
    }
    auto fptBefore = fs::file_size(dir.file("QPX.FPT"));
    ASSERT_EQ(engine.Pack(), 0) << engine.LastErrorText();
    EXPECT_EQ(engine.RecCount(), 3);
    EXPECT_LT(fs::file_size(dir.file("QPX.FPT")), fptBefore);
    // Old 2, 3, 5 are now 1, 2, 3 and keep their memos.
    ASSERT_EQ(engine.Go(3), 0);
    EXPECT_EQ(engine.GetString("SUBJECT"), "unsent");
    EXPECT_EQ(engine.GetMemo("RTFDOC"), "document 5" + std::string(100, '.'));
    EXPECT_EQ(engine.IndexOrd(), 1);
    EXPECT_EQ(Walk(engine), (std::vector<long>{3, 1, 2}));
    std::vector<std::string> problems;
    EXPECT_EQ(engine.Check(problems), 0) << (problems.empty() ? "" : problems.front());
    ASSERT_EQ(engine.Close(), 0);
    ASSERT_GT(engine.Use(path), 0);
    EXPECT_EQ(engine.Check(problems), 0) << (problems.empty() ? "" : problems.front());
}

TEST_F(TableEngineTest, CheckFindsAStaleIndexAndReindexRepairsIt) {
    FillFive();
    ASSERT_EQ(engine.IndexTag("", "DATESENT", kNotDeleted, 0, false, "DTOS(DATESENT)+TIMESENT"), 0);
    ASSERT_EQ(engine.Close(), 0);
    std::string index = ReadFile(dir.file("QPX.CDX"));

    // Change a key, then put back the index written before the change.
    ASSERT_GT(engine.Use(path), 0);
    ASSERT_EQ(engine.Go(1), 0);
    ASSERT_EQ(engine.PutDate("DATESENT", "19990101"), 0);
    ASSERT_EQ(engine.Close(), 0);
    WriteFile(dir.file("QPX.CDX"), index);

    ASSERT_GT(engine.Use(path), 0);
    std::vector<std::string> problems;
    EXPECT_EQ(engine.Check(problems), tbeCorrupt);
    ASSERT_FALSE(problems.empty());
    EXPECT_NE(problems.front().find("QPX.CDX"), std::string::npos);
    EXPECT_NE(problems.front().find("DATESENT"), std::string::npos);
    ASSERT_EQ(engine.Reindex(), 0);
    problems.clear();
    EXPECT_EQ(engine.Check(problems), 0) << (problems.empty() ? "" : problems.front());
    ASSERT_EQ(engine.SetOrder("DATESENT"), 0);
    EXPECT_EQ(Walk(engine).front(), 5);
    EXPECT_EQ(Walk(engine)[1], 1);
}

TEST_F(TableEngineTest, WorkAreasAreSelectedAndRestored) {
    std::string phone = dir.file("QPXPB.DBF");
    MakeTable(engine, phone, PhoneFields());
    int sent = engine.Use(path);
    int book = engine.Use(phone);
    ASSERT_GT(sent, 0);
    ASSERT_GT(book, 0);
    ASSERT_NE(sent, book);
    EXPECT_EQ(engine.CurrentArea(), book);
    EXPECT_EQ(engine.Use(phone), 0); // exclusive use
    EXPECT_NE(engine.LastErrorText().find("QPXPB.DBF"), std::string::npos);
    ASSERT_EQ(engine.AppendBlank(), 0);
    EXPECT_EQ(engine.Select(sent), book);
    EXPECT_EQ(engine.RecCount(), 0);
    EXPECT_EQ(engine.Select(book), sent);
    EXPECT_EQ(engine.RecCount(), 1);
    EXPECT_EQ(engine.Close(), 0);
    EXPECT_FALSE(engine.Used());
    EXPECT_EQ(engine.RecCount(), 0);
    EXPECT_EQ(engine.LastError(), tbeNotOpen);
    EXPECT_EQ(engine.CloseAll(), 0);
    EXPECT_EQ(engine.Select(sent), 0);
    EXPECT_FALSE(engine.Used());
    EXPECT_FALSE(engine.Version().empty());
}

} // namespace
