#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// An open dictionary file, shared by the sections that lie in it. Main lists are opened
// read-only; user lists for reading and writing, by several engines (and programs) at
// once.
//
// A user list is never changed in place: a change writes the whole new list beside it
// and renames it over the old one (Replace), so a reader or a writer that dies halfway
// never sees or leaves a half-changed list. Writers hold an exclusive lock (flock) for
// the whole change; readers a shared one while they read the header. A file replaced by
// another engine is noticed when the lock is taken, and the handle moves to the new one.
//
// A read-only file is read into memory once when opened (main lists are a few hundred
// kilobytes), so the block cache above it fills without a system call per block.
class DictionaryFile final {
public:
    enum class LockKind { lkShared, lkExclusive };
    enum class CreateResult { crCreated, crExists, crFailed };

    // Null when the file cannot be opened.
    static std::shared_ptr<DictionaryFile> OpenReadOnly(const std::string& path);
    static std::shared_ptr<DictionaryFile> OpenReadWrite(const std::string& path);

    // Makes a new file holding `bytes` unless one exists at `path` already (which is
    // left alone). The file appears whole or not at all: it is written under a temporary
    // name and linked into place; where the file system has no links, it is created
    // exclusively and written under an exclusive lock.
    static CreateResult CreateExclusive(const std::string& path, const std::string& bytes);

    ~DictionaryFile();
    DictionaryFile(const DictionaryFile&) = delete;
    DictionaryFile& operator=(const DictionaryFile&) = delete;

    // Reads up to `size` bytes at `offset`; returns how many were read (fewer at the end
    // of the file, 0 on errors).
    std::size_t ReadAt(std::int64_t offset, void* data, std::size_t size) const;
    // True when all `size` bytes were read.
    bool ReadExactly(std::int64_t offset, void* data, std::size_t size) const;
    // The whole file; false on read errors.
    bool ReadAll(std::string& bytes) const;
    // Current length of the file in bytes (-1 on errors).
    std::int64_t Size() const;
    // The offset just behind the banner's closing byte 26, or -1 when there is none.
    std::int64_t SectionsStart() const;

    // Takes the lock, waiting at most `wait`. When the file at the path is no longer the
    // one this handle has open (another engine replaced it), the handle moves to the
    // current file first, so the lock always covers the list as it is now. False when
    // the wait ran out or the current file cannot be opened.
    bool Lock(LockKind kind, std::chrono::milliseconds wait);
    void Unlock();

    // Replaces the whole file by `bytes`: written to "<path>.tmp", flushed to the disk,
    // then renamed over the file (which keeps its permissions). Needs the exclusive
    // lock; afterwards the handle refers to the new file and holds no lock. False, with
    // the file untouched and no temporary file left, when writing fails.
    bool Replace(const std::string& bytes);

    // Keeps the file as it is now under `backupPath` as well (a second link to it, or a
    // copy where the file system has no links). False when that name is taken or the
    // copy cannot be written.
    bool KeepAs(const std::string& backupPath);

    // Counts the times the handle moved to a newer file, so that readers know to look
    // for the header again.
    int Generation() const { return generation_; }
    // True when the path still names the file this handle has open: then nothing in it
    // changed, since lists are only ever replaced whole. A list that was removed counts
    // as current (the handle keeps what it has; the next change writes it back).
    bool IsCurrent() const;

    // The whole file when it was read into memory (read-only files), else null.
    const char* Image() const { return imageLoaded_ ? image_.data() : nullptr; }
    std::int64_t ImageSize() const { return static_cast<std::int64_t>(image_.size()); }

    const std::string& Path() const { return path_; }
    bool IsWritable() const { return writable_; }

private:
    DictionaryFile(int fd, std::string path, bool writable);

    static constexpr std::int64_t MaxImageBytes = 64 * 1024 * 1024;
    void LoadImage();
    bool Reopen();
    void NoteIdentity();

    int fd_;
    // Device and inode of the open file, to tell when the path names another one.
    std::uint64_t device_ = 0;
    std::uint64_t inode_ = 0;
    std::string path_;
    bool writable_;
    bool locked_ = false;
    int generation_ = 0;
    bool imageLoaded_ = false;
    std::vector<char> image_;
};
