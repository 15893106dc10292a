#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "tables/TableErrors.h"

namespace qp::tables {

// An open file of the table engine (a table, memo or index file): its descriptor, its
// path and the word its messages start with ("Table", "Memo file", "Index"). Opened for
// reading and writing when the file may be written, otherwise for reading only; reads
// and writes at offsets whose failures throw TableFault naming the file.
class EngineFile {
public:
    enum class Access {
        kReadWrite,
        kReadWriteIfAllowed, // read-only when the file may not be written
        kReadOnly
    };
    enum class Lock {
        kNone,
        kForUse, // no other program may use it (readers share it when it is read-only)
        kSole    // no other program may use it, even for reading
    };

    // Throws TableFault: tbeOpenFailed when the file cannot be opened or is locked.
    EngineFile(std::string label, std::string path, Access access, Lock lock);
    ~EngineFile();
    EngineFile(const EngineFile&) = delete;
    EngineFile& operator=(const EngineFile&) = delete;

    const std::string& Path() const { return path_; }
    // The file got a new name (it was renamed into place).
    void SetPath(std::string path) { path_ = std::move(path); }
    bool Writable() const { return writable_; }
    int Fd() const { return fd_; }
    int64_t Size() const;

    // Reads exactly `length` bytes; tbeCorrupt when the file ends first.
    void ReadAt(int64_t offset, void* data, size_t length) const;
    // Reads up to `length` bytes (fewer only at the end of the file).
    size_t ReadUpTo(int64_t offset, void* data, size_t length) const;
    // Writes; tbeReadOnly when the file was opened for reading only.
    void WriteAt(int64_t offset, const void* data, size_t length);
    void Truncate(int64_t size);
    void Sync();

    // "<label> <path>: <what>"
    [[noreturn]] void Fail(TableError code, const std::string& what) const;
    // tbeReadOnly unless the file is writable.
    void RequireWritable() const;

private:
    std::string label_;
    std::string path_;
    int fd_ = -1;
    bool writable_ = false;
};

} // namespace qp::tables
