#include "tables/EngineFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tables/FileOps.h"
#include "tables/TableFault.h"

namespace qp::tables {

namespace {

bool RefusesWriting(int error) {
    return error == EACCES || error == EROFS || error == EPERM;
}

} // namespace

EngineFile::EngineFile(std::string label, std::string path, Access access, Lock lock)
    : label_(std::move(label)), path_(std::move(path)) {
    if (access != Access::kReadOnly) {
        fd_ = ::open(path_.c_str(), O_RDWR | O_CLOEXEC);
        writable_ = fd_ >= 0;
        if (fd_ < 0 && (access == Access::kReadWrite || !RefusesWriting(errno)))
            Fail(tbeOpenFailed, std::string("cannot open: ") + std::strerror(errno));
    }
    if (fd_ < 0) {
        fd_ = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd_ < 0)
            Fail(tbeOpenFailed, std::string("cannot open: ") + std::strerror(errno));
    }
    const int mode = lock == Lock::kForUse && !writable_ ? LOCK_SH : LOCK_EX;
    if (lock != Lock::kNone && ::flock(fd_, mode | LOCK_NB) != 0) {
        ::close(fd_);
        fd_ = -1;
        Fail(tbeOpenFailed, "the table is in use by another program");
    }
}

EngineFile::~EngineFile() {
    if (fd_ >= 0)
        ::close(fd_);
}

void EngineFile::Fail(TableError code, const std::string& what) const {
    throw TableFault(code, label_ + " " + path_ + ": " + what);
}

void EngineFile::RequireWritable() const {
    if (!writable_)
        Fail(tbeReadOnly, "the file is open for reading only (it may not be written)");
}

int64_t EngineFile::Size() const {
    struct stat st {};
    if (::fstat(fd_, &st) != 0)
        Fail(tbeIo, std::strerror(errno));
    return st.st_size;
}

void EngineFile::ReadAt(int64_t offset, void* data, size_t length) const {
    if (FileOps::ReadAll(fd_, offset, data, length, path_) != FileOps::ReadResult::kOk)
        Fail(tbeCorrupt, "unexpected end of file");
}

size_t EngineFile::ReadUpTo(int64_t offset, void* data, size_t length) const {
    return FileOps::ReadUpTo(fd_, offset, data, length, path_);
}

void EngineFile::WriteAt(int64_t offset, const void* data, size_t length) {
    RequireWritable();
    FileOps::WriteAll(fd_, offset, data, length, path_);
}

void EngineFile::Truncate(int64_t size) {
    RequireWritable();
    FileOps::Truncate(fd_, size, path_);
}

void EngineFile::Sync() {
    if (writable_)
        FileOps::Sync(fd_, path_);
}

} // namespace qp::tables
