// Our files against two independent xBase implementations, Debian's python3-dbf and Perl
// XBase: they read the four fax store tables we write, Perl's CDX reader walks our tags in
// our order, and tables python3-dbf writes open in our engine with the same values.

#include <algorithm>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <random>

#include "TableFixtures.h"
#include "TestPaths.h"
#include "tables/TableEngine.h"

using namespace qp::tables;
using namespace tabletest;
using nlohmann::json;

namespace {

std::string Peer(const std::string& script) {
    return (qptest::SourceDir() / "tests" / "tables" / "peers" / script).string();
}

json RunJson(const std::string& command) {
    std::string output;
    int status = qptest::RunCommand(command + " 2>&1", &output);
    EXPECT_EQ(status, 0) << command << "\n" << output;
    try {
        return json::parse(output);
    } catch (const json::exception& e) {
        ADD_FAILURE() << command << ": " << e.what() << "\n" << output;
        return json::array();
    }
}

std::string RTrim(std::string s) {
    s.erase(s.find_last_not_of(" \r\n\t") + 1);
    return s;
}

// The current record as the peers' scripts print it: texts without trailing blanks,
// dates "YYYYMMDD" or null, logicals and numbers or null, memos as stored.
json EngineFields(TableEngine& engine) {
    json fields = json::object();
    for (int i = 1; i <= engine.FieldCount(); ++i) {
        FieldInfo f = engine.Field(i);
        std::string text = engine.GetString(i);
        json value;
        switch (f.type) {
        case 'D':
            value = text.empty() ? json() : json(text);
            break;
        case 'L':
            value = text.empty() || text == "?" ? json() : json(engine.GetLogical(i));
            break;
        case 'N':
            value = text.empty() ? json() : json(engine.GetNumber(i));
            break;
        default:
            value = text;
            break;
        }
        fields[f.name] = value;
    }
    return fields;
}

// Compares one table's records as read by a peer with our engine's reading.
void ExpectSameRecords(TableEngine& engine, const json& rows, bool trimMemos, const char* peer) {
    ASSERT_EQ(long(rows.size()), engine.RecCount()) << peer;
    for (long r = 1; r <= engine.RecCount(); ++r) {
        ASSERT_EQ(engine.Go(r), 0);
        const json& row = rows[size_t(r - 1)];
        EXPECT_EQ(row["deleted"].get<bool>(), engine.Deleted()) << peer << " record " << r;
        json ours = EngineFields(engine);
        for (auto& [name, value] : ours.items()) {
            json theirs = row["fields"][name];
            if (trimMemos && engine.FieldType(engine.FieldNumber(name)) == 'M') {
                value = RTrim(value.get<std::string>());
                theirs = RTrim(theirs.is_null() ? "" : theirs.get<std::string>());
            }
            if (engine.FieldType(engine.FieldNumber(name)) == 'M' && theirs.is_null())
                theirs = "";
            if (value.is_number() && theirs.is_number())
                EXPECT_DOUBLE_EQ(value.get<double>(), theirs.get<double>())
                    << peer << " record " << r << " field " << name;
            else
                EXPECT_EQ(value, theirs) << peer << " record " << r << " field " << name;
        }
    }
}

std::vector<long> PerlWalk(const std::string& cdx, const std::string& tag, char type) {
    std::string output;
    std::string command = "perl " + Peer("walk_cdx.pl") + " '" + cdx + "' " + tag + " " +
                          std::string(1, type) + " 2>&1";
    EXPECT_EQ(qptest::RunCommand(command, &output), 0) << command << "\n" << output;
    std::vector<long> order;
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);)
        order.push_back(std::stol(line));
    return order;
}

// Our order of the active tag as stored (ascending), with deleted records included.
std::vector<long> StoredOrder(TableEngine& engine) {
    bool previous = engine.SetDeleted(false);
    std::vector<long> order = Walk(engine);
    engine.SetDeleted(previous);
    if (engine.Tag(engine.IndexOrd()).descending)
        std::reverse(order.begin(), order.end());
    return order;
}

class PeerCompatibilityTest : public ::testing::Test {
protected:
    // The four tables of the fax store, made and filled through our engine with the tags
    // the program creates at open.
    void MakeStore() {
        const char* names[] = {"J\xC3\xBCrgen M\xC3\xBCller", "Zo\xC3\xAB \xC3\x85ngstr\xC3\xB6m",
                               "\xC3\x98re \xE2\x82\xACuro", "Ana", "Bj\xC3\xB6rk"};
        std::mt19937 random(11);
        MakeTable(engine, sent, SentFields());
        ASSERT_GT(engine.Use(sent), 0);
        for (int i = 0; i < 60; ++i) {
            ASSERT_EQ(engine.AppendBlank(), 0);
            engine.PutString("SUBJECT",
                             std::string("Fax ") + names[i % 5] + " " + std::to_string(i));
            engine.PutLogical("SENT", i % 3 != 0);
            if (i % 3 != 0) {
                engine.PutDate("DATESENT", "2024" + std::to_string(10 + random() % 3) + "1" +
                                               std::to_string(random() % 10));
                engine.PutString("TIMESENT", "1" + std::to_string(random() % 10) + ":3" +
                                                 std::to_string(random() % 10));
            }
            engine.PutString("RECIPIENT", names[(i + 2) % 5]);
            engine.PutString("PHONE", "+49 30 " + std::to_string(1000 + i));
            engine.PutNumber("PAGES", i % 12);
            engine.PutString("LASTRESULT", i % 2 ? "Fax sent successfully" : "");
            engine.PutMemo("RTFCOVER", "{\\rtf1\\ansi " + std::string(names[i % 5]) + " " +
                                           std::string(size_t(i * 7), 'c') + "}");
            if (i % 4)
                engine.PutMemo("RTFDOC", "{\\rtf1 document " + std::to_string(i) + "\\par\r\n" +
                                             std::string(size_t(200 + i), 'd') + "}");
            if (i % 5 == 4)
                engine.Delete();
        }
        ASSERT_EQ(
            engine.IndexTag("", "DATESENT", ".not. deleted()", 1, false, "DTOS(DATESENT)+TIMESENT"),
            0);
        ASSERT_EQ(engine.Close(), 0);

        MakeTable(engine, received, ReceivedFields());
        ASSERT_GT(engine.Use(received), 0);
        for (int i = 0; i < 40; ++i) {
            engine.AppendBlank();
            engine.PutDate("DATEREC", "2025010" + std::to_string(1 + i % 9));
            engine.PutString("TIMEREC", i % 2 ? "08:15" : "17:45");
            engine.PutString("FROM", std::string("+33 ") + names[i % 5]);
            engine.PutNumber("PAGES", i % 5 + 1);
            char file[16];
            std::snprintf(file, sizeof file, "FAX%04d.APF", i + 1);
            engine.PutString("FAXFILE", file);
            engine.PutString("NOTES", i % 3 ? "" : "Rückruf nötig");
            if (i % 7 == 3)
                engine.Delete();
        }
        ASSERT_EQ(
            engine.IndexTag("", "DATETIME", ".not. deleted()", 1, false, "DTOS(DATEREC)+TIMEREC"),
            0);
        ASSERT_EQ(engine.Close(), 0);

        MakeTable(engine, cover, CoverFields());
        ASSERT_GT(engine.Use(cover), 0);
        for (int i = 0; i < 6; ++i) {
            engine.AppendBlank();
            engine.PutString("DESCRIPT", std::string(names[(i * 3) % 5]) + " cover");
            engine.PutMemo("COVER", "{\\rtf1 " + std::string(size_t(100 * i + 10), 'v') + "}");
            if (i == 2)
                engine.Delete();
        }
        ASSERT_EQ(engine.IndexTag("", "DESCRIPT", ".not. deleted()", 0, false, "DESCRIPT"), 0);
        ASSERT_EQ(engine.Close(), 0);

        MakeTable(engine, phone, PhoneFields());
        ASSERT_GT(engine.Use(phone), 0);
        for (int i = 0; i < 3000; ++i) { // enough for interior nodes
            engine.AppendBlank();
            engine.PutString("NAME", std::string(names[random() % 5]) + " " +
                                         std::to_string(random() % 1000));
            engine.PutString("PHONE", std::to_string(random()));
            if (i % 11 == 0)
                engine.Delete();
        }
        ASSERT_EQ(engine.IndexTag("", "NAME", ".not. deleted()", 0, false, "NAME"), 0);
        ASSERT_EQ(engine.Close(), 0);
    }

    qptest::ScratchDir dir{"peers"};
    std::string sent = dir.file("QPX.DBF"), received = dir.file("QPXREC.DBF"),
                cover = dir.file("QPXCOV.DBF"), phone = dir.file("QPXPB.DBF");
    TableEngine engine;
};

TEST_F(PeerCompatibilityTest, BothPeersReadTheFourTablesWeWrite) {
    ASSERT_NO_FATAL_FAILURE(MakeStore());
    for (const auto& table : {sent, received, cover, phone}) {
        SCOPED_TRACE(table);
        json python = RunJson("/usr/bin/python3 " + Peer("read_dbf.py") + " '" + table + "'");
        json perl = RunJson("perl " + Peer("read_xbase.pl") + " '" + table + "'");
        ASSERT_GT(engine.Use(table), 0) << engine.LastErrorText();
        ExpectSameRecords(engine, python, true, "python3-dbf");
        ExpectSameRecords(engine, perl, false, "Perl XBase");
        ASSERT_EQ(engine.Close(), 0);
    }
}

TEST_F(PeerCompatibilityTest, PerlWalksEveryTagInOurOrder) {
    ASSERT_NO_FATAL_FAILURE(MakeStore());
    struct Tag {
        std::string table, tag;
        char type;
    };
    std::vector<Tag> tags = {{sent, "DATESENT", 'C'},
                             {received, "DATETIME", 'C'},
                             {cover, "DESCRIPT", 'C'},
                             {phone, "NAME", 'C'}};
    for (const auto& t : tags) {
        ASSERT_GT(engine.Use(t.table), 0);
        ASSERT_EQ(engine.SetOrder(t.tag), 0);
        std::vector<long> ours = StoredOrder(engine);
        std::string cdx = t.table.substr(0, t.table.size() - 3) + "CDX";
        EXPECT_EQ(PerlWalk(cdx, t.tag, t.type), ours) << t.tag;
        EXPECT_FALSE(ours.empty());
        ASSERT_EQ(engine.Close(), 0);
    }

    // The sent table's tag as rebuilt: keyed on the date field alone (a numeric key).
    ASSERT_GT(engine.Use(sent), 0);
    ASSERT_EQ(engine.IndexTag("", "DATESENT", ".not. deleted()", 1, false, "datesent"), 0);
    std::vector<long> ours = StoredOrder(engine);
    ASSERT_EQ(engine.Close(), 0);
    EXPECT_EQ(PerlWalk(dir.file("QPX.CDX"), "DATESENT", 'N'), ours);
}

TEST_F(PeerCompatibilityTest, TablesWrittenByPythonOpenWithTheSameValues) {
    std::string table = dir.file("people.dbf");
    std::string output;
    ASSERT_EQ(qptest::RunCommand(
                  "/usr/bin/python3 " + Peer("make_dbf.py") + " '" + table + "' 2>&1", &output),
              0)
        << output;
    json python = RunJson("/usr/bin/python3 " + Peer("read_dbf.py") + " '" + table + "'");
    ASSERT_GT(engine.Use(table), 0) << engine.LastErrorText();
    ExpectSameRecords(engine, python, true, "python3-dbf");
    ASSERT_EQ(engine.Go(1), 0);
    EXPECT_EQ(engine.GetString("NAME"), "J\xC3\xBCrgen M\xC3\xBCller");
    EXPECT_EQ(engine.GetMemo("NOTES").size(), 30u * 12);

    // Our index on their table, walked by Perl; our changes read back by python3-dbf.
    ASSERT_EQ(engine.IndexTag("", "NAME", ".not. deleted()", 0, false, "NAME"), 0);
    EXPECT_EQ(Walk(engine), (std::vector<long>{1, 4, 2, 5}));
    ASSERT_EQ(engine.Go(2), 0);
    ASSERT_EQ(engine.PutMemo("NOTES", "rewritten " + std::string(500, 'r')), 0);
    ASSERT_EQ(engine.AppendBlank(), 0);
    ASSERT_EQ(engine.PutString("NAME", "Added"), 0);
    ASSERT_EQ(engine.SetOrder(1), 0);
    std::vector<long> ours = StoredOrder(engine);
    ASSERT_EQ(engine.Close(), 0);
    EXPECT_EQ(PerlWalk(dir.file("people.cdx"), "NAME", 'C'), ours);
    json after = RunJson("/usr/bin/python3 " + Peer("read_dbf.py") + " '" + table + "'");
    ASSERT_EQ(after.size(), 6u);
    EXPECT_EQ(after[1]["fields"]["NOTES"], "rewritten " + std::string(500, 'r'));
    EXPECT_EQ(after[5]["fields"]["NAME"], "Added");
    std::vector<std::string> problems;
    ASSERT_GT(engine.Use(table), 0);
    EXPECT_EQ(engine.Check(problems), 0) << (problems.empty() ? "" : problems.front());
}

} // namespace
