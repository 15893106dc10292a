#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tables/FileOps.h"
#include "tables/TableEngine.h"

// Tables the tests share: the four tables of the fax store, created through the engine's
// create calls exactly as the program creates them.
namespace tabletest {

struct FieldDef {
    const char* name;
    const char* type;
    int width;
    int decimals;
};

const std::vector<FieldDef>& SentFields();     // QPX.DBF
const std::vector<FieldDef>& ReceivedFields(); // QPXREC.DBF
const std::vector<FieldDef>& CoverFields();    // QPXCOV.DBF
const std::vector<FieldDef>& PhoneFields();    // QPXPB.DBF

// Creates a table; fails the current test when the engine refuses.
void MakeTable(qp::tables::TableEngine& engine, const std::string& path,
               const std::vector<FieldDef>& fields);

// Opens `path` and appends one sent-fax record per (subject, date, time), returning the
// work area. The table must exist.
int OpenAndFillSent(qp::tables::TableEngine& engine, const std::string& path,
                    const std::vector<std::vector<std::string>>& rows);

// Record numbers in the active order, walking from the top.
std::vector<long> Walk(qp::tables::TableEngine& engine);
// The same walking from the bottom backwards (returned in backward order).
std::vector<long> WalkBackwards(qp::tables::TableEngine& engine);

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& data);

// How a child process running table work ended.
enum class ChildEnd { kFinished, kKilled, kFailed };

// Runs `work` in a child process that is killed (SIGKILL) right before its `n`-th file
// call (1-based, counting every call FileOps sees, or only calls of `only` when given).
// `work` returns true on success. kFinished when the work ended before the n-th call.
ChildEnd RunKilledAtCall(int n, const std::function<bool()>& work,
                         const std::function<bool(qp::tables::FileOps::Call)>& only = {});

// Makes the `n`-th file call matching `matches` fail with `error` (once), in this process,
// for the lifetime of the object.
class FailingCall {
public:
    FailingCall(int n, int error,
                std::function<bool(qp::tables::FileOps::Call, const std::string&)> matches);
    ~FailingCall();
    FailingCall(const FailingCall&) = delete;
    FailingCall& operator=(const FailingCall&) = delete;
    bool Happened() const { return *happened_; }

private:
    std::shared_ptr<bool> happened_;
};

// Records of a table as python3-dbf reads them (tests/tables/peers/read_dbf.py): one
// line per record "recno|deleted|FIELD=value|..." with memos in full; empty on failure.
std::string PythonDump(const std::string& table);

} // namespace tabletest
