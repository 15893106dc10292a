// Pack rewrites the table, its memo file and its index together. A process killed at any
// of its file calls, or any rename failing, must leave the table either as it was or
// packed (every record with its own memos), the engine usable, and a second pack working
// — the rebuild command tries pack twice.

#include <cerrno>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>

#include "TableFixtures.h"
#include "TestPaths.h"
#include "tables/FileOps.h"
#include "tables/TableEngine.h"

using namespace qp::tables;
using namespace tabletest;
namespace fs = std::filesystem;

namespace {

constexpr int kRecords = 8;
constexpr int kKept = 5;

std::string Cover(int n) {
    return "{\\rtf1 cover of fax " + std::to_string(n) + " " + std::string(size_t(40 * n), 'c') +
           "}";
}
std::string Document(int n) {
    return "{\\rtf1 document " + std::to_string(n) + " " + std::string(size_t(90 * n), 'd') + "}";
}

bool Kept(int n) {
    return n % 3 != 2; // records 2, 5 and 8 carry the deleted mark
}

class PackFailureTest : public ::testing::Test {
protected:
    void SetUp() override {
        path = dir.file("QPX.DBF");
        MakeTable(engine, path, SentFields());
        ASSERT_GT(engine.Use(path), 0);
        for (int n = 1; n <= kRecords; ++n) {
            ASSERT_EQ(engine.AppendBlank(), 0);
            engine.PutString("SUBJECT", "fax " + std::to_string(n));
            engine.PutDate("DATESENT",
                           "202403" + std::string(n < 10 ? "0" : "") + std::to_string(n));
            engine.PutMemo("RTFCOVER", Cover(n));
            engine.PutMemo("RTFDOC", Document(n));
            if (!Kept(n))
                engine.Delete();
        }
        ASSERT_EQ(
            engine.IndexTag("", "DATESENT", ".not. deleted()", 1, false, "DTOS(DATESENT)+TIMESENT"),
            0);
        ASSERT_EQ(engine.Close(), 0);
        for (const char* ext : {".DBF", ".FPT", ".CDX"})
            original[ext] = ReadFile(dir.file(std::string("QPX") + ext));
    }

    void RestoreOriginal() {
        for (const auto& entry : fs::directory_iterator(dir.path()))
            fs::remove(entry.path());
        for (const auto& [ext, data] : original)
            WriteFile(dir.file("QPX" + ext), data);
    }

    // The open table holds either every record or only the kept ones, each with its own
    // subject and memos, and table, memo file and index agree.
    void ExpectWholeTable(TableEngine& e, const std::string& when) {
        long count = e.RecCount();
        ASSERT_TRUE(count == kRecords || count == kKept) << when << ": " << count << " records";
        long recno = 0;
        for (int n = 1; n <= kRecords; ++n) {
            if (count != kRecords && !Kept(n))
                continue;
            ++recno;
            ASSERT_EQ(e.Go(recno), 0) << when;
            EXPECT_EQ(e.GetString("SUBJECT"), "fax " + std::to_string(n)) << when;
            EXPECT_EQ(e.GetMemo("RTFCOVER"), Cover(n)) << when << ", record " << recno;
            EXPECT_EQ(e.GetMemo("RTFDOC"), Document(n)) << when << ", record " << recno;
            EXPECT_EQ(e.LastError(), 0) << when << ": " << e.LastErrorText();
        }
        std::vector<std::string> problems;
        EXPECT_EQ(e.Check(problems), 0) << when << ": " << (problems.empty() ? "" : problems[0]);
        ASSERT_GE(e.SetOrder("DATESENT"), 0) << when;
        EXPECT_EQ(long(Walk(e).size()), kKept) << when;
    }

    // python3-dbf reads the same memos.
    void ExpectPythonReadsIt(const std::string& when) {
        std::string dump = PythonDump(path);
        ASSERT_FALSE(dump.empty()) << when << ": python3-dbf cannot read the table";
        for (int n = 1; n <= kRecords; ++n) {
            if (!Kept(n))
                continue;
            EXPECT_NE(dump.find("|RTFDOC=" + Document(n) + "\n"), std::string::npos)
                << when << " " << n;
        }
    }

    qptest::ScratchDir dir{"pack"};
    std::string path;
    TableEngine engine;
    std::map<std::string, std::string> original;
};

TEST_F(PackFailureTest, KilledAtAnyStepLeavesTheTableWholeAndPackable) {
    int killedRuns = 0;
    for (int n = 1;; ++n) {
        SCOPED_TRACE("killed at file call " + std::to_string(n));
        RestoreOriginal();
        ChildEnd end = RunKilledAtCall(n, [&] {
            TableEngine child;
            return child.Use(path) > 0 && child.Pack() == 0 && child.Close() == 0;
        });
        ASSERT_NE(end, ChildEnd::kFailed);
        std::string when = "after a kill at call " + std::to_string(n);
        ASSERT_GT(engine.Use(path), 0) << when << ": " << engine.LastErrorText();
        ExpectWholeTable(engine, when);
        EXPECT_EQ(engine.Pack(), 0) << when << ": " << engine.LastErrorText();
        EXPECT_EQ(engine.RecCount(), kKept) << when;
        ASSERT_EQ(engine.Close(), 0) << when;
        ASSERT_GT(engine.Use(path), 0) << when;
        ExpectWholeTable(engine, when + ", packed again");
        ASSERT_EQ(engine.Close(), 0);
        if (n % 7 == 1 || end == ChildEnd::kFinished)
            ExpectPythonReadsIt(when);
        if (end == ChildEnd::kFinished)
            break;
        ++killedRuns;
        ASSERT_LT(n, 500) << "pack never finished";
    }
    EXPECT_GT(killedRuns, 10);
    // Nothing of the interrupted runs is left beside the table.
    for (const auto& entry : fs::directory_iterator(dir.path())) {
        std::string name = entry.path().filename().string();
        EXPECT_TRUE(name == "QPX.DBF" || name == "QPX.FPT" || name == "QPX.CDX") << name;
    }
}

TEST_F(PackFailureTest, EachFailingRenameLeavesTheEngineUsable) {
    int failures = 0;
    for (int n = 1;; ++n) {
        SCOPED_TRACE("rename " + std::to_string(n) + " fails");
        RestoreOriginal();
        ASSERT_GT(engine.Use(path), 0);
        int result = 0;
        bool happened = false;
        {
            FailingCall failing(n, EIO, [](FileOps::Call call, const std::string&) {
                return call == FileOps::Call::kRename;
            });
            result = engine.Pack();
            happened = failing.Happened();
        }
        if (!happened) {
            EXPECT_EQ(result, 0) << engine.LastErrorText();
            ASSERT_EQ(engine.Close(), 0);
            break;
        }
        ++failures;
        EXPECT_EQ(result, tbeIo) << "a failed rename was reported as success";
        EXPECT_NE(engine.LastErrorText().find("Input/output error"), std::string::npos)
            << engine.LastErrorText();
        // The same engine still reads every memo right, and the retry packs.
        std::string when = "after rename " + std::to_string(n) + " failed";
        ExpectWholeTable(engine, when);
        ASSERT_EQ(engine.Pack(), 0) << when << ": " << engine.LastErrorText();
        ExpectWholeTable(engine, when + " and the retry");
        EXPECT_EQ(engine.RecCount(), kKept);
        ASSERT_EQ(engine.Close(), 0);
        ASSERT_GT(engine.Use(path), 0);
        ExpectWholeTable(engine, when + ", reopened");
        ASSERT_EQ(engine.Close(), 0);
        ExpectPythonReadsIt(when);
        ASSERT_LT(n, 50);
    }
    EXPECT_GE(failures, 2); // at least the table's and the memo file's
}

TEST_F(PackFailureTest, FailingWritesOfTheNewFilesChangeNothing) {
    for (FileOps::Call call : {FileOps::Call::kWrite, FileOps::Call::kSync}) {
        RestoreOriginal();
        ASSERT_GT(engine.Use(path), 0);
        {
            FailingCall failing(1, ENOSPC, [call](FileOps::Call c, const std::string& p) {
                return c == call && p.find(".pack") != std::string::npos;
            });
            EXPECT_EQ(engine.Pack(), tbeIo);
            EXPECT_TRUE(failing.Happened());
        }
        EXPECT_NE(engine.LastErrorText().find("No space left on device"), std::string::npos)
            << engine.LastErrorText();
        ExpectWholeTable(engine, "after a full disk");
        EXPECT_EQ(engine.RecCount(), kRecords);
        ASSERT_EQ(engine.Close(), 0);
        EXPECT_EQ(ReadFile(path).substr(32), original[".DBF"].substr(32));
    }
}

} // namespace
