#include "tables/FileOps.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include "tables/TableFault.h"

namespace qp::tables {

namespace {

FileOps::Hook& CurrentHook() {
    static FileOps::Hook hook;
    return hook;
}

} // namespace

void FileOps::SetHook(Hook hook) {
    CurrentHook() = std::move(hook);
}

int FileOps::Injected(Call call, const std::string& path) {
    const Hook& hook = CurrentHook();
    return hook ? hook(call, path) : 0;
}

void FileOps::Fail(const std::string& what, const std::string& path, int error) {
    throw TableFault(tbeIo, "Cannot " + what + " " + path + ": " + std::strerror(error));
}

FileOps::ReadResult FileOps::ReadAll(int fd, int64_t offset, void* data, size_t length,
                                     const std::string& path) {
    return ReadUpTo(fd, offset, data, length, path) == length ? ReadResult::kOk
                                                              : ReadResult::kEndOfFile;
}

size_t FileOps::ReadUpTo(int fd, int64_t offset, void* data, size_t length,
                         const std::string& path) {
    auto* out = static_cast<unsigned char*>(data);
    size_t got = 0;
    while (got < length) {
        ssize_t n = ::pread(fd, out + got, length - got, offset + int64_t(got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            Fail("read", path, errno);
        if (n == 0)
            break;
        got += size_t(n);
    }
    return got;
}

void FileOps::WriteAll(int fd, int64_t offset, const void* data, size_t length,
                       const std::string& path) {
    if (int error = Injected(Call::kWrite, path))
        Fail("write", path, error);
    const auto* in = static_cast<const unsigned char*>(data);
    while (length > 0) {
        ssize_t n = ::pwrite(fd, in, length, offset);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            Fail("write", path, errno);
        if (n == 0)
            Fail("write", path, ENOSPC); // nothing taken and no reason given: the disk is full
        in += n;
        offset += n;
        length -= size_t(n);
    }
}

void FileOps::Sync(int fd, const std::string& path) {
    int error = Injected(Call::kSync, path);
    if (error == 0 && ::fdatasync(fd) != 0)
        error = errno;
    if (error != 0)
        Fail("write", path, error);
}

void FileOps::Truncate(int fd, int64_t size, const std::string& path) {
    int error = Injected(Call::kTruncate, path);
    if (error == 0 && ::ftruncate(fd, size) != 0)
        error = errno;
    if (error != 0)
        Fail("write", path, error);
}

int FileOps::Reserve(int fd, int64_t offset, int64_t length, const std::string& path) {
    if (const int error = Injected(Call::kReserve, path))
        return error;
    return ::fallocate(fd, FALLOC_FL_KEEP_SIZE, offset, length) == 0 ? 0 : errno;
}

void FileOps::SyncFolderOf(const std::string& path) {
    std::string folder = FolderOf(path);
    int error = Injected(Call::kSync, folder);
    if (error == 0) {
        int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0)
            error = errno;
        else if (::fsync(fd) != 0 && errno != EINVAL)
            error = errno; // some file systems cannot sync folders: nothing more to do there
        if (fd >= 0)
            ::close(fd);
    }
    if (error != 0)
        Fail("write the folder", folder, error);
}

void FileOps::Rename(const std::string& from, const std::string& to) {
    int error = Injected(Call::kRename, to);
    if (error == 0 && std::rename(from.c_str(), to.c_str()) != 0)
        error = errno;
    if (error != 0)
        throw TableFault(tbeIo,
                         "Cannot replace " + to + " with " + from + ": " + std::strerror(error));
}

void FileOps::Remove(const std::string& path) {
    int error = Injected(Call::kRemove, path);
    if (error == 0 && ::unlink(path.c_str()) != 0 && errno != ENOENT)
        error = errno;
    if (error != 0)
        Fail("remove", path, error);
}

void FileOps::Link(const std::string& target, const std::string& link) {
    int error = Injected(Call::kLink, link);
    if (error != 0)
        Fail("create", link, error);
    Remove(link);
    if (::link(target.c_str(), link.c_str()) == 0)
        return;
    if (errno != EPERM && errno != EOPNOTSUPP && errno != EXDEV && errno != EMLINK)
        Fail("create", link, errno);
    // No hard links here (a FAT file system, say): a synced copy serves as well, written
    // under a passing name so that `link` never names a partial copy.
    const std::string temp = link + ".tmp";
    std::error_code ec;
    std::filesystem::copy_file(target, temp, std::filesystem::copy_options::overwrite_existing, ec);
    if (ec)
        Fail("create", link, ec.value());
    int fd = ::open(temp.c_str(), O_RDONLY | O_CLOEXEC);
    int syncError = fd < 0 ? errno : ::fdatasync(fd) == 0 ? 0 : errno;
    if (fd >= 0)
        ::close(fd);
    if (syncError == 0 && std::rename(temp.c_str(), link.c_str()) != 0)
        syncError = errno;
    if (syncError != 0) {
        ::unlink(temp.c_str());
        Fail("create", link, syncError);
    }
}

std::string FileOps::FolderOf(const std::string& path) {
    std::string folder = std::filesystem::path(path).parent_path().string();
    return folder.empty() ? "." : folder;
}

bool FileOps::MayWrite(const std::string& path) {
    return ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
}

bool FileOps::Exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

void FileOps::WriteWholeFile(const std::string& path, const std::string& data) {
    int error = Injected(Call::kCreate, path);
    if (error != 0)
        Fail("create", path, error);
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        Fail("create", path, errno);
    try {
        WriteAll(fd, 0, data.data(), data.size(), path);
        Sync(fd, path);
    } catch (...) {
        ::close(fd);
        ::unlink(path.c_str());
        throw;
    }
    if (::close(fd) != 0) {
        int closeError = errno;
        ::unlink(path.c_str());
        Fail("write", path, closeError);
    }
}

void FileOps::ReplaceFile(const std::string& path, const std::string& data) {
    const std::string temp = path + ".new";
    WriteWholeFile(temp, data);
    try {
        Rename(temp, path);
    } catch (...) {
        ::unlink(temp.c_str());
        throw;
    }
    SyncFolderOf(path);
}

} // namespace qp::tables
