#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "tables/TableErrors.h"

namespace qp::tables {

class WorkArea;

// One field of a table as its descriptor gives it.
struct FieldInfo {
    std::string name; // upper case, at most 10 characters
    char type = 'C';  // 'C', 'L', 'D', 'N' or 'M'
    int width = 0;
    int decimals = 0;
    int offset = 0; // offset within the record; the deleted mark is byte 0
};

// One tag of a table's production index.
struct TagInfo {
    std::string name;        // upper case
    std::string keyExpr;     // key expression as given
    std::string forExpr;     // condition as given, empty when none
    bool descending = false; // traversal order (keys are stored ascending)
    bool unique = false;     // only the first record of each key is listed
    int keyLength = 0;       // bytes per key
    char keyType = 'C';      // 'C' character, 'N' numeric/date (8-byte), 'L' logical
};

// The table engine: FoxPro 2.x tables (.DBF), memo files (.FPT) and compound production
// indexes (.CDX), reached through numbered work areas in the manner of the xBase
// languages. Every call works on the current work area (see Select).
//
// Texts cross this interface in UTF-8; character fields and memos are stored in the
// table's code page (Windows-1252). Field arguments are 1-based field numbers or field
// names (any case). Record numbers are 1-based physical numbers.
//
// Results: calls returning int give 0 (or a non-negative value) on success and a
// negative TableError on failure, unless their comment says otherwise; LastError() and
// LastErrorText() describe the last failure (the text names the file).
//
// The engine is not thread-safe: use one TableEngine per thread.
class TableEngine {
public:
    TableEngine();
    ~TableEngine();
    TableEngine(const TableEngine&) = delete;
    TableEngine& operator=(const TableEngine&) = delete;

    // ---- Environment --------------------------------------------------------------
    // 0: strings come back padded to the field width; 1 (default): trailing blanks
    // removed. Returns the previous setting.
    int SetStringType(int type);
    // Accepted for compatibility; failures are always reported as result codes.
    // Returns the previous level.
    int ErrorLevel(int level);
    // Engine version text, never empty.
    std::string Version() const;
    // System property call; no property has an effect. Returns 0.
    int SysProp(int property, int value);
    // true: navigation (go top/bottom, skip, queries, key positions) skips records with
    // the deleted mark. Returns the previous setting. Default false.
    bool SetDeleted(bool on);
    bool DeletedSetting() const;
    // Closes every work area (writing pending index changes). Returns 0.
    int CloseAll();
    int LastError() const;
    const std::string& LastErrorText() const;

    // ---- Creating a table ---------------------------------------------------------
    // Starts the definition of a new table at `path` (".DBF" file). `alias` is ignored,
    // `driver` must be 2 (FoxPro-compatible), `fieldCount` is the number of fields that
    // follow. Non-zero when started; 0 on failure.
    int CreateNew(const std::string& path, const std::string& alias, int driver, int fieldCount);
    // Appends a field: type letter C (width 1-254), L (1), D (8), N (1-20, decimals),
    // M (10). 0 or a negative code.
    int CreateField(const std::string& name, const std::string& type, int width, int decimals);
    // Writes the empty table (and its memo file when it has memo fields). Non-zero when
    // the file was written; 0 on failure. An existing file is replaced, unless a program
    // has it open (tbeOpenFailed, "in use by another program").
    int CreateExec();

    // ---- Work areas ---------------------------------------------------------------
    // Opens a table for exclusive use in a new work area, together with its production
    // index (same base name, ".CDX") when present, and makes it the current area. A table
    // whose files may not be written opens for reading only. An index left behind its
    // table (by a program that was not closed properly) is rebuilt, and a last record cut
    // short is left out; LastErrorText() then says so while LastError() stays 0.
    // Returns the work area number (> 0), or 0 on failure. `alias` and `mode` are kept
    // for reference only; `driver` must be 2.
    int Use(const std::string& path, const std::string& alias = "", int mode = 0, int driver = 2);
    // Opens like Use, but a damaged production index does not fail the open: every tag
    // whose definition can still be read is rebuilt from the table and the index file
    // rewritten; when none can be read the damaged file is removed. Returns the work area
    // number (LastErrorText() then says what was repaired), or 0 on failure.
    int UseAndReindex(const std::string& path);
    // Closes the table of the current area (writing pending index changes). 0 or code.
    int Close();
    // Makes `area` current; returns the previous current area (0 when none).
    int Select(int area);
    // Current work area number, 0 when none.
    int CurrentArea() const;
    // true when the current area holds an open table.
    bool Used() const;
    // Path of the current area's table file.
    std::string TablePath() const;

    // ---- Records and navigation ---------------------------------------------------
    // Physical records in the table, deleted ones included.
    long RecCount();
    // Current record number; RecCount()+1 at end of table, 0 without a table.
    long RecNo();
    // Positions on record `recno` (1..RecCount) regardless of order and filters.
    // 0 or a negative code (tbeNoRecord for a number out of range; position unchanged).
    int Go(long recno);
    // First / last record in the active order that passes the filters (deleted setting,
    // tag condition, query). An empty view leaves the area at end of table (Eof()).
    int GoTop();
    int GoBottom();
    // Moves `count` visible records forward (negative: backward) in the active order.
    // Running off either end sets Bof() or Eof(); at the end the position is
    // RecCount()+1, at the beginning the first visible record.
    int Skip(long count = 1);
    bool Bof();
    bool Eof();
    // true when the current record has the deleted mark.
    bool Deleted();

    // Appends an empty record (blank fields, no memos), makes it current and adds it to
    // every tag. 0 or a negative code.
    int AppendBlank();
    // The current record's raw bytes (deleted mark first, then the fields in the table's
    // code page). Empty without a current record.
    std::string GetRecord();
    // Replaces the current record's raw bytes (length must be the record length);
    // updates every tag. 0 or a negative code.
    int PutRecord(const std::string& record);
    // Sets the deleted mark of the current record / removes it; tags follow. 0 or code.
    int Delete();
    int Recall();
    // Flushes table, memo and index to disk. 0 or a negative code.
    int Commit();
    // Record locks: always granted for exclusive use (true), false without a record.
    bool Rlock();
    bool Unlock();

    // ---- Fields -------------------------------------------------------------------
    int FieldCount();
    // Descriptor of field `field` (1-based); an empty name when there is no such field.
    FieldInfo Field(int field);
    // 1-based number of the field named `name` (any case), 0 when none.
    int FieldNumber(const std::string& name);
    std::string FieldName(int field);
    // Type letter, '\0' when there is no such field.
    char FieldType(int field);
    int FieldWidth(int field);
    int FieldDecimals(int field);

    // Field values of the current record. Unknown fields or no current record give an
    // empty value and set LastError().
    std::string GetString(const std::string& field); // any type, as stored (UTF-8)
    std::string GetString(int field);
    bool GetLogical(const std::string& field);
    bool GetLogical(int field);
    // "YYYYMMDD", or 8 blanks for an empty date.
    std::string GetDateString(const std::string& field);
    std::string GetDateString(int field);
    double GetNumber(const std::string& field);
    double GetNumber(int field);
    // Memo contents (UTF-8), empty when the record has no memo.
    std::string GetMemo(const std::string& field);
    std::string GetMemo(int field);

    // Writes one field of the current record; tags follow. Character values are cut to
    // the field width. Dates must be real calendar dates and numbers must fit their field;
    // other values are refused (tbeBadArgument) and the field keeps its value. 0 or a
    // negative code (tbeReadOnly when the table is open for reading only).
    int PutString(const std::string& field, const std::string& value);
    int PutLogical(const std::string& field, bool value);
    // `yyyymmdd` of 8 digits, or empty/blank for an empty date.
    int PutDate(const std::string& field, const std::string& yyyymmdd);
    int PutNumber(const std::string& field, double value);
    // Replaces a memo with `text` (UTF-8); empty text clears it.
    int PutMemo(const std::string& field, const std::string& text);

    // Field names with values as PutString takes them.
    using FieldValues = std::vector<std::pair<std::string, std::string>>;
    // Checks that every value would be stored (known field, valid date, fitting number)
    // without writing anything. 0 or the code of the first problem.
    int CheckValues(const FieldValues& values);
    // Appends one record holding `values` (the other fields blank) and makes it current.
    // Every value is checked first: when one is refused, nothing is appended.
    int AppendValues(const FieldValues& values);
    // Writes `values` into the current record at once; nothing changes when one is refused.
    int PutValues(const FieldValues& values);
    // Removes the records after record `recno` from the end of the table, undoing appends
    // that could not be completed. 0 or a negative code.
    int DropRecordsAfter(long recno);

    // Replaces the memo `field` of the current record with the bytes of file `fileName`
    // (copied unchanged). `sizeHint` is the caller's buffer size and is not a limit.
    // 0 or a negative code.
    int Replace(const std::string& field, long sizeHint, const std::string& fileName);
    // Writes the memo `field` of the current record unchanged into file `fileName`.
    // Non-zero on success; 0 when the memo is empty or on failure (the file is then not
    // created).
    int BlobToFile(const std::string& field, const std::string& fileName);

    // ---- Indexes ------------------------------------------------------------------
    // Creates (or replaces) tag `tag` in the production index (`file` must be empty) with
    // key expression `key` and condition `forExpr` (empty: none). `option` 1 makes a
    // descending tag, 0 ascending. `unique` keeps only the first record of each key.
    // The tag is built from the table and becomes the active order. 0 or a negative
    // code (tbeBadExpression for an expression the evaluator does not understand).
    int IndexTag(const std::string& file, const std::string& tag, const std::string& forExpr,
                 int option, bool unique, const std::string& key);
    // Tag number (1-based, creation order) of `tag`, 0 when there is none.
    int TagArea(const std::string& tag);
    // Makes tag number `tag` the active order; 0 means physical order. 0 or code.
    int SetOrder(int tag);
    int SetOrder(const std::string& tag);
    // Number of the active tag, 0 for physical order.
    int IndexOrd();
    int TagCount();
    TagInfo Tag(int tag);
    // Writes pending changes, closes the production index and releases its file; the
    // area returns to physical order. 0 or a negative code.
    int CloseIndexes();
    // Rebuilds every tag from the table and rewrites the index file (a missing or
    // damaged index file is replaced). 0 or a negative code.
    int Reindex();

    // ---- Queries and positions ----------------------------------------------------
    // Restricts navigation to records for which `condition` is true (empty: no
    // restriction) and goes to the first of them. 0 or a negative code.
    int Query(const std::string& condition);
    // Number of records navigation can visit (deleted setting, tag condition, query).
    long QueryRecCount();
    // Position (1-based) of the current record among the visible records in the active
    // order; 0 when the record is not visible or at end of table. Fast when the filters
    // are implied by the active tag's condition (logarithmic), linear otherwise.
    long KeyNo();
    // Goes to the `position`-th visible record (1-based) in the active order. 0 or
    // tbeNoRecord when out of range (then at end of table).
    int GoKey(long position);

    // ---- Maintenance --------------------------------------------------------------
    // Removes every record with the deleted mark, rewrites the memo file compactly and
    // rebuilds every tag. 0 or a negative code.
    int Pack();
    // Checks that table, memo file and index agree; every problem found is appended to
    // `problems` as a sentence naming the file. 0 when consistent, tbeCorrupt otherwise.
    int Check(std::vector<std::string>& problems);

    // Direct access to the current area (nullptr when none), for components that keep
    // their own area pointer.
    WorkArea* CurrentWorkArea();

private:
    struct State;

    void PlaceValues(WorkArea& area, const FieldValues& values, std::string& record);

    std::unique_ptr<State> state_;
};

} // namespace qp::tables
