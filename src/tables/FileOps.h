#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace qp::tables {

// The file-system calls of the table engine whose failure or order matters: positional
// reads and writes that retry short transfers, syncing files and folders, renames,
// removals and hard links, and whole-file writes. Failures throw TableFault (tbeIo)
// naming the file and the system's reason.
//
// Every changing call first asks the hook (when one is set), so that a test can make
// any single call fail with an error of its choice or stop the process right there.
class FileOps {
public:
    enum class Call { kWrite, kSync, kRename, kRemove, kLink, kTruncate, kCreate, kReserve };
    // Returns 0 to let the call go ahead, or the errno value the call then fails with.
    using Hook = std::function<int(Call call, const std::string& path)>;
    static void SetHook(Hook hook);

    enum class ReadResult { kOk, kEndOfFile };
    // Reads exactly `length` bytes; kEndOfFile when the file ends first. Throws on errors.
    static ReadResult ReadAll(int fd, int64_t offset, void* data, size_t length,
                              const std::string& path);
    // Reads up to `length` bytes (fewer only at the end of the file); returns the count.
    static size_t ReadUpTo(int fd, int64_t offset, void* data, size_t length,
                           const std::string& path);
    static void WriteAll(int fd, int64_t offset, const void* data, size_t length,
                         const std::string& path);
    static void Sync(int fd, const std::string& path);
    static void Truncate(int fd, int64_t size, const std::string& path);
    // Reserves disk space for [offset, offset + length) without changing the file's size.
    // Returns 0 or the errno value (the caller decides what a refusal means).
    static int Reserve(int fd, int64_t offset, int64_t length, const std::string& path);

    // Syncs the folder holding `path`, so that renames and removals in it are durable.
    static void SyncFolderOf(const std::string& path);
    static void Rename(const std::string& from, const std::string& to);
    // Removes `path`; a file that is already gone is no failure.
    static void Remove(const std::string& path);
    // Makes `link` a second name of `target` (a copy where the file system has no links).
    static void Link(const std::string& target, const std::string& link);
    static bool Exists(const std::string& path);
    // true when this process may write `path` (a file or a folder).
    static bool MayWrite(const std::string& path);
    // The folder holding `path` ("." for a bare name).
    static std::string FolderOf(const std::string& path);

    // Creates (or truncates) `path`, writes `data` and syncs it to disk. A failure
    // removes the partial file.
    static void WriteWholeFile(const std::string& path, const std::string& data);
    // Replaces `path` with a file holding `data`: written and synced beside it, then
    // renamed over it. A process killed meanwhile leaves the old file.
    static void ReplaceFile(const std::string& path, const std::string& data);

    // "<what> <path>: <reason of errno>"
    [[noreturn]] static void Fail(const std::string& what, const std::string& path, int error);

private:
    static int Injected(Call call, const std::string& path);
};

} // namespace qp::tables
