// A process killed in the middle of appends and memo replacements: records committed
// before survive, at most the change in progress is lost, and `check` passes after a
// reindex.

#include <chrono>
#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <set>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "TableFixtures.h"
#include "TestPaths.h"
#include "tables/TableEngine.h"

using namespace qp::tables;
using namespace tabletest;
namespace fs = std::filesystem;

namespace {

std::string MemoFor(long recno) {
    return "memo " + std::to_string(recno) + std::string(recno % 300, 'x');
}

// Runs in the child: appends records with memos and keeps rewriting the first record's
// memo (alternately shorter and longer, in place and appended) until killed.
[[noreturn]] void WriteUntilKilled(const std::string& path) {
    TableEngine engine;
    if (engine.Use(path) == 0)
        _exit(3);
    for (long n = 1;; ++n) {
        if (engine.AppendBlank() != 0)
            _exit(4);
        long recno = engine.RecNo();
        engine.PutString("SUBJECT", "row " + std::to_string(recno));
        engine.PutDate("DATESENT", "2024" + std::string(recno % 2 ? "01" : "02") + "15");
        engine.PutMemo("RTFDOC", MemoFor(recno));
        engine.Go(1);
        engine.PutMemo("RTFCOVER", "v" + std::to_string(n) + std::string(n % 7 * 40, 'c'));
        if (n % 25 == 0)
            engine.Commit();
    }
}

TEST(CrashSafetyTest, KilledWriterLosesAtMostTheChangeInProgress) {
    qptest::ScratchDir dir("crash");
    std::string path = dir.file("QPX.DBF");
    TableEngine engine;
    MakeTable(engine, path, SentFields());
    ASSERT_GT(engine.Use(path), 0);
    ASSERT_EQ(
        engine.IndexTag("", "DATESENT", ".not. deleted()", 0, false, "DTOS(DATESENT)+TIMESENT"), 0);
    ASSERT_EQ(engine.Close(), 0);

    // Records a writer was filling in when it died stay incomplete in later rounds.
    std::set<long> interrupted;
    for (int round = 0; round < 3; ++round) {
        long before = 0;
        ASSERT_GT(engine.Use(path), 0);
        before = engine.RecCount();
        ASSERT_EQ(engine.Close(), 0);

        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0)
            WriteUntilKilled(path);
        // Let it write for a while (at least some records), then kill it mid-stride.
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (fs::file_size(path) < 2000 + uint64_t(before + 150) * 247 &&
               std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        std::this_thread::sleep_for(std::chrono::milliseconds(round * 7));
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer stopped by itself: " << status;

        ASSERT_GT(engine.Use(path), 0) << engine.LastErrorText();
        long count = engine.RecCount();
        EXPECT_GT(count, before + 100);
        for (long r = 2; r <= count; ++r) {
            ASSERT_EQ(engine.Go(r), 0);
            std::string subject = engine.GetString("SUBJECT");
            std::string memo = engine.GetMemo("RTFDOC");
            ASSERT_EQ(engine.LastError(), 0) << engine.LastErrorText();
            if (interrupted.count(r))
                continue;
            if (r >= count - 1 && (subject.empty() || memo.empty())) {
                interrupted.insert(r); // the record being written when the writer died
                continue;
            }
            EXPECT_EQ(subject, "row " + std::to_string(r));
            EXPECT_EQ(memo, MemoFor(r)) << "record " << r;
        }
        ASSERT_EQ(engine.Go(1), 0);
        EXPECT_EQ(engine.GetMemo("RTFCOVER").substr(0, 1), "v");
        ASSERT_EQ(engine.LastError(), 0) << engine.LastErrorText();

        // The order already covers every record, then the files agree after a reindex.
        ASSERT_EQ(engine.SetOrder("DATESENT"), 0);
        EXPECT_EQ(long(Walk(engine).size()), count);
        ASSERT_EQ(engine.Reindex(), 0) << engine.LastErrorText();
        std::vector<std::string> problems;
        EXPECT_EQ(engine.Check(problems), 0) << (problems.empty() ? "" : problems.front());
        ASSERT_EQ(engine.Close(), 0);
    }
}

} // namespace
