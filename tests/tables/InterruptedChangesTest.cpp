// Changes cut short by a killed process: a memo being replaced, and a loop of edits,
// deletes and appends. Whatever the moment, the next open shows every memo whole (old or
// new) and an index that agrees with the table, without being asked to reindex.

#include <chrono>
#include <csignal>
#include <gtest/gtest.h>
#include <random>
#include <set>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "TableFixtures.h"
#include "TestPaths.h"
#include "tables/TableEngine.h"

using namespace qp::tables;
using namespace tabletest;

namespace {

// A text whose every part says where it is, so that a mix of two texts shows.
std::string Text(const std::string& name, size_t length) {
    std::string text = "{\\rtf1 " + name + " ";
    for (size_t i = 0; text.size() < length; ++i)
        text += name + std::to_string(i) + " ";
    text.resize(length);
    return text;
}

TEST(InterruptedChangesTest, MemoReplacedWhileKilledIsOldOrNewInFull) {
    qptest::ScratchDir dir("memo-kill");
    const std::string path = dir.file("QPX.DBF");
    const std::string old = Text("old", 700);
    TableEngine engine;
    MakeTable(engine, path, SentFields());
    ASSERT_GT(engine.Use(path), 0);
    for (int n = 1; n <= 3; ++n) {
        ASSERT_EQ(engine.AppendBlank(), 0);
        engine.PutMemo("RTFDOC", n == 2 ? old : Text("other" + std::to_string(n), 300));
    }
    ASSERT_EQ(engine.IndexTag("", "DATESENT", ".not. deleted()", 1, false, "DTOS(DATESENT)"), 0);
    ASSERT_EQ(engine.Close(), 0);
    const std::string table = ReadFile(path), memos = ReadFile(dir.file("QPX.FPT")),
                      index = ReadFile(dir.file("QPX.CDX"));

    // Same length, shorter (both fit the old blocks) and longer than the old text.
    for (size_t length : {size_t(700), size_t(650), size_t(100), size_t(2000)}) {
        const std::string replacement = Text("new", length);
        for (int n = 1;; ++n) {
            SCOPED_TRACE("length " + std::to_string(length) + ", killed at write " +
                         std::to_string(n));
            WriteFile(path, table);
            WriteFile(dir.file("QPX.FPT"), memos);
            WriteFile(dir.file("QPX.CDX"), index);
            ChildEnd end = RunKilledAtCall(
                n,
                [&] {
                    TableEngine child;
                    return child.Use(path) > 0 && child.Go(2) == 0 &&
                           child.PutMemo("RTFDOC", replacement) == 0 && child.Close() == 0;
                },
                [](FileOps::Call call) { return call == FileOps::Call::kWrite; });
            ASSERT_NE(end, ChildEnd::kFailed);
            ASSERT_GT(engine.Use(path), 0) << engine.LastErrorText();
            ASSERT_EQ(engine.Go(2), 0);
            std::string memo = engine.GetMemo("RTFDOC");
            EXPECT_TRUE(memo == old || memo == replacement)
                << "memo of " << memo.size() << " bytes: " << memo.substr(0, 80) << "...";
            if (end == ChildEnd::kFinished) {
                EXPECT_EQ(memo, replacement);
            }
            for (long other : {1L, 3L}) {
                engine.Go(other);
                EXPECT_EQ(engine.GetMemo("RTFDOC"), Text("other" + std::to_string(other), 300));
            }
            std::vector<std::string> problems;
            EXPECT_EQ(engine.Check(problems), 0) << (problems.empty() ? "" : problems[0]);
            ASSERT_EQ(engine.Close(), 0);
            std::string dump = PythonDump(path);
            std::string trimmed = memo.substr(0, memo.find_last_not_of(' ') + 1); // as it reads
            EXPECT_NE(dump.find("|RTFDOC=" + trimmed + "\n"), std::string::npos)
                << "python3-dbf reads another memo";
            if (end == ChildEnd::kFinished)
                break;
            ASSERT_LT(n, 100);
        }
    }
}

// Runs in the child: edits, deletes, recalls and appends, committing after each change
// as the program's Post does, until killed. Writes one byte to `ready` once started.
[[noreturn]] void ChangeUntilKilled(const std::string& path, unsigned seed, int ready) {
    TableEngine engine;
    if (engine.Use(path) == 0)
        _exit(3);
    std::mt19937 random(seed);
    char byte = 1;
    if (write(ready, &byte, 1) != 1)
        _exit(4);
    for (;;) {
        long count = engine.RecCount();
        engine.Go(1 + long(random() % uint32_t(count)));
        switch (random() % 6) {
        case 0:
        case 1: {
            char date[16];
            std::snprintf(date, sizeof date, "2024%02u%02u", 1 + unsigned(random() % 12),
                          1 + unsigned(random() % 28));
            engine.PutDate("DATESENT", date);
            engine.PutString("TIMESENT", std::to_string(10 + random() % 14) + ":00");
            break;
        }
        case 2:
            engine.Delete();
            break;
        case 3:
            engine.Recall();
            break;
        case 4:
            engine.AppendBlank();
            engine.PutDate("DATESENT", "20240" + std::to_string(1 + random() % 9) + "15");
            break;
        default:
            engine.PutString("SUBJECT", "edited " + std::to_string(random()));
            break;
        }
        engine.Commit();
    }
}

TEST(InterruptedChangesTest, IndexAgreesAfterEveryKilledEditLoop) {
    qptest::ScratchDir dir("edit-kill");
    const std::string path = dir.file("QPX.DBF");
    TableEngine engine;
    MakeTable(engine, path, SentFields());
    ASSERT_GT(engine.Use(path), 0);
    for (int n = 1; n <= 150; ++n) {
        ASSERT_EQ(engine.AppendBlank(), 0);
        engine.PutString("SUBJECT", "fax " + std::to_string(n));
        engine.PutDate("DATESENT", "2024" + std::string(n % 12 < 9 ? "0" : "") +
                                       std::to_string(n % 12 + 1) + "10");
    }
    ASSERT_EQ(
        engine.IndexTag("", "DATESENT", ".not. deleted()", 1, false, "DTOS(DATESENT)+TIMESENT"), 0);
    ASSERT_EQ(engine.Close(), 0);

    std::mt19937 random(7);
    for (int round = 1; round <= 20; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        int pipeEnds[2];
        ASSERT_EQ(pipe(pipeEnds), 0);
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(pipeEnds[0]);
            ChangeUntilKilled(path, unsigned(round), pipeEnds[1]);
        }
        close(pipeEnds[1]);
        char byte = 0;
        ASSERT_EQ(read(pipeEnds[0], &byte, 1), 1) << "the child did not start";
        close(pipeEnds[0]);
        std::this_thread::sleep_for(std::chrono::milliseconds(5 + random() % 60));
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the child stopped by itself: " << status;

        // Reopened as the program does, without any repair asked for.
        ASSERT_GT(engine.Use(path), 0) << engine.LastErrorText();
        std::vector<std::string> problems;
        EXPECT_EQ(engine.Check(problems), 0) << (problems.empty() ? "" : problems[0]);
        std::set<long> live;
        for (long r = 1; r <= engine.RecCount(); ++r) {
            engine.Go(r);
            if (!engine.Deleted())
                live.insert(r);
        }
        engine.SetDeleted(true);
        ASSERT_EQ(engine.SetOrder("DATESENT"), 0);
        std::vector<long> listed = Walk(engine);
        EXPECT_EQ(std::set<long>(listed.begin(), listed.end()), live);
        EXPECT_EQ(listed.size(), live.size()) << "records listed twice";
        EXPECT_EQ(engine.QueryRecCount(), long(live.size()));
        engine.SetDeleted(false);
        ASSERT_EQ(engine.Close(), 0);
    }
}

} // namespace
