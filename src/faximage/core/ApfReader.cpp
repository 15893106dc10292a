#include "faximage/core/ApfReader.h"

#include <cerrno>

#include "faximage/core/FaxImageResult.h"

ApfReader::~ApfReader() {
    Close();
}

void ApfReader::Close() {
    if (file_) {
        std::fclose(file_);
        file_ = nullptr;
    }
}

int ApfReader::Open(const std::string& fileName) {
    Close();
    if (fileName.empty()) {
        return faxresult::FileNotFound;
    }
    file_ = std::fopen(fileName.c_str(), "rb");
    if (!file_) {
        return faxresult::FromErrno(errno);
    }
    if (std::fseek(file_, 0, SEEK_END) != 0) {
        const int error = faxresult::FromErrno(errno);
        Close();
        return error;
    }
    fileSize_ = static_cast<std::uint64_t>(std::ftell(file_));
    std::uint8_t bytes[ApfFileHeader::Size];
    std::size_t got = 0;
    int result = Seek(0);
    if (result == 0) {
        result = Read(bytes, sizeof bytes, got);
    }
    if (result == 0 && (got < 6 || !ApfFileHeader::HasSignature(bytes))) {
        result = faxresult::NotApfFile;
    } else if (result == 0 && got < sizeof bytes) {
        result = faxresult::ReadBeyondEof;
    }
    if (result != 0) {
        Close();
        return result;
    }
    header_ = ApfFileHeader::Parse(bytes);
    return 0;
}

int ApfReader::FindPage(unsigned page, ApfPageHeader& result) {
    if (!file_ || page == 0 || page > header_.pageCount) {
        return faxresult::NotApfFile;
    }
    std::uint64_t position = header_.firstPageOffset;
    for (unsigned index = 1;; ++index) {
        if (position + ApfPageHeader::Size > fileSize_) {
            return faxresult::NotApfFile;
        }
        std::uint8_t bytes[ApfPageHeader::Size];
        std::size_t got = 0;
        int status = Seek(position);
        if (status == 0) {
            status = Read(bytes, sizeof bytes, got);
        }
        if (status != 0) {
            return status;
        }
        if (got < sizeof bytes) {
            return faxresult::NotApfFile;
        }
        result = ApfPageHeader::Parse(bytes, position);
        if (index == page) {
            return 0;
        }
        position += ApfPageHeader::Size + static_cast<std::uint64_t>(result.imageLength);
    }
}

int ApfReader::Seek(std::uint64_t position) {
    if (!file_) {
        return faxresult::AccessDenied;
    }
    if (fseeko(file_, static_cast<off_t>(position), SEEK_SET) != 0) {
        return faxresult::FromErrno(errno);
    }
    return 0;
}

int ApfReader::Read(void* buffer, std::size_t size, std::size_t& got) {
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

int ApfReader::ReadFileHeader(const std::string& fileName, ApfFileHeader& result) {
    ApfReader reader;
    const int status = reader.Open(fileName);
    if (status == 0) {
        result = reader.Header();
    }
    return status;
}
