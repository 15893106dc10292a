#pragma once

// Result codes of the table engine. Every call returns 0 (or a value) on success and one
// of these negative codes on failure; TableEngine::LastErrorText() then holds a message
// that names the file concerned.
namespace qp::tables {

enum TableError : int {
    tbeOk = 0,
    tbeNotOpen = -9001,       // no table in the current work area
    tbeOpenFailed = -9002,    // file missing, unreadable or already in use
    tbeCorrupt = -9003,       // table, memo or index file damaged
    tbeIo = -9004,            // a read or write failed (disk full, file removed)
    tbeBadArgument = -9005,   // unknown field, bad width, bad record length, ...
    tbeBadExpression = -9006, // key or condition the evaluator does not understand
    tbeNoRecord = -9007,      // no current record (beginning or end of table)
    tbeNoTag = -9008,         // tag name or number unknown
    tbeEmptyMemo = -9009,     // memo to copy is empty
    tbeExists = -9010,        // file to create exists already / tag exists
    tbeReadOnly = -9011,      // the table is open for reading only
};

} // namespace qp::tables
