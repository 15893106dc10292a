// The end of a table that records are appended to: space is taken ahead of the records,
// so a writer that dies leaves more file than records, and a disk that fills up is met
// while taking space. Both must leave a table that opens with every whole record, that
// the independent readers read, and that is cut back to its records by the next write.

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>
#include <signal.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "TableFixtures.h"
#include "TestPaths.h"
#include "tables/FileOps.h"
#include "tables/TableEngine.h"

using namespace qp::tables;
using namespace tabletest;
namespace fs = std::filesystem;

namespace {

constexpr long kHeaderLength = 32 + 32 * 10 + 1; // the sent table's ten fields
constexpr long kRecordLength = 247;

std::string Subject(long recno) {
    return "fax " + std::to_string(recno);
}

long Lines(const std::string& text) {
    long count = 0;
    for (char c : text)
        count += c == '\n';
    return count;
}

uint64_t ExactSize(long records) {
    return uint64_t(kHeaderLength + records * kRecordLength + 1);
}

class AppendEndTest : public ::testing::Test {
protected:
    void SetUp() override {
        path = dir.file("QPX.DBF");
        MakeTable(engine, path, SentFields());
        ASSERT_GT(engine.Use(path), 0);
        ASSERT_EQ(
            engine.IndexTag("", "DATESENT", ".not. deleted()", 1, false, "DTOS(DATESENT)+TIMESENT"),
            0);
        ASSERT_EQ(engine.Close(), 0);
    }

    // Appends up to `count` records in a child process prepared by `setup`, which then
    // closes the table or, with `killItself`, dies before closing it. Returns the child's
    // report: "<records appended>|<the error that stopped it>".
    template <typename Setup>
    std::string AppendInChild(long count, Setup setup, bool killItself) {
        int pipeEnds[2];
        EXPECT_EQ(pipe(pipeEnds), 0);
        const pid_t child = fork();
        if (child == 0) {
            close(pipeEnds[0]);
            setup();
            TableEngine writer;
            std::string report;
            if (writer.Use(path) <= 0)
                report = "open failed: " + writer.LastErrorText();
            long appended = 0;
            while (report.empty() && appended < count) {
                const long next = writer.RecCount() + 1;
                if (writer.AppendBlank() != 0 || writer.PutString("SUBJECT", Subject(next)) != 0 ||
                    writer.PutDate("DATESENT", "20240315") != 0) {
                    report = writer.LastErrorText();
                    break;
                }
                ++appended;
            }
            report = std::to_string(appended) + "|" + report;
            if (write(pipeEnds[1], report.data(), report.size()) < 0)
                _exit(3);
            if (killItself)
                kill(getpid(), SIGKILL);
            writer.Close();
            _exit(0);
        }
        close(pipeEnds[1]);
        std::string report;
        char buffer[512];
        for (ssize_t n; (n = read(pipeEnds[0], buffer, sizeof buffer)) > 0;)
            report.append(buffer, size_t(n));
        close(pipeEnds[0]);
        int status = 0;
        waitpid(child, &status, 0);
        if (killItself)
            EXPECT_TRUE(WIFSIGNALED(status)) << status;
        else
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        return report;
    }

    void ExpectRecords(long count, const std::string& when) {
        SCOPED_TRACE(when);
        ASSERT_GT(engine.Use(path), 0) << engine.LastErrorText();
        ASSERT_EQ(engine.RecCount(), count);
        for (long r = 1; r <= count; ++r) {
            ASSERT_EQ(engine.Go(r), 0);
            ASSERT_EQ(engine.GetString("SUBJECT"), Subject(r)) << "record " << r;
        }
        ASSERT_EQ(engine.SetOrder("DATESENT"), 0);
        EXPECT_EQ(long(Walk(engine).size()), count);
        std::vector<std::string> problems;
        EXPECT_EQ(engine.Check(problems), 0) << (problems.empty() ? "" : problems.front());
        ASSERT_EQ(engine.Close(), 0);
        const std::string dump = PythonDump(path);
        EXPECT_EQ(Lines(dump), count) << dump.substr(0, 200);
        if (count > 0) {
            EXPECT_NE(dump.find(std::to_string(count) + "| |SUBJECT=" + Subject(count) + "|"),
                      std::string::npos)
                << "python3-dbf does not read the last record";
        }
    }

    qptest::ScratchDir dir{"appendend"};
    std::string path;
    TableEngine engine;
};

TEST_F(AppendEndTest, AWriterKilledWithSpaceTakenAheadLeavesWholeRecordsOnly) {
    const std::string report = AppendInChild(
        300, [] {}, true);
    ASSERT_EQ(report, "300|");
    // The space taken ahead is still there: more file than records.
    EXPECT_GT(fs::file_size(path), ExactSize(300));
    ExpectRecords(300, "after the kill");

    // Perl XBase reads it as well.
    std::string output;
    const std::string script = (qptest::SourceDir() / "tests/tables/peers/read_xbase.pl").string();
    ASSERT_EQ(qptest::RunCommand("perl " + script + " '" + path + "' 2>&1", &output), 0) << output;
    EXPECT_NE(output.find(Subject(300)), std::string::npos) << output.substr(0, 300);

    // The next writer puts its record after the whole ones and cuts the file back.
    ASSERT_GT(engine.Use(path), 0);
    ASSERT_EQ(engine.AppendBlank(), 0);
    ASSERT_EQ(engine.PutString("SUBJECT", Subject(301)), 0);
    ASSERT_EQ(engine.Close(), 0);
    EXPECT_EQ(fs::file_size(path), ExactSize(301));
    EXPECT_EQ(ReadFile(path).back(), '\x1A');
    ExpectRecords(301, "after the next append");
}

TEST_F(AppendEndTest, ADiskThatFillsUpRefusesTheAppendAndKeepsTheRecordsBefore) {
    // A file size limit stands in for the full disk: room for some records, not for all.
    const rlim_t limit = ExactSize(0) + 100 * 1024;
    const std::string report = AppendInChild(
        100000,
        [limit] {
            signal(SIGXFSZ, SIG_IGN);
            rlimit size{limit, limit};
            setrlimit(RLIMIT_FSIZE, &size);
        },
        false);
    const size_t bar = report.find('|');
    ASSERT_NE(bar, std::string::npos) << report;
    const long appended = std::stol(report.substr(0, bar));
    const std::string reason = report.substr(bar + 1);
    EXPECT_NE(reason.find("File too large"), std::string::npos) << reason;
    // Space taken ahead must not shut out the records that still fit.
    EXPECT_GT(appended, 100 * 1024 / kRecordLength / 2) << reason;
    EXPECT_LE(ExactSize(appended), limit);
    ExpectRecords(appended, "after the disk filled up");
    EXPECT_EQ(fs::file_size(path), ExactSize(appended));
}

TEST_F(AppendEndTest, ANearlyFullDiskStillTakesTheRecordsItHasRoomFor) {
    // No room for the space taken ahead, room for what the record needs.
    FailingCall noRoomAhead(1, ENOSPC, [](FileOps::Call call, const std::string&) {
        return call == FileOps::Call::kReserve;
    });
    ASSERT_GT(engine.Use(path), 0);
    ASSERT_EQ(engine.AppendBlank(), 0) << engine.LastErrorText();
    ASSERT_EQ(engine.PutString("SUBJECT", Subject(1)), 0);
    ASSERT_EQ(engine.PutDate("DATESENT", "20240315"), 0);
    EXPECT_TRUE(noRoomAhead.Happened()) << "no space was reserved";
    ASSERT_EQ(engine.Close(), 0) << engine.LastErrorText();
    ExpectRecords(1, "after appending on a nearly full disk");
}

TEST_F(AppendEndTest, AFullDiskRefusesTheAppendWithTheRealReasonAndChangesNothing) {
    ASSERT_GT(engine.Use(path), 0);
    ASSERT_EQ(engine.AppendBlank(), 0);
    ASSERT_EQ(engine.PutString("SUBJECT", Subject(1)), 0);
    ASSERT_EQ(engine.Close(), 0);
    const std::string table = ReadFile(path);

    FileOps::SetHook([](FileOps::Call call, const std::string&) {
        return call == FileOps::Call::kReserve ? ENOSPC : 0;
    });
    ASSERT_GT(engine.Use(path), 0);
    const int result = engine.AppendBlank();
    const std::string reason = engine.LastErrorText();
    const long count = engine.RecCount();
    engine.Close();
    FileOps::SetHook({});
    EXPECT_NE(result, 0) << "appended with no space to be had";
    EXPECT_NE(reason.find("No space left on device"), std::string::npos) << reason;
    EXPECT_NE(reason.find("QPX.DBF"), std::string::npos) << reason;

    // The refused append left nothing behind.
    EXPECT_EQ(count, 1);
    ASSERT_GT(engine.Use(path), 0);
    EXPECT_EQ(engine.RecCount(), 1);
    ASSERT_EQ(engine.Go(1), 0);
    EXPECT_EQ(engine.GetString("SUBJECT"), Subject(1));
    ASSERT_EQ(engine.Close(), 0);
    EXPECT_EQ(fs::file_size(path), ExactSize(1));
    // Apart from the date of the last change the file is as it was.
    EXPECT_EQ(ReadFile(path).substr(4), table.substr(4));
    EXPECT_EQ(Lines(PythonDump(path)), 1);
}

} // namespace
