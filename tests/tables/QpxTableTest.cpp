// `qpx table` as support staff and scripts use it: on tables python3-dbf made, on our own
// tables through every subcommand, and on damaged files.

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "TableFixtures.h"
#include "TestPaths.h"

using tabletest::ReadFile;
using tabletest::WriteFile;
namespace fs = std::filesystem;

namespace {

struct Result {
    int status;
    std::string output;
};

Result Qpx(const std::string& arguments) {
    Result r;
    r.status = qptest::RunCommand((qptest::BinaryDir() / "bin" / "qpx").string() + " table " +
                                      arguments + " 2>&1",
                                  &r.output);
    return r;
}

std::string Quote(const std::string& path) {
    return "'" + path + "'";
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(QpxTableTest, InspectsTablesMadeByPython) {
    qptest::ScratchDir dir("qpx-python");
    std::string table = dir.file("people.dbf");
    std::string script = (qptest::SourceDir() / "tests/tables/peers/make_dbf.py").string();
    ASSERT_EQ(qptest::RunCommand("/usr/bin/python3 " + script + " " + Quote(table)), 0);

    Result info = Qpx("info " + Quote(table));
    EXPECT_EQ(info.status, 0) << info.output;
    EXPECT_TRUE(Contains(info.output, "Records:       5")) << info.output;
    EXPECT_TRUE(Contains(info.output, "SCORE  N  6.2")) << info.output;
    EXPECT_TRUE(Contains(info.output, "block size 128")) << info.output;

    Result dump = Qpx("dump " + Quote(table));
    EXPECT_EQ(dump.status, 0) << dump.output;
    EXPECT_TRUE(Contains(dump.output, "3 * NAME=Deleted Person")) << dump.output;
    EXPECT_TRUE(Contains(dump.output, "NAME=Zo\xC3\xAB \xC3\x85ngstr\xC3\xB6m")) << dump.output;
    EXPECT_TRUE(Contains(dump.output, "NOTES=line one\\r\\nline two")) << dump.output;

    Result json = Qpx("dump --json " + Quote(table));
    ASSERT_EQ(json.status, 0) << json.output;
    auto rows = nlohmann::json::parse(json.output);
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[0]["NAME"], "J\xC3\xBCrgen M\xC3\xBCller");
    EXPECT_EQ(rows[1]["SCORE"], -3.25);
    EXPECT_EQ(rows[2]["_deleted"], true);
    EXPECT_TRUE(rows[3]["MEMBER"].is_null());
    EXPECT_EQ(rows[4]["BORN"], "20240229");

    Result check = Qpx("check " + Quote(table));
    EXPECT_EQ(check.status, 0) << check.output;
    EXPECT_TRUE(Contains(check.output, "OK")) << check.output;
}

TEST(QpxTableTest, EverySubcommandOnOurOwnTable) {
    qptest::ScratchDir dir("qpx-own");
    std::string table = dir.file("QPXPB.DBF");
    Result create = Qpx("create " + Quote(table) + " --fields NAME:C:35,PHONE:C:25,CALLS:N:5:0");
    ASSERT_EQ(create.status, 0) << create.output;

    // Several thousand rows in one call, then more from CSV (with quotes and a comma).
    nlohmann::json rows = nlohmann::json::array();
    for (int i = 0; i < 5000; ++i)
        rows.push_back({{"NAME", "Person " + std::to_string(4999 - i)},
                        {"PHONE", std::to_string(100000 + i)},
                        {"CALLS", i % 100}});
    WriteFile(dir.file("rows.json"), rows.dump());
    Result append = Qpx("append " + Quote(table) + " --json " + Quote(dir.file("rows.json")));
    ASSERT_EQ(append.status, 0) << append.output;
    EXPECT_TRUE(Contains(append.output, "Appended 5000")) << append.output;
    WriteFile(dir.file("rows.csv"), "NAME,PHONE,CALLS\n\"Aardvark, Anna\",\"+1 \"\"555\"\"\",3\n");
    ASSERT_EQ(Qpx("append " + Quote(table) + " --csv " + Quote(dir.file("rows.csv"))).status, 0);

    Result index = Qpx("index " + Quote(table) + " --tag NAME --key NAME --for '.not. deleted()'");
    ASSERT_EQ(index.status, 0) << index.output;
    Result desc = Qpx("index " + Quote(table) + " --tag CALLS --key CALLS --descending");
    ASSERT_EQ(desc.status, 0) << desc.output;
    Result refused = Qpx("index " + Quote(table) + " --tag BAD --key 'STR(CALLS)'");
    EXPECT_NE(refused.status, 0);
    EXPECT_TRUE(Contains(refused.output, "STR")) << refused.output;

    ASSERT_EQ(Qpx("delete " + Quote(table) + " 5001 2").status, 0);
    Result info = Qpx("info " + Quote(table));
    EXPECT_TRUE(Contains(info.output, "Tag NAME  key \"NAME\"  for \".not. deleted()\""))
        << info.output;
    EXPECT_TRUE(Contains(info.output, "4999 keys")) << info.output;

    Result dump = Qpx("dump " + Quote(table) + " --tag NAME --json");
    ASSERT_EQ(dump.status, 0);
    auto ordered = nlohmann::json::parse(dump.output);
    ASSERT_EQ(ordered.size(), 4999u); // the deleted "Aardvark" and record 2 are not in the tag
    EXPECT_EQ(ordered[0]["NAME"], "Person 0");
    EXPECT_EQ(ordered[1]["NAME"], "Person 1");
    EXPECT_EQ(Qpx("dump " + Quote(table) + " --tag NOPE").status, 1);

    EXPECT_EQ(Qpx("check " + Quote(table)).status, 0);
    Result pack = Qpx("pack " + Quote(table));
    EXPECT_EQ(pack.status, 0) << pack.output;
    EXPECT_TRUE(Contains(pack.output, "5001 -> 4999")) << pack.output;
    EXPECT_EQ(Qpx("check " + Quote(table)).status, 0);

    // A damaged index fails check, and reindex repairs it.
    std::string cdx = dir.file("QPXPB.CDX");
    std::string data = ReadFile(cdx);
    data.replace(data.size() - 600, 300, std::string(300, '\x01'));
    WriteFile(cdx, data);
    Result broken = Qpx("check " + Quote(table));
    EXPECT_NE(broken.status, 0);
    EXPECT_TRUE(Contains(broken.output, "QPXPB.CDX")) << broken.output;
    Result reindex = Qpx("reindex " + Quote(table));
    EXPECT_EQ(reindex.status, 0) << reindex.output;
    Result fixed = Qpx("check " + Quote(table));
    EXPECT_EQ(fixed.status, 0) << fixed.output;
    EXPECT_TRUE(Contains(fixed.output, "2 tags")) << fixed.output;
}

TEST(QpxTableTest, CorruptFilesAndBadArgumentsAreRefusedClearly) {
    qptest::ScratchDir dir("qpx-bad");
    std::string table = dir.file("QPX.DBF");
    ASSERT_EQ(Qpx("create " + Quote(table) + " --fields NAME:C:10").status, 0);
    std::string data = ReadFile(table);
    data[4] = char(0xFF); // record count far beyond the file
    WriteFile(table, data);
    for (const char* command : {"info", "dump", "check", "pack"}) {
        Result r = Qpx(std::string(command) + " " + Quote(table));
        EXPECT_EQ(r.status, 1) << command;
        EXPECT_TRUE(Contains(r.output, "QPX.DBF")) << command << ": " << r.output;
        EXPECT_TRUE(Contains(r.output, "beyond the end")) << command << ": " << r.output;
    }
    EXPECT_EQ(ReadFile(table), data);
    EXPECT_EQ(Qpx("create " + Quote(dir.file("X.DBF")) + " --fields NAME:Q:10").status, 1);
    EXPECT_EQ(Qpx("create " + Quote(dir.file("X.DBF")) + " --fields NAME").status, 2);
    EXPECT_EQ(Qpx("frobnicate " + Quote(table)).status, 2);
    EXPECT_EQ(Qpx("dump " + Quote(dir.file("missing.dbf"))).status, 1);
    WriteFile(dir.file("bad.json"), "[{\"NAME\": ");
    EXPECT_EQ(Qpx("append " + Quote(table) + " --json " + Quote(dir.file("bad.json"))).status, 1);
}

} // namespace
