#include "spell/core/DictionaryFile.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <thread>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "spell/core/DictionaryFormat.h"

namespace {

bool WriteAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Makes a rename or a new link in the file's folder last through a power cut.
void SyncFolder(const std::string& path) {
    std::filesystem::path folder = std::filesystem::path(path).parent_path();
    if (folder.empty()) {
        folder = std::filesystem::path(".");
    }
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// Writes a whole new file that no one else can have open: false (and no file) on errors.
bool WriteNewFile(const std::string& path, const std::string& bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        return false;
    }
    const bool written = WriteAll(fd, bytes) && ::fsync(fd) == 0;
    ::close(fd);
    if (!written) {
        ::unlink(path.c_str());
    }
    return written;
}

} // namespace

DictionaryFile::DictionaryFile(int fd, std::string path, bool writable)
    : fd_(fd), path_(std::move(path)), writable_(writable) {
    NoteIdentity();
}

void DictionaryFile::NoteIdentity() {
    struct stat info {};
    if (::fstat(fd_, &info) == 0) {
        device_ = info.st_dev;
        inode_ = info.st_ino;
    }
}

DictionaryFile::~DictionaryFile() {
    ::close(fd_);
}

std::shared_ptr<DictionaryFile> DictionaryFile::OpenReadOnly(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return nullptr;
    }
    std::shared_ptr<DictionaryFile> file(new DictionaryFile(fd, path, false));
    file->LoadImage();
    return file;
}

void DictionaryFile::LoadImage() {
    const std::int64_t size = Size();
    if (size < 0 || size > MaxImageBytes) {
        return;
    }
    std::vector<char> image(static_cast<std::size_t>(size));
    if (ReadAt(0, image.data(), image.size()) == image.size()) {
        image_ = std::move(image);
        imageLoaded_ = true;
    }
}

std::shared_ptr<DictionaryFile> DictionaryFile::OpenReadWrite(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        return nullptr;
    }
    return std::shared_ptr<DictionaryFile>(new DictionaryFile(fd, path, true));
}

DictionaryFile::CreateResult DictionaryFile::CreateExclusive(const std::string& path,
                                                             const std::string& bytes) {
    std::string temporary = path;
    temporary.append(".new-XXXXXX");
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        return CreateResult::crFailed;
    }
    ::fchmod(fd, 0644);
    const bool written = WriteAll(fd, bytes) && ::fsync(fd) == 0;
    ::close(fd);
    const int linked = written ? ::link(temporary.c_str(), path.c_str()) : -1;
    const int linkError = errno;
    ::unlink(temporary.c_str());
    if (!written) {
        return CreateResult::crFailed;
    }
    if (linked == 0) {
        SyncFolder(path);
        return CreateResult::crCreated;
    }
    if (linkError == EEXIST) {
        return CreateResult::crExists;
    }
    // No links on this file system (some removable disks): create the file itself
    // exclusively and fill it under an exclusive lock, which readers wait for.
    const int direct = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (direct < 0) {
        return errno == EEXIST ? CreateResult::crExists : CreateResult::crFailed;
    }
    ::flock(direct, LOCK_EX);
    const bool filled = WriteAll(direct, bytes) && ::fsync(direct) == 0;
    if (!filled) {
        ::unlink(path.c_str());
    }
    ::close(direct);
    SyncFolder(path);
    return filled ? CreateResult::crCreated : CreateResult::crFailed;
}

std::size_t DictionaryFile::ReadAt(std::int64_t offset, void* data, std::size_t size) const {
    if (offset < 0) {
        return 0;
    }
    if (imageLoaded_) {
        if (offset >= static_cast<std::int64_t>(image_.size())) {
            return 0;
        }
        const std::size_t n = std::min(size, image_.size() - static_cast<std::size_t>(offset));
        std::memcpy(data, image_.data() + offset, n);
        return n;
    }
    std::size_t done = 0;
    auto* bytes = static_cast<char*>(data);
    while (done < size) {
        const ssize_t n = ::pread(fd_, bytes + done, size - done, offset + done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    return done;
}

bool DictionaryFile::ReadExactly(std::int64_t offset, void* data, std::size_t size) const {
    return ReadAt(offset, data, size) == size;
}

bool DictionaryFile::ReadAll(std::string& bytes) const {
    const std::int64_t size = Size();
    if (size < 0) {
        return false;
    }
    bytes.resize(static_cast<std::size_t>(size));
    return ReadExactly(0, bytes.data(), bytes.size());
}

std::int64_t DictionaryFile::Size() const {
    struct stat info {};
    if (imageLoaded_) {
        return static_cast<std::int64_t>(image_.size());
    }
    if (::fstat(fd_, &info) != 0) {
        return -1;
    }
    return info.st_size;
}

std::int64_t DictionaryFile::SectionsStart() const {
    std::array<char, 4096> buffer{};
    std::int64_t position = 0;
    while (true) {
        const std::size_t n = ReadAt(position, buffer.data(), buffer.size());
        if (n == 0) {
            return -1;
        }
        const auto end = std::find(buffer.begin(), buffer.begin() + static_cast<long>(n),
                                   static_cast<char>(DictionaryFormat::BannerEnd));
        if (end != buffer.begin() + static_cast<long>(n)) {
            return position + (end - buffer.begin()) + 1;
        }
        position += static_cast<std::int64_t>(n);
    }
}

bool DictionaryFile::IsCurrent() const {
    struct stat named {};
    if (::stat(path_.c_str(), &named) != 0) {
        return true;
    }
    return named.st_dev == device_ && named.st_ino == inode_;
}

bool DictionaryFile::Reopen() {
    const int fd = ::open(path_.c_str(), (writable_ ? O_RDWR : O_RDONLY) | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    ::close(fd_);
    fd_ = fd;
    NoteIdentity();
    ++generation_;
    return true;
}

bool DictionaryFile::Lock(LockKind kind, std::chrono::milliseconds wait) {
    const int operation = (kind == LockKind::lkShared ? LOCK_SH : LOCK_EX) | LOCK_NB;
    const auto deadline = std::chrono::steady_clock::now() + wait;
    while (true) {
        if (::flock(fd_, operation) == 0) {
            if (IsCurrent()) {
                locked_ = true;
                return true;
            }
            // Replaced while we waited: lock the file that is there now instead.
            ::flock(fd_, LOCK_UN);
            if (!Reopen()) {
                return false;
            }
        } else if (errno != EWOULDBLOCK && errno != EINTR) {
            return false;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

void DictionaryFile::Unlock() {
    if (locked_) {
        ::flock(fd_, LOCK_UN);
        locked_ = false;
    }
}

bool DictionaryFile::Replace(const std::string& bytes) {
    if (!writable_ || imageLoaded_) {
        return false;
    }
    std::string temporary = path_;
    temporary.append(".tmp");
    struct stat info {};
    const mode_t mode = ::fstat(fd_, &info) == 0 ? (info.st_mode & 07777) : 0644;
    const int fd = ::open(temporary.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        return false;
    }
    ::fchmod(fd, mode);
    const bool written = WriteAll(fd, bytes) && ::fsync(fd) == 0;
    if (!written || ::rename(temporary.c_str(), path_.c_str()) != 0) {
        ::close(fd);
        ::unlink(temporary.c_str());
        return false;
    }
    // The folder is not synced: after a power cut the list is the old one or the new
    // one, both whole, and that is all a list needs.
    ::close(fd_); // drops the lock on the file just replaced
    fd_ = fd;
    NoteIdentity();
    locked_ = false;
    ++generation_;
    return true;
}

bool DictionaryFile::KeepAs(const std::string& backupPath) {
    if (::link(path_.c_str(), backupPath.c_str()) == 0) {
        SyncFolder(backupPath);
        return true;
    }
    if (errno == EEXIST) {
        return false;
    }
    std::string bytes;
    if (!ReadAll(bytes) || !WriteNewFile(backupPath, bytes)) {
        return false;
    }
    SyncFolder(backupPath);
    return true;
}
