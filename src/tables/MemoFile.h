#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "tables/EngineFile.h"

namespace qp::tables {

// A FoxPro memo file (.FPT): a 512-byte header with the next free block and the block
// size, then memos of an 8-byte header (type, length; big-endian) and their data, each
// starting on a block boundary.
//
// A live memo is never overwritten: a changed memo is written to free blocks at the end
// (header and data in one write) before the header's next free block advances, and the
// record's pointer moves to it afterwards. A process killed midway leaves the record with
// its old memo; the blocks of replaced memos are reclaimed by pack.
class MemoFile {
public:
    static constexpr uint32_t kDefaultBlockSize = 64;

    // Writes an empty memo file; throws TableFault.
    static void Create(const std::string& path, uint32_t blockSize = kDefaultBlockSize);

    // Opens and checks the header; throws TableFault.
    explicit MemoFile(const std::string& path,
                      EngineFile::Access access = EngineFile::Access::kReadWriteIfAllowed);
    ~MemoFile();
    MemoFile(const MemoFile&) = delete;
    MemoFile& operator=(const MemoFile&) = delete;

    const std::string& Path() const { return file_->Path(); }
    void SetPath(const std::string& path) { file_->SetPath(path); }
    bool Writable() const { return file_->Writable(); }
    uint32_t BlockSize() const { return blockSize_; }
    uint32_t NextFreeBlock() const { return nextFree_; }

    // The data of the memo starting at `block`; throws TableFault (tbeCorrupt) when the
    // block or its length lies outside the file.
    std::string Read(uint32_t block);
    // Blocks the memo at `block` occupies (0 when `block` is 0).
    uint32_t BlocksUsed(uint32_t block);
    // Stores `data` as a new text memo in free blocks and returns its first block.
    uint32_t Write(const std::string& data);
    void Flush();

private:
    void ReadHeader();
    uint32_t ReadLength(uint32_t block);
    void WriteAt(int64_t offset, const void* data, size_t length);
    [[noreturn]] void Fail(int code, const std::string& what) const;

    std::unique_ptr<EngineFile> file_;
    uint32_t blockSize_ = kDefaultBlockSize;
    uint32_t nextFree_ = 0;
    int64_t fileSize_ = 0;
};

} // namespace qp::tables
