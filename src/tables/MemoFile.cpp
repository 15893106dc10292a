#include "tables/MemoFile.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "tables/ByteOrder.h"
#include "tables/FileOps.h"
#include "tables/TableFault.h"

namespace qp::tables {

using namespace bytes;

namespace {
constexpr int64_t kHeaderSize = 512;
constexpr uint32_t kMemoText = 1;
constexpr int64_t kMaxMemo = int64_t(1) << 30; // sanity limit for one memo

uint32_t BlocksFor(uint64_t length, uint32_t blockSize) {
    return uint32_t((8 + length + blockSize - 1) / blockSize);
}
} // namespace

void MemoFile::Create(const std::string& path, uint32_t blockSize) {
    std::vector<unsigned char> header(kHeaderSize, 0);
    PutBE32(&header[0], uint32_t((kHeaderSize + blockSize - 1) / blockSize));
    PutBE16(&header[6], blockSize);
    FileOps::ReplaceFile(path, std::string(header.begin(), header.end()));
}

MemoFile::MemoFile(const std::string& path, EngineFile::Access access)
    : file_(std::make_unique<EngineFile>("Memo file", path, access, EngineFile::Lock::kNone)) {
    ReadHeader();
}

MemoFile::~MemoFile() = default;

void MemoFile::Fail(int code, const std::string& what) const {
    file_->Fail(TableError(code), what);
}

void MemoFile::ReadHeader() {
    fileSize_ = file_->Size();
    if (fileSize_ < kHeaderSize)
        Fail(tbeCorrupt, "file too short for a memo header");
    unsigned char header[8];
    file_->ReadAt(0, header, 8);
    nextFree_ = GetBE32(header);
    blockSize_ = GetBE16(header + 6);
    if (blockSize_ == 0)
        Fail(tbeCorrupt, "block size 0");
    if (int64_t(nextFree_) * blockSize_ < kHeaderSize)
        Fail(tbeCorrupt, "next free block " + std::to_string(nextFree_) + " lies in the header");
    // New memos go at the file's end, whatever the header says: some writers leave the
    // last block short (a pointer before the end, into a live memo), and a damaged pointer
    // far past the end would turn the next memo into a file of gigabytes.
    nextFree_ = uint32_t((fileSize_ + blockSize_ - 1) / blockSize_);
}

void MemoFile::WriteAt(int64_t offset, const void* data, size_t length) {
    file_->WriteAt(offset, data, length);
    fileSize_ = std::max(fileSize_, offset + int64_t(length));
}

uint32_t MemoFile::ReadLength(uint32_t block) {
    int64_t start = int64_t(block) * blockSize_;
    if (start < kHeaderSize || start + 8 > fileSize_)
        Fail(tbeCorrupt, "memo block " + std::to_string(block) + " lies outside the file");
    unsigned char head[8];
    file_->ReadAt(start, head, 8);
    uint32_t length = GetBE32(head + 4);
    if (int64_t(length) > fileSize_ - start - 8 || int64_t(length) > kMaxMemo)
        Fail(tbeCorrupt, "memo at block " + std::to_string(block) + " claims " +
                             std::to_string(length) + " bytes, past the end of the file");
    return length;
}

std::string MemoFile::Read(uint32_t block) {
    if (block == 0)
        return {};
    uint32_t length = ReadLength(block);
    std::string data(length, '\0');
    if (length > 0)
        file_->ReadAt(int64_t(block) * blockSize_ + 8, data.data(), length);
    return data;
}

uint32_t MemoFile::BlocksUsed(uint32_t block) {
    return block == 0 ? 0 : BlocksFor(ReadLength(block), blockSize_);
}

uint32_t MemoFile::Write(const std::string& data) {
    if (int64_t(data.size()) > kMaxMemo)
        Fail(tbeBadArgument, "memo too large");
    const uint32_t needed = BlocksFor(data.size(), blockSize_);
    const uint64_t block = nextFree_;
    if (block + needed > 0xFFFFFFFFull)
        Fail(tbeBadArgument, "memo file full");
    std::vector<unsigned char> memo(size_t(needed) * blockSize_, 0);
    PutBE32(&memo[0], kMemoText);
    PutBE32(&memo[4], uint32_t(data.size()));
    std::memcpy(&memo[8], data.data(), data.size());
    WriteAt(int64_t(block) * blockSize_, memo.data(), memo.size());
    nextFree_ = uint32_t(block + needed);
    unsigned char head[4];
    PutBE32(head, nextFree_);
    WriteAt(0, head, 4);
    return uint32_t(block);
}

void MemoFile::Flush() {
    file_->Sync();
}

} // namespace qp::tables
