#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tables/CdxFile.h"
#include "tables/CdxReader.h"
#include "tables/CodePage.h"
#include "tables/Expression.h"
#include "tables/KeyList.h"
#include "tables/TableEngine.h"

namespace qp::tables {

class DbfFile;
class MemoFile;

// One open table with its memo file and production index: the records, the tags kept
// current in memory as records change, the active order, the query and the position.
// Failures throw TableFault; TableEngine turns them into result codes.
//
// The tags' keys stay in the .CDX file and are changed there (see CdxFile); a record's
// keys follow its changes when the tags are next consulted, so a record filled in field
// by field moves in each tag once. The changes reach the file on Commit, Close and Pack;
// new tags and Reindex write a new file. Before the table takes its first change the
// index does not have yet, the index file is marked stale; writing the index clears the
// mark. A process killed in between leaves the mark, and the next open rebuilds the
// index from the table.
//
// A table whose files may not be written opens for reading only: every change is then
// refused (tbeReadOnly) before anything is written.
class WorkArea {
public:
    // Settings shared by every work area of an engine.
    struct Environment {
        bool deleted = false; // navigation skips records with the deleted mark
    };

    enum class IndexMode {
        kStrict, // a damaged index file fails the open
        kRepair  // a damaged index file is rebuilt from the table (tags it still names)
    };

    WorkArea(const std::string& path, const Environment& env, IndexMode mode = IndexMode::kStrict);
    ~WorkArea();
    WorkArea(const WorkArea&) = delete;
    WorkArea& operator=(const WorkArea&) = delete;

    // The companion file of a table (extension ".FPT" or ".CDX") in the case of the
    // table's own extension; an existing file in the other case is preferred.
    static std::string CompanionPath(const std::string& tablePath, const std::string& ext);

    const std::string& Path() const { return path_; }
    std::string MemoPath() const;
    std::string IndexPath() const;
    const DbfFile& Table() const { return *dbf_; }
    const MemoFile* Memos() const { return memo_.get(); }
    // Number of keys tag `tag` holds.
    long TagKeyCount(int tag);
    // Messages about repairs made while opening.
    const std::vector<std::string>& Notes() const { return notes_; }
    bool Writable() const { return writable_; }
    // The code page of the table's text.
    const CodePage& Text() const { return *text_; }

    // ---- Records and navigation
    long RecCount() const;
    long RecNo() const { return recno_; }
    void Go(long recno);
    void GoTop();
    void GoBottom();
    void Skip(long count);
    bool Bof() const { return bof_; }
    bool Eof() const { return eof_; }
    bool HasRecord() const;
    bool Deleted() const;

    void AppendBlank();
    // Appends `record` (raw bytes, RecordLength long) and makes it current.
    void AppendRecord(const std::string& record);
    // Removes the records after `recno` from the end of the table (undoing appends).
    void DropRecordsAfter(long recno);
    // Raw bytes of the current record; throws tbeNoRecord at end of table.
    const std::string& Record();
    void PutRecord(const std::string& record);
    void SetDeleted(bool deleted);
    void Commit();

    // ---- Fields (1-based numbers)
    const std::vector<FieldInfo>& Fields() const;
    int FieldNumber(const std::string& name) const;
    const FieldInfo& Field(int field) const;
    // Raw field bytes of the current record (code page, padded).
    std::string FieldBytes(int field);
    void PutFieldBytes(int field, const std::string& bytes);
    // Raw memo bytes of the current record.
    std::string Memo(int field);
    void PutMemo(int field, const std::string& bytes);
    // Writes `bytes` as the new memo of `field` and points the field in `record` (raw
    // record bytes, not yet stored) at it.
    void StoreMemo(int field, const std::string& bytes, std::string& record);

    // ---- Index tags
    void IndexTag(const std::string& name, const std::string& forExpr, bool descending, bool unique,
                  const std::string& key);
    int TagCount() const { return int(tags_.size()); }
    TagInfo Tag(int tag) const;
    int TagArea(const std::string& name) const;
    void SetOrder(int tag);
    int IndexOrd() const { return activeTag_; }
    void CloseIndexes();
    void Reindex();

    // ---- Queries and positions
    void Query(const std::string& condition);
    long QueryRecCount();
    long KeyNo();
    void GoKey(long position);

    // ---- Maintenance
    void Pack();
    // Appends the problems found to `problems`; returns true when there were none.
    bool Check(std::vector<std::string>& problems);

private:
    struct IndexTagState {
        CdxTagHeader header;
        std::unique_ptr<Expression> key;
        std::unique_ptr<Expression> condition;
        char pad = ' ';
        TagTree* tree = nullptr; // the keys, in the open index file
    };
    // A record changed since its keys were last put into the tags.
    struct PendingKeys {
        uint32_t recno;
        bool appended;      // not in the tags at all yet
        std::string before; // else: the record as the tags know it
    };
    struct Anchor {
        long pos;   // position in the active order
        bool exact; // the current record itself is at `pos`
    };

    void RecoverInterruptedPack();
    std::string JournalPath() const;
    void OpenFiles();
    // Before every change: refuses it on a read-only table, and marks the index stale.
    void BeginChange();
    void LoadDeletedMarks();
    void OpenIndex(IndexMode mode);
    std::unique_ptr<IndexTagState> MakeTag(const CdxTagHeader& header) const;
    // Every key of `tag` from the table, in order.
    KeyList BuildKeys(const IndexTagState& tag);
    // Sorts (key, record number) entries into `keys`; a unique tag keeps the first of each key.
    static void SortedKeys(std::vector<std::pair<std::string, uint32_t>>& entries, bool unique,
                           KeyList& keys);
    // Writes a new index file with every tag built from the table and opens it.
    void RewriteIndex();
    // Opens the index file at `path` and reads every tag's tree.
    void OpenTrees(const std::string& path, bool writable);
    // Notes that record `recno` changes (`before`: its bytes until now, null when it is
    // being appended), so that its keys follow when the tags are next consulted.
    void NoteChange(uint32_t recno, const std::string* before);
    // Brings the tags up to date with the records changed since.
    void SyncTags();
    bool IsMember(const IndexTagState& tag, const std::string& record) const;
    std::string MakeKey(const IndexTagState& tag, const std::string& record) const;
    void UpdateTags(uint32_t recno, const std::string& before, const std::string& after);
    void AddToTags(uint32_t recno, const std::string& record);
    void RemoveFromTags(uint32_t recno, const std::string& record);
    void InsertKey(IndexTagState& tag, const std::string& key, uint32_t recno);
    // After the listed record of a unique key left the tag: lists the next record with
    // that key, if any (a scan of the table).
    void RelistUniqueKey(IndexTagState& tag, const std::string& key, uint32_t except);
    void WriteIndex();
    void ReadRecordInto(long recno, std::string& out, bool keepPage = true);
    void StoreRecord(long recno, const std::string& record);
    uint32_t MemoBlock(const std::string& record, const FieldInfo& field) const;

    long OrderSize() const;
    uint32_t RecnoAt(long pos) const;
    Anchor CurrentAnchor();
    bool Visible(uint32_t recno);
    bool FiltersImplied() const;
    // First visible position at or after `from` (forward) or at or before it (backward);
    // -1 when none.
    long NextVisible(long from, bool forward);
    void PlaceAt(long pos);
    void PlaceAtEnd();
    void CheckMemos(std::vector<std::string>& problems);
    void CheckIndex(std::vector<std::string>& problems);
    [[noreturn]] void Fail(TableError code, const std::string& what) const;

    std::string path_;
    const Environment& env_;
    std::unique_ptr<DbfFile> dbf_;
    std::unique_ptr<MemoFile> memo_;
    std::unique_ptr<CdxFile> cdx_;
    std::vector<std::unique_ptr<IndexTagState>> tags_;
    std::vector<PendingKeys> pending_;
    std::vector<bool> deletedMarks_; // index = record number
    long deletedCount_ = 0;
    bool indexDirty_ = false;       // the tags hold changes the index file lacks
    bool indexMarkedStale_ = false; // the index file carries the stale mark
    bool writable_ = false;
    const CodePage* text_ = nullptr;
    int activeTag_ = 0;
    std::unique_ptr<Expression> query_;
    bool queryIsNotDeleted_ = false;
    std::vector<std::string> notes_;

    long recno_ = 1;
    bool bof_ = false;
    bool eof_ = true;
    long pos_ = 0;
    uint64_t posVersion_ = 0;
    bool posValid_ = false;
    std::string record_;
    long recordRecno_ = 0; // record_ holds this record (0: nothing)
    std::string scratch_;
    std::string blank_; // a blank record, made once
};

} // namespace qp::tables
