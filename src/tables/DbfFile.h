#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tables/AppendWindow.h"
#include "tables/EngineFile.h"
#include "tables/TableEngine.h"

namespace qp::tables {

// A FoxPro 2.x table file (.DBF) opened for exclusive use (for reading only when it may
// not be written): header, field descriptors and fixed-length records, read through a
// small page cache of bounded size.
//
// Write order keeps the file sound if the process dies: an appended record and the end
// marker are written before the header's record count, so a record is either fully
// there or not counted. Appending and filling in new records goes through a mapped
// window at the end of the file (see AppendWindow); the file is cut back to its records
// when flushed. A file whose last counted record is cut short (the count reached
// the disk, the record did not) opens with its whole records; the count is put right
// with the next write.
class DbfFile {
public:
    // Writes an empty table; throws TableFault.
    static void Create(const std::string& path, const std::vector<FieldInfo>& fields);
    // Checks a field definition; returns an empty string when sound, else the reason.
    static std::string FieldProblem(const FieldInfo& field);

    // Opens and checks the header; throws TableFault (tbeOpenFailed, tbeCorrupt).
    explicit DbfFile(const std::string& path,
                     EngineFile::Access access = EngineFile::Access::kReadWriteIfAllowed);
    ~DbfFile();
    DbfFile(const DbfFile&) = delete;
    DbfFile& operator=(const DbfFile&) = delete;

    const std::string& Path() const { return file_->Path(); }
    // The file was renamed into place under `path`.
    void SetPath(const std::string& path) { file_->SetPath(path); }
    bool Writable() const { return file_->Writable(); }
    // The number of the record left out because it was cut short, 0 when none.
    long CutRecord() const { return cutRecord_; }
    const std::vector<FieldInfo>& Fields() const { return fields_; }
    int RecordLength() const { return recordLength_; }
    long RecordCount() const { return recordCount_; }
    int HeaderLength() const { return headerLength_; }
    bool HasMemoFields() const;
    bool HasIndexFlag() const { return (flags_ & 0x01) != 0; }
    int VersionByte() const { return version_; }
    int CodePageMark() const { return codePage_; }
    std::string LastUpdate() const; // "YYYY-MM-DD"

    // Copies record `recno` (1..RecordCount) into `out`; throws TableFault. A record read
    // once in passing (`keepPage` false: writing's own bookkeeping) leaves the page cache,
    // which serves browsing, as it was.
    void ReadRecord(long recno, std::string& out, bool keepPage = true);
    // Overwrites record `recno` with `record` (RecordLength bytes).
    void WriteRecord(long recno, const std::string& record);
    // Overwrites `length` bytes of record `recno` from byte `offset` on.
    void WriteRecordPart(long recno, int offset, const char* bytes, size_t length);
    // Appends a record and returns its number.
    long AppendRecord(const std::string& record);
    // Removes the records after `recno` from the end of the file.
    void DropRecordsAfter(long recno);
    // marks[r] is true when record r has the deleted mark (marks[0] unused); one sequential
    // pass that bypasses the cache.
    void ReadDeletedMarks(std::vector<bool>& marks);
    // A blank record: live mark and every field blank.
    std::string BlankRecord() const;
    // Sets or clears the structural index flag in the header.
    void SetIndexFlag(bool on);
    // After changes: writes the date of last update and flushes to disk.
    void Flush();
    // The header as stored (HeaderLength bytes), for writing a compacted copy.
    std::string HeaderBytes();
    // Writes a table file with `header` (record count patched) followed by `records`
    // (each RecordLength bytes, concatenated) and the end marker; throws TableFault.
    static void WriteCopy(const std::string& path, std::string header, const std::string& records,
                          long count);

private:
    void ReadHeader();
    void ReadFieldDescriptors(const std::vector<unsigned char>& header);
    void WriteAt(int64_t offset, const void* data, size_t length);
    // Writes through the append window when it holds the bytes; false when it does not.
    bool WriteHeld(int64_t offset, const void* data, size_t length);
    void CutTo(int64_t size);
    void WriteRecordCount();
    // Before the first change: stores the count of a file opened with a cut record.
    void RepairCount();
    const unsigned char* CachedPage(int64_t page, size_t& valid);
    void UpdateCache(int64_t offset, const void* data, size_t length);
    [[noreturn]] void Fail(TableError code, const std::string& what) const;

    struct CachePage {
        int64_t page = -1;
        size_t valid = 0;
        std::vector<unsigned char> data;
    };

    std::unique_ptr<EngineFile> file_;
    std::unique_ptr<AppendWindow> window_; // null for a read-only file
    int version_ = 0;
    int flags_ = 0;
    int codePage_ = 0;
    int headerLength_ = 0;
    int recordLength_ = 0;
    long recordCount_ = 0;
    long cutRecord_ = 0;
    bool countRepaired_ = true;
    bool changed_ = false; // written since the last Flush
    unsigned char date_[3] = {0, 0, 0};
    std::vector<FieldInfo> fields_;
    std::vector<CachePage> cache_;
};

} // namespace qp::tables
