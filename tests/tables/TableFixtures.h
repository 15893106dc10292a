#pragma once

#include <string>
#include <vector>

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

} // namespace tabletest
