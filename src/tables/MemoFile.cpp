#include "tables/MemoFile.h"

#include "tables/PositionalIo.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "tables/ByteOrder.h"
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
    std::string temp = path + ".new";
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        throw TableFault(tbeIo, "Cannot create " + path + ": " + std::strerror(errno));
    bool written = ::write(fd, header.data(), header.size()) == ssize_t(header.size());
    written = (::close(fd) == 0) && written;
    if (!written || std::rename(temp.c_str(), path.c_str()) != 0) {
        std::remove(temp.c_str());
        throw TableFault(tbeIo, "Cannot write " + path + ": " + std::strerror(errno));
    }
}

MemoFile::MemoFile(const std::string& path) : path_(path) {
    fd_ = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd_ < 0)
        Fail(tbeOpenFailed, std::string("cannot open: ") + std::strerror(errno));
    try {
        ReadHeader();
    } catch (...) {
        ::close(fd_);
        fd_ = -1;
        throw;
    }
}

MemoFile::~MemoFile() {
    if (fd_ >= 0)
        ::close(fd_);
}

void MemoFile::Fail(int code, const std::string& what) const {
    throw TableFault(TableError(code), "Memo file " + path_ + ": " + what);
}

void MemoFile::ReadHeader() {
    struct stat st {};
    if (::fstat(fd_, &st) != 0)
        Fail(tbeIo, std::strerror(errno));
    fileSize_ = st.st_size;
    if (fileSize_ < kHeaderSize)
        Fail(tbeCorrupt, "file too short for a memo header");
    unsigned char header[8];
    ReadAt(0, header, 8);
    nextFree_ = GetBE32(header);
    blockSize_ = GetBE16(header + 6);
    if (blockSize_ == 0)
        Fail(tbeCorrupt, "block size 0");
    if (int64_t(nextFree_) * blockSize_ < kHeaderSize)
        Fail(tbeCorrupt, "next free block " + std::to_string(nextFree_) + " lies in the header");
    // Some writers leave the last block short; never hand out blocks before the file's end.
    int64_t endBlock = (fileSize_ + blockSize_ - 1) / blockSize_;
    if (int64_t(nextFree_) < endBlock)
        nextFree_ = uint32_t(endBlock);
}

void MemoFile::ReadAt(int64_t offset, void* data, size_t length) {
    switch (PositionalIo::ReadAll(fd_, offset, data, length)) {
    case PositionalIo::ioOk:
        return;
    case PositionalIo::ioEndOfFile:
        Fail(tbeCorrupt, "unexpected end of file");
        break;
    case PositionalIo::ioError:
        Fail(tbeIo, std::strerror(errno));
        break;
    }
}

void MemoFile::WriteAt(int64_t offset, const void* data, size_t length) {
    if (PositionalIo::WriteAll(fd_, offset, data, length) != PositionalIo::ioOk)
        Fail(tbeIo, std::string("write failed: ") + std::strerror(errno));
    fileSize_ = std::max(fileSize_, offset + int64_t(length));
}

uint32_t MemoFile::ReadLength(uint32_t block) {
    int64_t start = int64_t(block) * blockSize_;
    if (start < kHeaderSize || start + 8 > fileSize_)
        Fail(tbeCorrupt, "memo block " + std::to_string(block) + " lies outside the file");
    unsigned char head[8];
    ReadAt(start, head, 8);
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
        ReadAt(int64_t(block) * blockSize_ + 8, data.data(), length);
    return data;
}

uint32_t MemoFile::BlocksUsed(uint32_t block) {
    return block == 0 ? 0 : BlocksFor(ReadLength(block), blockSize_);
}

void MemoFile::WriteMemo(uint32_t block, const std::string& data) {
    int64_t start = int64_t(block) * blockSize_;
    uint32_t blocks = BlocksFor(data.size(), blockSize_);
    std::vector<unsigned char> body(size_t(blocks) * blockSize_ - 8, 0);
    std::memcpy(body.data(), data.data(), data.size());
    WriteAt(start + 8, body.data(), body.size());
    unsigned char head[8];
    PutBE32(head, kMemoText);
    PutBE32(head + 4, uint32_t(data.size()));
    WriteAt(start, head, 8);
}

uint32_t MemoFile::Write(uint32_t oldBlock, const std::string& data) {
    if (int64_t(data.size()) > kMaxMemo)
        Fail(tbeBadArgument, "memo too large");
    uint32_t needed = BlocksFor(data.size(), blockSize_);
    if (oldBlock != 0 && needed <= BlocksUsed(oldBlock)) {
        WriteMemo(oldBlock, data);
        return oldBlock;
    }
    uint64_t block = nextFree_;
    if (block + needed > 0xFFFFFFFFull)
        Fail(tbeBadArgument, "memo file full");
    WriteMemo(uint32_t(block), data);
    nextFree_ = uint32_t(block + needed);
    unsigned char head[4];
    PutBE32(head, nextFree_);
    WriteAt(0, head, 4);
    return uint32_t(block);
}

void MemoFile::Flush() {
    ::fdatasync(fd_);
}

} // namespace qp::tables
