#include "faximage/core/BufferedFileWriter.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "faximage/core/FaxImageResult.h"

BufferedFileWriter::~BufferedFileWriter() {
    if (fd_ >= 0) {
        Close();
    }
}

int BufferedFileWriter::Create(const std::string& fileName) {
    if (fd_ >= 0) {
        Abandon();
    }
    if (fileName.empty()) {
        return faxresult::FileNotFound;
    }
    fd_ = ::open(fileName.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd_ < 0) {
        return faxresult::FromErrno(errno);
    }
    fileName_ = fileName;
    filePosition_ = 0;
    buffered_ = 0;
    return 0;
}

int BufferedFileWriter::Write(const void* data, std::size_t size) {
    if (fd_ < 0) {
        return faxresult::AccessDenied;
    }
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    if (buffered_ + size < BufferSize) {
        std::memcpy(buffer_ + buffered_, bytes, size);
        buffered_ += size;
        return 0;
    }
    const std::size_t topUp = BufferSize - buffered_;
    std::memcpy(buffer_ + buffered_, bytes, topUp);
    buffered_ = BufferSize;
    int result = Flush();
    if (result != 0) {
        return result;
    }
    bytes += topUp;
    size -= topUp;
    const std::size_t direct = size / BufferSize * BufferSize;
    if (direct > 0) {
        result = WriteDirect(bytes, direct);
        if (result != 0) {
            return result;
        }
    }
    std::memcpy(buffer_, bytes + direct, size - direct);
    buffered_ = size - direct;
    return 0;
}

int BufferedFileWriter::Seek(std::uint64_t position) {
    if (fd_ < 0) {
        return faxresult::AccessDenied;
    }
    int result = Flush();
    if (result != 0) {
        return result;
    }
    if (::lseek(fd_, static_cast<off_t>(position), SEEK_SET) < 0) {
        return Fail(faxresult::FromErrno(errno));
    }
    filePosition_ = position;
    return 0;
}

int BufferedFileWriter::Flush() {
    if (buffered_ == 0) {
        return 0;
    }
    const std::size_t count = buffered_;
    buffered_ = 0;
    return WriteDirect(buffer_, count);
}

int BufferedFileWriter::WriteDirect(const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd_, data, size);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return Fail(faxresult::FromErrno(written < 0 ? errno : ENOSPC));
        }
        data += written;
        size -= static_cast<std::size_t>(written);
        filePosition_ += static_cast<std::uint64_t>(written);
    }
    return 0;
}

int BufferedFileWriter::Close() {
    if (fd_ < 0) {
        return 0;
    }
    int result = Flush();
    if (result != 0) {
        return result;
    }
    if (::close(fd_) != 0) {
        result = faxresult::FromErrno(errno);
        fd_ = -1;
        std::remove(fileName_.c_str());
        return result;
    }
    fd_ = -1;
    return 0;
}

void BufferedFileWriter::Abandon() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
        std::remove(fileName_.c_str());
    }
    buffered_ = 0;
}

int BufferedFileWriter::Fail(int error) {
    Abandon();
    return error;
}
