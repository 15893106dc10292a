#pragma once

#include <cstddef>
#include <cstdint>

namespace qp::tables {

class EngineFile;

// The end of a table file (and its first page, which holds the record count) mapped into
// memory, so that records are appended and filled in without a system call each. What
// is stored in the mapping is in the file the moment it is stored: a process killed
// afterwards loses none of it.
//
// The file grows a page at a time, with disk space reserved a megabyte ahead: a full disk
// is reported when reserving, never found later by a store into the mapping. Where the
// file system cannot reserve space the window is not used and callers write as before.
class AppendWindow {
public:
    // `size`: the file's size now.
    AppendWindow(EngineFile& file, int64_t size);
    ~AppendWindow();
    AppendWindow(const AppendWindow&) = delete;
    AppendWindow& operator=(const AppendWindow&) = delete;

    bool Usable() const { return usable_; }
    int64_t FileSize() const { return size_; }

    // Memory for the bytes [offset, end), growing the file to take them; nullptr when the
    // window cannot be used here. Throws TableFault (tbeIo) when no space can be reserved.
    unsigned char* Reserve(int64_t offset, int64_t end);
    // Memory for [offset, end) when the window holds it within the file, else nullptr.
    unsigned char* Held(int64_t offset, int64_t end);
    // The file's first `length` bytes in memory (the header), nullptr when not possible.
    unsigned char* Head(size_t length);

    // The file was written or cut by other means and now ends at `size`.
    void NoteSize(int64_t size);
    // Puts what was stored through the mappings on disk and cuts the file back to
    // `length` (the space reserved beyond it is given back).
    void Finish(int64_t length);

private:
    void Unmap();

    EngineFile& file_;
    bool usable_ = true;
    int64_t size_ = 0;     // the file's size
    int64_t reserved_ = 0; // disk space reserved up to here
    unsigned char* base_ = nullptr;
    int64_t start_ = 0, length_ = 0; // the mapped part of the file
    unsigned char* head_ = nullptr;
};

} // namespace qp::tables
