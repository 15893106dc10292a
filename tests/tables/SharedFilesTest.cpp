// Tables as other programs and the file system leave them: held open by someone else,
// cut short by a power loss, or not writable for us.

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "TableFixtures.h"
#include "TestPaths.h"
#include "tables/TableEngine.h"

using namespace qp::tables;
using namespace tabletest;
namespace fs = std::filesystem;

namespace {

constexpr long kHeaderLength = 32 + 32 * 10 + 1; // the sent table's ten fields
constexpr long kRecordLength = 247;

class SharedFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        path = dir.file("QPX.DBF");
        MakeTable(engine, path, SentFields());
        OpenAndFillSent(engine, path,
                        {{"one", "20240101", "10:00"},
                         {"two", "20240102", "11:00"},
                         {"three", "20240103", "12:00"}});
        engine.Go(2);
        engine.PutMemo("RTFDOC", "memo of two");
        engine.IndexTag("", "DATESENT", ".not. deleted()", 1, false, "DTOS(DATESENT)+TIMESENT");
        ASSERT_EQ(engine.Close(), 0) << engine.LastErrorText();
    }

    qptest::ScratchDir dir{"shared"};
    std::string path;
    TableEngine engine;
};

TEST_F(SharedFilesTest, CreatingATableThatIsOpenElsewhereIsRefused) {
    ASSERT_GT(engine.Use(path), 0);
    const std::string table = ReadFile(path), index = ReadFile(dir.file("QPX.CDX")),
                      memos = ReadFile(dir.file("QPX.FPT"));
    TableEngine other;
    ASSERT_NE(other.CreateNew(path, "XXXXXXXXXX", 2, 1), 0);
    ASSERT_EQ(other.CreateField("NAME", "C", 10, 0), 0);
    EXPECT_EQ(other.CreateExec(), 0);
    EXPECT_EQ(other.LastError(), tbeOpenFailed);
    EXPECT_NE(other.LastErrorText().find("in use by another program"), std::string::npos)
        << other.LastErrorText();
    EXPECT_EQ(ReadFile(path), table);
    EXPECT_EQ(ReadFile(dir.file("QPX.CDX")), index);
    EXPECT_EQ(ReadFile(dir.file("QPX.FPT")), memos);

    // The holder goes on working, and the table opens afterwards with its index.
    ASSERT_EQ(engine.AppendBlank(), 0);
    ASSERT_EQ(engine.PutDate("DATESENT", "20240104"), 0);
    ASSERT_EQ(engine.Close(), 0);
    ASSERT_GT(engine.Use(path), 0) << engine.LastErrorText();
    EXPECT_EQ(engine.RecCount(), 4);
    std::vector<std::string> problems;
    EXPECT_EQ(engine.Check(problems), 0) << (problems.empty() ? "" : problems[0]);
    ASSERT_EQ(engine.Close(), 0);

    // Once nobody holds it, creating replaces it.
    ASSERT_NE(other.CreateNew(path, "XXXXXXXXXX", 2, 1), 0);
    ASSERT_EQ(other.CreateField("NAME", "C", 10, 0), 0);
    EXPECT_NE(other.CreateExec(), 0) << other.LastErrorText();
    ASSERT_GT(engine.Use(path), 0);
    EXPECT_EQ(engine.RecCount(), 0);
    EXPECT_EQ(engine.FieldCount(), 1);
}

TEST_F(SharedFilesTest, ShortLastRecordOpensWithTheWholeRecords) {
    const std::string whole = ReadFile(path);
    // Cut inside the third record, and just after the second (the count still says 3).
    for (long cut : {kHeaderLength + 2 * kRecordLength + 100, kHeaderLength + 2 * kRecordLength}) {
        SCOPED_TRACE("file cut to " + std::to_string(cut) + " bytes");
        WriteFile(path, whole.substr(0, size_t(cut)));
        ASSERT_GT(engine.Use(path), 0) << engine.LastErrorText();
        const std::string notes = engine.LastErrorText();
        EXPECT_EQ(engine.LastError(), 0);
        EXPECT_NE(notes.find("record 3"), std::string::npos)
            << "no word about the lost record: " << notes;
        EXPECT_EQ(engine.RecCount(), 2);
        engine.Go(2);
        EXPECT_EQ(engine.GetString("SUBJECT"), "two");
        EXPECT_EQ(engine.GetMemo("RTFDOC"), "memo of two");
        ASSERT_EQ(engine.SetOrder("DATESENT"), 0);
        EXPECT_EQ(Walk(engine), (std::vector<long>{2, 1}));
        std::vector<std::string> problems;
        EXPECT_EQ(engine.Check(problems), 0) << (problems.empty() ? "" : problems[0]);

        // The next write repairs the count; both peers then read three whole records.
        ASSERT_EQ(engine.AppendBlank(), 0);
        ASSERT_EQ(engine.PutString("SUBJECT", "new three"), 0);
        ASSERT_EQ(engine.Close(), 0);
        EXPECT_EQ(long(ReadFile(path).size()), kHeaderLength + 3 * kRecordLength + 1);
        std::string dump = PythonDump(path);
        EXPECT_NE(dump.find("3| |SUBJECT=new three|"), std::string::npos) << dump;
        ASSERT_GT(engine.Use(path), 0);
        EXPECT_EQ(engine.LastError(), 0) << engine.LastErrorText();
        EXPECT_EQ(engine.RecCount(), 3);
        EXPECT_EQ(engine.Check(problems), 0) << (problems.empty() ? "" : problems[0]);
        ASSERT_EQ(engine.Close(), 0);
    }
}

// Runs `work` in a child that may not write the table's files (as user "nobody" when
// we are root, otherwise with the files made read-only); returns its exit status.
int RunWithoutWriteAccess(const std::string& folder, const std::function<int()>& work) {
    pid_t child = fork();
    if (child == 0) {
        if (geteuid() == 0) {
            if (setgid(65534) != 0 || setuid(65534) != 0)
                _exit(90);
        } else {
            for (const auto& entry : fs::directory_iterator(folder))
                chmod(entry.path().c_str(), 0444);
        }
        _exit(work());
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 99;
}

TEST(ReadOnlyTableTest, ReadOnlyTablesCanBeReadButNotChanged) {
    // A folder "nobody" can enter (the test's data folder is private).
    char pattern[] = "/tmp/qp-readonly-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string folder = pattern;
    chmod(folder.c_str(), 0755);
    const std::string path = folder + "/QPX.DBF";
    TableEngine engine;
    MakeTable(engine, path, SentFields());
    OpenAndFillSent(engine, path, {{"one", "20240101", "10:00"}, {"two", "20240102", "11:00"}});
    engine.Go(1);
    engine.PutMemo("RTFDOC", "memo of one");
    engine.IndexTag("", "DATESENT", ".not. deleted()", 1, false, "DTOS(DATESENT)+TIMESENT");
    ASSERT_EQ(engine.Close(), 0);
    const std::string table = ReadFile(path), memos = ReadFile(folder + "/QPX.FPT"),
                      index = ReadFile(folder + "/QPX.CDX");

    int status = RunWithoutWriteAccess(folder, [&] {
        TableEngine reader;
        if (reader.Use(path) <= 0)
            return 10;
        if (reader.SetOrder("DATESENT") != 0 || Walk(reader) != std::vector<long>{2, 1})
            return 11;
        reader.Go(1);
        if (reader.GetString("SUBJECT") != "one" || reader.GetMemo("RTFDOC") != "memo of one")
            return 12;
        if (reader.PutString("SUBJECT", "changed") != tbeReadOnly)
            return 13;
        if (reader.AppendBlank() != tbeReadOnly || reader.RecCount() != 2)
            return 14;
        if (reader.PutMemo("RTFDOC", "x") != tbeReadOnly || reader.Delete() != tbeReadOnly)
            return 15;
        if (reader.Pack() != tbeReadOnly)
            return 16;
        if (reader.LastErrorText().find("QPX.DBF") == std::string::npos)
            return 17;
        if (reader.GetString("SUBJECT") != "one")
            return 18;
        std::vector<std::string> problems;
        if (reader.Check(problems) != 0)
            return 19;
        return reader.Close() == 0 ? 0 : 20;
    });
    EXPECT_EQ(status, 0) << "failed step " << status;
    EXPECT_EQ(ReadFile(path), table);
    EXPECT_EQ(ReadFile(folder + "/QPX.FPT"), memos);
    EXPECT_EQ(ReadFile(folder + "/QPX.CDX"), index);
    fs::remove_all(folder);
}

} // namespace
