#include "TableFixtures.h"

#include <csignal>
#include <fstream>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

#include "TestPaths.h"

namespace tabletest {

const std::vector<FieldDef>& SentFields() {
    static const std::vector<FieldDef> fields = {
        {"SUBJECT", "C", 50, 0}, {"SENT", "L", 1, 0},         {"DATESENT", "D", 8, 0},
        {"TIMESENT", "C", 5, 0}, {"RECIPIENT", "C", 35, 0},   {"PHONE", "C", 25, 0},
        {"PAGES", "N", 2, 0},    {"LASTRESULT", "C", 100, 0}, {"RTFCOVER", "M", 10, 0},
        {"RTFDOC", "M", 10, 0}};
    return fields;
}

const std::vector<FieldDef>& ReceivedFields() {
    static const std::vector<FieldDef> fields = {{"DATEREC", "D", 8, 0},  {"TIMEREC", "C", 5, 0},
                                                 {"FROM", "C", 20, 0},    {"PAGES", "N", 2, 0},
                                                 {"FAXFILE", "C", 12, 0}, {"NOTES", "C", 60, 0}};
    return fields;
}

const std::vector<FieldDef>& CoverFields() {
    static const std::vector<FieldDef> fields = {{"DESCRIPT", "C", 35, 0}, {"COVER", "M", 10, 0}};
    return fields;
}

const std::vector<FieldDef>& PhoneFields() {
    static const std::vector<FieldDef> fields = {{"NAME", "C", 35, 0}, {"PHONE", "C", 25, 0}};
    return fields;
}

void MakeTable(qp::tables::TableEngine& engine, const std::string& path,
               const std::vector<FieldDef>& fields) {
    ASSERT_NE(engine.CreateNew(path, "XXXXXXXXXX", 2, int(fields.size())), 0)
        << engine.LastErrorText();
    for (const auto& f : fields)
        ASSERT_EQ(engine.CreateField(f.name, f.type, f.width, f.decimals), 0)
            << engine.LastErrorText();
    ASSERT_NE(engine.CreateExec(), 0) << engine.LastErrorText();
}

int OpenAndFillSent(qp::tables::TableEngine& engine, const std::string& path,
                    const std::vector<std::vector<std::string>>& rows) {
    int area = engine.Use(path);
    EXPECT_GT(area, 0) << engine.LastErrorText();
    for (const auto& row : rows) {
        EXPECT_EQ(engine.AppendBlank(), 0) << engine.LastErrorText();
        EXPECT_EQ(engine.PutString("SUBJECT", row[0]), 0) << engine.LastErrorText();
        EXPECT_EQ(engine.PutDate("DATESENT", row[1]), 0) << engine.LastErrorText();
        EXPECT_EQ(engine.PutString("TIMESENT", row[2]), 0) << engine.LastErrorText();
    }
    return area;
}

std::vector<long> Walk(qp::tables::TableEngine& engine) {
    std::vector<long> order;
    for (engine.GoTop(); !engine.Eof(); engine.Skip(1)) {
        order.push_back(engine.RecNo());
        if (order.size() > 100000)
            break;
    }
    return order;
}

std::vector<long> WalkBackwards(qp::tables::TableEngine& engine) {
    std::vector<long> order;
    engine.GoBottom();
    while (!engine.Eof() && !engine.Bof()) {
        order.push_back(engine.RecNo());
        engine.Skip(-1);
        if (order.size() > 100000)
            break;
    }
    return order;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream data;
    data << in.rdbuf();
    return data.str();
}

void WriteFile(const std::string& path, const std::string& data) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(data.data(), std::streamsize(data.size()));
}

ChildEnd RunKilledAtCall(int n, const std::function<bool()>& work,
                         const std::function<bool(qp::tables::FileOps::Call)>& only) {
    pid_t child = fork();
    if (child < 0) {
        ADD_FAILURE() << "fork failed";
        return ChildEnd::kFailed;
    }
    if (child == 0) {
        auto seen = std::make_shared<int>(0);
        qp::tables::FileOps::SetHook(
            [n, seen, only](qp::tables::FileOps::Call call, const std::string&) {
                if ((!only || only(call)) && ++*seen == n)
                    raise(SIGKILL);
                return 0;
            });
        _exit(work() ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    if (WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL)
        return ChildEnd::kKilled;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? ChildEnd::kFinished : ChildEnd::kFailed;
}

FailingCall::FailingCall(int n, int error,
                         std::function<bool(qp::tables::FileOps::Call, const std::string&)> matches)
    : happened_(std::make_shared<bool>(false)) {
    auto seen = std::make_shared<int>(0);
    auto happened = happened_;
    qp::tables::FileOps::SetHook([n, error, seen, happened, matches](qp::tables::FileOps::Call call,
                                                                     const std::string& path) {
        if (matches(call, path) && ++*seen == n) {
            *happened = true;
            return error;
        }
        return 0;
    });
}

FailingCall::~FailingCall() {
    qp::tables::FileOps::SetHook({});
}

std::string PythonDump(const std::string& table) {
    std::string script = (qptest::SourceDir() / "tests/tables/peers/read_dbf.py").string();
    std::string output;
    if (qptest::RunCommand("/usr/bin/python3 " + script + " '" + table + "' 2>&1", &output) != 0)
        return {};
    std::string lines;
    try {
        for (const auto& row : nlohmann::ordered_json::parse(output)) {
            lines += std::to_string(row["recno"].get<int>()) + "|" +
                     (row["deleted"].get<bool>() ? "*" : " ");
            for (const auto& [name, value] : row["fields"].items())
                lines += "|" + name + "=" +
                         (value.is_string() ? value.get<std::string>()
                          : value.is_null() ? ""
                                            : value.dump());
            lines += "\n";
        }
    } catch (const nlohmann::json::exception&) {
        return {};
    }
    return lines;
}

} // namespace tabletest
