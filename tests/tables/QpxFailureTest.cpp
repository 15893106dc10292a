// `qpx table` when a change cannot be made: rejected values, a table held by another
// program, a folder or table that may not be written, a full disk. Either the whole
// change is made, or nothing is and the message gives the real reason — so a retry
// never duplicates rows.

#include <filesystem>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sys/stat.h>
#include <unistd.h>

#include "TableFixtures.h"
#include "TestPaths.h"
#include "tables/TableEngine.h"

using namespace tabletest;
namespace fs = std::filesystem;

namespace {

struct Result {
    int status;
    std::string output;
};

std::string Quote(const std::string& s) {
    return "'" + s + "'";
}

std::string QpxPath() {
    return (qptest::BinaryDir() / "bin" / "qpx").string();
}

Result RunShell(const std::string& command) {
    Result r;
    r.status = qptest::RunCommand(command + " 2>&1", &r.output);
    return r;
}

Result Qpx(const std::string& arguments) {
    return RunShell(QpxPath() + " table " + arguments);
}

// `qpx table ...` run by a user who may not write what the file modes forbid (root may
// write anything, so as "nobody" when we are root).
Result QpxAsUser(const std::string& arguments) {
    std::string prefix =
        geteuid() == 0 ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "";
    return RunShell(prefix + QpxPath() + " table " + arguments);
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// A phone book with a name tag and a few rows, in a folder of its own that "nobody" may
// enter (the test's data folder is private).
class QpxFailureTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/qp-qpxfail-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder = pattern;
        chmod(folder.c_str(), 0755);
        table = folder + "/QPXPB.DBF";
        ASSERT_EQ(Qpx("create " + Quote(table) +
                      " --fields NAME:C:35,PHONE:C:25,BORN:D:8,CALLS:N:3:0,NOTE:M:10")
                      .status,
                  0);
        WriteRows("rows.json",
                  {{{"NAME", "Ann"}, {"PHONE", "1"}, {"BORN", "19700101"}, {"CALLS", 3}},
                   {{"NAME", "Bob"}, {"PHONE", "2"}, {"NOTE", "memo of Bob"}}});
        ASSERT_EQ(Qpx("append " + Quote(table) + " --json " + Quote(folder + "/rows.json")).status,
                  0);
        ASSERT_EQ(
            Qpx("index " + Quote(table) + " --tag NAME --key NAME --for '.not. deleted()'").status,
            0);
        before = PythonDump(table);
        ASSERT_FALSE(before.empty());
    }
    void TearDown() override {
        chmod(folder.c_str(), 0755);
        fs::remove_all(folder);
    }

    void WriteRows(const std::string& name, const nlohmann::json& rows) {
        WriteFile(folder + "/" + name, rows.dump());
        chmod((folder + "/" + name).c_str(), 0644);
    }
    void ExpectUnchanged(const std::string& when) {
        EXPECT_EQ(PythonDump(table), before) << when << ": the table changed";
        EXPECT_EQ(Qpx("check " + Quote(table)).status, 0) << when;
    }
    void GiveToNobody() {
        if (geteuid() == 0) {
            for (const auto& entry : fs::directory_iterator(folder))
                chown(entry.path().c_str(), 65534, 65534);
            chown(folder.c_str(), 65534, 65534);
        }
    }

    std::string folder, table, before;
};

TEST_F(QpxFailureTest, RejectedValuesAppendNothing) {
    struct Case {
        const char* what;
        nlohmann::json bad;
        const char* reason;
    } cases[] = {
        {"impossible date", {{"NAME", "Cy"}, {"BORN", "20230231"}}, "20230231"},
        {"year zero", {{"NAME", "Cy"}, {"BORN", "00000101"}}, "00000101"},
        {"number too wide", {{"NAME", "Cy"}, {"CALLS", 1000}}, "CALLS"},
        {"not a number", {{"NAME", "Cy"}, {"CALLS", "many"}}, "many"},
        {"unknown field", {{"NAME", "Cy"}, {"NOPE", "x"}}, "NOPE"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        // Two good rows around the bad one: none of them may be appended.
        WriteRows("bad.json", {{{"NAME", "Dee"}, {"NOTE", "first"}}, c.bad, {{"NAME", "Eve"}}});
        Result r = Qpx("append " + Quote(table) + " --json " + Quote(folder + "/bad.json"));
        EXPECT_EQ(r.status, 1) << r.output;
        EXPECT_TRUE(Contains(r.output, "row 2")) << r.output;
        EXPECT_TRUE(Contains(r.output, c.reason)) << r.output;
        ExpectUnchanged(c.what);
    }
}

TEST_F(QpxFailureTest, CreateOnATableInUseIsRefused) {
    qp::tables::TableEngine holder;
    ASSERT_GT(holder.Use(table), 0);
    const std::string bytes = ReadFile(table), index = ReadFile(folder + "/QPXPB.CDX");
    Result r = Qpx("create " + Quote(table) + " --fields X:C:5");
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_TRUE(Contains(r.output, "in use by another program")) << r.output;
    EXPECT_EQ(ReadFile(table), bytes);
    EXPECT_EQ(ReadFile(folder + "/QPXPB.CDX"), index);
    ASSERT_EQ(holder.Go(1), 0);
    ASSERT_EQ(holder.PutString("PHONE", "11"), 0);
    ASSERT_EQ(holder.Close(), 0);
    EXPECT_EQ(Qpx("check " + Quote(table)).status, 0);
}

// A folder the user may not write, the table files still writable: the change is made
// completely, or refused with the system's reason and nothing changed.
TEST_F(QpxFailureTest, ReadOnlyFolderChangesAllOrNothing) {
    WriteRows("more.json", {{{"NAME", "Fay"}, {"NOTE", "memo of Fay"}}});
    GiveToNobody();
    chmod(folder.c_str(), 0555);
    if (geteuid() != 0 && access(folder.c_str(), W_OK) == 0)
        GTEST_SKIP() << "this file system ignores folder permissions";
    Result append = QpxAsUser("append " + Quote(table) + " --json " + Quote(folder + "/more.json"));
    Result remove = QpxAsUser("delete " + Quote(table) + " 1");
    chmod(folder.c_str(), 0755);
    EXPECT_FALSE(Contains(append.output + remove.output, "Success"));
    std::string after = PythonDump(table);
    if (append.status == 0) {
        EXPECT_TRUE(Contains(after, "NAME=Fay|")) << after;
    } else {
        EXPECT_TRUE(Contains(append.output, "Permission denied")) << append.output;
        EXPECT_FALSE(Contains(after, "NAME=Fay|")) << "refused, yet appended: " << append.output;
    }
    if (remove.status == 0) {
        EXPECT_TRUE(Contains(after, "1|*|")) << after;
    } else {
        EXPECT_TRUE(Contains(remove.output, "Permission denied")) << remove.output;
        EXPECT_TRUE(Contains(after, "1| |")) << "refused, yet deleted: " << remove.output;
    }
    EXPECT_EQ(Qpx("check " + Quote(table)).status, 0);
}

// A table whose files may not be written: dump works, changes are refused unchanged.
TEST_F(QpxFailureTest, ReadOnlyTableIsDumpedButNotChanged) {
    for (const auto& entry : fs::directory_iterator(folder))
        chmod(entry.path().c_str(), 0444);
    Result dump = QpxAsUser("dump " + Quote(table) + " --tag NAME");
    EXPECT_EQ(dump.status, 0) << dump.output;
    EXPECT_TRUE(Contains(dump.output, "NAME=Ann")) << dump.output;
    EXPECT_TRUE(Contains(dump.output, "NOTE=memo of Bob")) << dump.output;
    WriteRows("more.json", {{{"NAME", "Fay"}}});
    Result append = QpxAsUser("append " + Quote(table) + " --json " + Quote(folder + "/more.json"));
    EXPECT_EQ(append.status, 1) << append.output;
    EXPECT_TRUE(Contains(append.output, "read")) << append.output;
    for (const auto& entry : fs::directory_iterator(folder))
        chmod(entry.path().c_str(), 0644);
    ExpectUnchanged("read-only append");
}

// A disk that fills up while appending (a file size limit stands in for it): whatever
// the point of failure, the real reason is given and a failed append leaves no rows.
TEST_F(QpxFailureTest, FullDiskAppendsAllOrNothingWithTheRealReason) {
    nlohmann::json rows = nlohmann::json::array();
    for (int i = 0; i < 40; ++i)
        rows.push_back({{"NAME", "Person " + std::to_string(i)},
                        {"NOTE", std::string(size_t(100 + i * 20), 'n')}});
    WriteRows("many.json", rows);
    const std::string table0 = ReadFile(table), memo0 = ReadFile(folder + "/QPXPB.FPT"),
                      index0 = ReadFile(folder + "/QPXPB.CDX");
    int failures = 0;
    for (int limitKb : {1, 2, 3, 4, 8, 16, 24, 64}) {
        SCOPED_TRACE("file size limit " + std::to_string(limitKb) + " KiB");
        WriteFile(table, table0);
        WriteFile(folder + "/QPXPB.FPT", memo0);
        WriteFile(folder + "/QPXPB.CDX", index0);
        Result r = RunShell("bash -c \"trap '' XFSZ; ulimit -f " + std::to_string(limitKb) +
                            "; exec " + QpxPath() + " table append " + Quote(table) + " --json " +
                            Quote(folder + "/many.json") + "\"");
        EXPECT_FALSE(Contains(r.output, "Success")) << r.output;
        std::string after = PythonDump(table);
        if (r.status == 0) {
            EXPECT_TRUE(Contains(after, "NAME=Person 39|")) << r.output;
        } else {
            ++failures;
            EXPECT_EQ(r.status, 1) << r.output;
            EXPECT_TRUE(Contains(r.output, "File too large")) << r.output;
            EXPECT_FALSE(Contains(after, "NAME=Person")) << "failed, yet appended: " << r.output;
        }
        EXPECT_EQ(Qpx("check " + Quote(table)).status, 0) << Qpx("check " + Quote(table)).output;
    }
    EXPECT_GT(failures, 2);
}

} // namespace
