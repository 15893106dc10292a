#pragma once

#include <functional>
#include <string>
#include <vector>

class TTableEnv;

namespace qp::tables {
class TableEngine;
}

// One table reached through the table engine, together with the dataset behaviour the
// windows rely on: a current record (the bookmark), browse / edit / insert states with a
// field buffer that Post writes, delete with the deleted mark, and change notification
// for the grids.
//
// Every operation makes the table's work area current and restores the previous one
// afterwards; operations on the current record move the engine to it first. Engine
// failures raise ETableError with the engine's message.
//
// Record numbers are the engine's physical record numbers. Without a current record the
// current record number is RecCount() + 1.
class TTableAdapter final {
public:
    enum class State { Inactive, Browse, Edit, Insert };

    explicit TTableAdapter(TTableEnv& env);
    ~TTableAdapter();
    TTableAdapter(const TTableAdapter&) = delete;
    TTableAdapter& operator=(const TTableAdapter&) = delete;

    // ---- Location -------------------------------------------------------------------
    void SetDatabaseName(const std::string& folder); // ends with "/"
    void SetTableName(const std::string& fileName);
    const std::string& TableName() const { return tableName_; }
    std::string TablePath() const;

    // ---- Creating a table -----------------------------------------------------------
    // Starts a new table at `path` with driver 2; false when the engine refuses.
    bool CreateNew(const std::string& path, int fieldCount);
    void CreateField(const std::string& name, const std::string& type, int width, int decimals);
    // Writes the table file; true when the engine reports success.
    bool CreateExec();

    // ---- Opening and closing --------------------------------------------------------
    // Opens the table for exclusive use with its production index, applies the filter
    // and goes to the first record.
    void Open();
    // Opens like Open, but an index file that cannot be read does not fail: its tags are
    // rebuilt from the table, or the file is removed when not even they can be read.
    void OpenRepairingIndex();
    // What the engine repaired while opening (an index rebuilt, a cut record left out);
    // empty when nothing.
    const std::string& OpenNotes() const { return openNotes_; }
    // Adds a sentence to OpenNotes (the store words the repairs it makes after opening).
    void AddOpenNote(const std::string& note);
    void Close();
    bool Active() const { return area_ != 0; }
    State GetState() const { return state_; }

    // ---- Indexes ----------------------------------------------------------------------
    // Creates the tag in the production index; it becomes the active order.
    void IndexTag(const std::string& tag, const std::string& condition, int option, bool unique,
                  const std::string& key);
    int TagArea(const std::string& tag);
    // Makes tag number `tag` the active order (0: natural order) and keeps the position.
    void SetOrder(int tag);
    int IndexOrd();
    void CloseIndexes();

    // ---- Filter -------------------------------------------------------------------------
    // Keeps `condition` and applies it now (when open) and whenever the table is opened.
    void SetFilter(const std::string& condition);
    const std::string& Filter() const { return filter_; }

    // ---- Counting and positioning ----------------------------------------------------
    long QueryRecCount();
    long RecCount();
    // True when the table has a current record.
    bool HasCurrentRecord() const { return current_ != 0; }
    // The current record number, or RecCount() + 1 without a current record.
    long RecNo();
    // Makes `recno` the current record. Raises ETableError when it does not exist or is
    // hidden by the deleted setting.
    void Go(long recno);
    void First();
    void Last();
    // Moves by `count` visible records; false when it ran off the end (position kept).
    bool MoveBy(long count);

    // ---- Rows in the active order (for grids) ---------------------------------------
    // Number of visible rows, and the record number of the 0-based row (0 when none).
    long RowCount();
    long RecordOfRow(long row);
    // Row of the current record in the active order, -1 without one.
    long CurrentRow();
    // Makes `recno` the current record without notifying observers (the grid moved).
    void SelectRecord(long recno);

    // ---- Fields of the current record -------------------------------------------------
    struct FieldDef {
        std::string name;
        char type = 'C';
        int width = 0;
        int decimals = 0;
    };
    std::vector<FieldDef> Fields();
    // Values of record `recno` without moving the current record: character and numeric
    // fields as stored without trailing blanks, dates as "YYYYMMDD" (blank when empty),
    // logicals as "T" or "F".
    std::vector<std::string> ReadValues(long recno, const std::vector<std::string>& fields);
    std::string FieldString(const std::string& field);
    bool FieldLogical(const std::string& field);
    std::string FieldDate(const std::string& field);

    // ---- Editing ---------------------------------------------------------------------
    void Edit();
    void Append();
    // Field values kept until Post (dates as "YYYYMMDD" or empty).
    void SetFieldString(const std::string& field, const std::string& value);
    void SetFieldLogical(const std::string& field, bool value);
    void SetFieldDate(const std::string& field, const std::string& yyyymmdd);
    void SetFieldNumber(const std::string& field, double value);
    // Writes the field buffer: a new record for Insert, the current one for Edit.
    void Post();
    void Cancel();
    // Sets the deleted mark on the current record; the next visible record becomes
    // current (the previous one at the end).
    void Delete();
    // Re-reads the table: keeps the current record when it is still visible.
    void Refresh();

    // ---- Memos -----------------------------------------------------------------------
    // Copies the memo of the current record into `fileName`; false when the memo is
    // empty or cannot be copied.
    bool BlobToFile(const std::string& field, const std::string& fileName);
    // Replaces the memo of the current record with the file's contents. During Edit or
    // Insert the record is posted first, the memo replaced on it, the table refreshed
    // and the record put back into Edit.
    void Replace(const std::string& field, const std::string& fileName);

    // ---- Maintenance -------------------------------------------------------------------
    // Removes every record with the deleted mark; goes to the first record.
    void Pack();

    // ---- Observers ---------------------------------------------------------------------
    // Called after the table's rows or the current record changed (not while disabled).
    using Observer = std::function<void()>;
    int AddObserver(Observer observer);
    void RemoveObserver(int id);
    // Suspends notifications; the matching EnableControls sends one if anything changed.
    void DisableControls();
    void EnableControls();

private:
    class AreaScope;
    struct PendingWrite;

    qp::tables::TableEngine& Engine();
    void OpenArea(bool repairIndex);
    void RequireActive() const;
    void RequireCurrent() const;
    void Check(int result);
    void PositionOnCurrent();
    void TakeEnginePosition();
    void Notify();

    TTableEnv& env_;
    std::string folder_;
    std::string tableName_;
    std::string filter_;
    std::string openNotes_;
    int area_ = 0;
    long current_ = 0;
    State state_ = State::Inactive;
    std::vector<PendingWrite> pending_;
    std::vector<std::pair<int, Observer>> observers_;
    int nextObserverId_ = 1;
    int disableCount_ = 0;
    bool changedWhileDisabled_ = false;
};
