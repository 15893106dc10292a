#include "faximage/core/BinaryInput.h"

#include <cerrno>

#include <sys/stat.h>

#include "faximage/core/FaxImageResult.h"

namespace {

BinaryInput::Identity IdentityFromStat(const struct stat& status) {
    BinaryInput::Identity identity;
    identity.device = static_cast<std::uint64_t>(status.st_dev);
    identity.inode = static_cast<std::uint64_t>(status.st_ino);
    identity.size = status.st_size > 0 ? static_cast<std::uint64_t>(status.st_size) : 0;
    identity.modifiedSeconds = static_cast<std::int64_t>(status.st_mtim.tv_sec);
    identity.modifiedNanoseconds = static_cast<std::int64_t>(status.st_mtim.tv_nsec);
    return identity;
}

} // namespace

int BinaryInput::Open(const std::string& fileName) {
    Close();
    if (fileName.empty()) {
        return faxresult::FileNotFound;
    }
    file_ = std::fopen(fileName.c_str(), "rb");
    if (!file_) {
        return faxresult::FromErrno(errno);
    }
    struct stat status {};
    if (fstat(fileno(file_), &status) != 0) {
        const int error = faxresult::FromErrno(errno);
        Close();
        return error;
    }
    identity_ = IdentityFromStat(status);
    return 0;
}

void BinaryInput::Close() {
    if (file_) {
        std::fclose(file_);
        file_ = nullptr;
    }
    identity_ = Identity{};
}

bool BinaryInput::IdentityOf(const std::string& fileName, Identity& result) {
    struct stat status {};
    if (fileName.empty() || stat(fileName.c_str(), &status) != 0) {
        return false;
    }
    result = IdentityFromStat(status);
    return true;
}

std::uint64_t BinaryInput::Position() const {
    const off_t position = file_ ? ftello(file_) : 0;
    return position > 0 ? static_cast<std::uint64_t>(position) : 0;
}

int BinaryInput::Seek(std::uint64_t position) {
    if (!file_) {
        return faxresult::AccessDenied;
    }
    if (position > identity_.size) {
        return faxresult::ReadBeyondEof;
    }
    if (fseeko(file_, static_cast<off_t>(position), SEEK_SET) != 0) {
        return faxresult::FromErrno(errno);
    }
    return 0;
}

int BinaryInput::ReadSome(void* buffer, std::size_t size, std::size_t& got) {
    got = 0;
    if (!file_) {
        return faxresult::AccessDenied;
    }
    got = std::fread(buffer, 1, size, file_);
    if (got < size && std::ferror(file_)) {
        return faxresult::FromErrno(errno);
    }
    return 0;
}

int BinaryInput::ReadExact(void* buffer, std::size_t size) {
    std::size_t got = 0;
    const int result = ReadSome(buffer, size, got);
    if (result != 0) {
        return result;
    }
    return got < size ? faxresult::ReadBeyondEof : 0;
}

int BinaryInput::ReadByte(std::uint8_t& value) {
    if (!file_) {
        return faxresult::AccessDenied;
    }
    const int c = std::fgetc(file_);
    if (c == EOF) {
        return std::ferror(file_) ? faxresult::FromErrno(errno) : faxresult::ReadBeyondEof;
    }
    value = static_cast<std::uint8_t>(c);
    return 0;
}
