#include "spell/core/DictionaryFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

DictionaryFile::DictionaryFile(int fd, std::string path, bool writable)
    : fd_(fd), path_(std::move(path)), writable_(writable) {}

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

std::shared_ptr<DictionaryFile> DictionaryFile::Create(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        return nullptr;
    }
    return std::shared_ptr<DictionaryFile>(new DictionaryFile(fd, path, true));
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

bool DictionaryFile::WriteAt(std::int64_t offset, const void* data, std::size_t size) {
    if (!writable_ || offset < 0) {
        return false;
    }
    std::size_t done = 0;
    const auto* bytes = static_cast<const char*>(data);
    while (done < size) {
        const ssize_t n = ::pwrite(fd_, bytes + done, size - done, offset + done);
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
