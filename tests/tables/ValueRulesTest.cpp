// Values are stored only when the independent readers can read them back: real calendar
// dates, numbers that fit their field, and text in the table's own code page.

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

#include "TableFixtures.h"
#include "TestPaths.h"
#include "tables/TableEngine.h"

using namespace qp::tables;
using namespace tabletest;

namespace {

class ValueRulesTest : public ::testing::Test {
protected:
    void SetUp() override {
        path = dir.file("QPX.DBF");
        MakeTable(engine, path, SentFields());
        ASSERT_GT(engine.Use(path), 0);
        ASSERT_EQ(engine.AppendBlank(), 0);
        ASSERT_EQ(engine.PutDate("DATESENT", "20240115"), 0);
        ASSERT_EQ(engine.PutNumber("PAGES", 7), 0);
    }

    qptest::ScratchDir dir{"values"};
    std::string path;
    TableEngine engine;
};

TEST_F(ValueRulesTest, OnlyRealDatesAreStored) {
    for (const char* bad : {"20230231", "00000101", "20231301", "20230100", "20230000", "19000229",
                            "20230431", "2023013", "2023-1-1", "abcdefgh"}) {
        EXPECT_EQ(engine.PutDate("DATESENT", bad), tbeBadArgument) << bad;
        EXPECT_NE(engine.LastErrorText().find(bad), std::string::npos) << engine.LastErrorText();
        EXPECT_EQ(engine.GetDateString("DATESENT"), "20240115") << bad << " was stored";
        EXPECT_EQ(engine.PutString("DATESENT", bad), tbeBadArgument) << bad;
    }
    for (const char* good : {"20240229", "20000229", "00010101", "99991231", "19991231"}) {
        EXPECT_EQ(engine.PutDate("DATESENT", good), 0) << good << ": " << engine.LastErrorText();
        EXPECT_EQ(engine.GetDateString("DATESENT"), good);
    }
    EXPECT_EQ(engine.PutDate("DATESENT", ""), 0);
    EXPECT_EQ(engine.GetDateString("DATESENT"), "        ");
    ASSERT_EQ(engine.PutDate("DATESENT", "20240229"), 0);
    ASSERT_EQ(engine.Close(), 0);
    std::string dump = PythonDump(path);
    EXPECT_NE(dump.find("|DATESENT=20240229|"), std::string::npos) << dump;
}

TEST_F(ValueRulesTest, NumbersThatDoNotFitAreRefused) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double infinity = std::numeric_limits<double>::infinity();
    for (double bad : {100.0, 123456.0, -10.0, nan, infinity, -infinity}) {
        EXPECT_EQ(engine.PutNumber("PAGES", bad), tbeBadArgument) << bad;
        EXPECT_NE(engine.LastErrorText().find("PAGES"), std::string::npos)
            << engine.LastErrorText();
        EXPECT_EQ(engine.GetString("PAGES"), "7") << bad << " was stored";
    }
    EXPECT_EQ(engine.PutString("PAGES", "100"), tbeBadArgument);
    EXPECT_EQ(engine.GetString("PAGES"), "7");
    for (double good : {99.0, -9.0, 0.0, 42.4}) {
        EXPECT_EQ(engine.PutNumber("PAGES", good), 0) << good << ": " << engine.LastErrorText();
        EXPECT_EQ(engine.GetNumber("PAGES"), std::round(good));
    }
    ASSERT_EQ(engine.PutNumber("PAGES", 99), 0);
    ASSERT_EQ(engine.Close(), 0);
    std::string dump = PythonDump(path);
    EXPECT_NE(dump.find("|PAGES=99.0|"), std::string::npos) << dump;
}

// Tables python3-dbf writes in another code page read and write in that code page.
TEST(CodePageMarkTest, TextUsesTheTablesOwnCodePage) {
    qptest::ScratchDir dir("codepage");
    struct Case {
        const char* codepage;
        const char* text;    // every character exists in the code page
        const char* written; // what we write back
    } cases[] = {
        {"cp437", "M\xC3\xBCller \xC2\xBD \xE2\x96\x91\xE2\x95\x94",
         "Gr\xC3\xB6\xC3\x9F"
         "e \xE2\x96\x92"},
        {"cp850", "\xC3\x85ngstr\xC3\xB6m \xC3\x98re", "\xC3\xA9t\xC3\xA9 \xC3\xBE"},
        {"cp1251", "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82", "\xD0\xB4\xD0\xB0"},
        {"cp1252",
         "\xE2\x82\xAC"
         "uro Zo\xC3\xAB",
         "\xC5\x93uvre"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.codepage);
        std::string path = dir.file(std::string(c.codepage) + ".dbf");
        std::string script =
            (qptest::SourceDir() / "tests/tables/peers/make_codepage_dbf.py").string();
        ASSERT_EQ(qptest::RunCommand("/usr/bin/python3 " + script + " '" + path + "' " +
                                     c.codepage + " '" + c.text + "'"),
                  0);
        TableEngine engine;
        ASSERT_GT(engine.Use(path), 0) << engine.LastErrorText();
        ASSERT_EQ(engine.Go(1), 0);
        EXPECT_EQ(engine.GetString("NAME"), c.text);
        EXPECT_EQ(engine.GetMemo("NOTES"), c.text);
        ASSERT_EQ(engine.AppendBlank(), 0);
        ASSERT_EQ(engine.PutString("NAME", c.written), 0);
        ASSERT_EQ(engine.PutMemo("NOTES", c.written), 0);
        ASSERT_EQ(engine.Close(), 0);
        std::string dump = PythonDump(path);
        EXPECT_NE(dump.find(std::string("|NAME=") + c.text + "|"), std::string::npos) << dump;
        EXPECT_NE(dump.find(std::string("|NAME=") + c.written + "|NOTES=" + c.written + "\n"),
                  std::string::npos)
            << dump;
    }
}

} // namespace
