#include "faximage/core/ApfReader.h"

#include "faximage/core/FaxImageResult.h"

void ApfReader::Close() {
    input_.Close();
    fileName_.clear();
    pages_.clear();
    pageHeaderReads_ = 0;
}

int ApfReader::Open(const std::string& fileName) {
    Close();
    int result = input_.Open(fileName);
    if (result != 0) {
        return result;
    }
    std::uint8_t bytes[ApfFileHeader::Size];
    std::size_t got = 0;
    result = input_.ReadSome(bytes, sizeof bytes, got);
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
    fileName_ = fileName;
    return 0;
}

bool ApfReader::IsCurrent(const std::string& fileName) const {
    BinaryInput::Identity now;
    return IsOpen() && fileName == fileName_ && BinaryInput::IdentityOf(fileName, now) &&
           now == input_.OpenedIdentity();
}

int ApfReader::FindPage(unsigned page, ApfPageHeader& result) {
    if (!IsOpen() || page == 0 || page > header_.pageCount) {
        return faxresult::NotApfFile;
    }
    while (pages_.size() < page) {
        const std::uint64_t position =
            pages_.empty() ? header_.firstPageOffset
                           : pages_.back().DataPosition() + pages_.back().imageLength;
        ApfPageHeader next;
        const int status = ReadPageHeader(position, next);
        if (status != 0) {
            return status;
        }
        pages_.push_back(next);
    }
    result = pages_[page - 1];
    return 0;
}

int ApfReader::ReadPageHeader(std::uint64_t position, ApfPageHeader& result) {
    if (position + ApfPageHeader::Size > input_.Size()) {
        return faxresult::NotApfFile;
    }
    std::uint8_t bytes[ApfPageHeader::Size];
    std::size_t got = 0;
    int status = input_.Seek(position);
    if (status == 0) {
        status = input_.ReadSome(bytes, sizeof bytes, got);
    }
    if (status != 0) {
        return status;
    }
    if (got < sizeof bytes) {
        return faxresult::NotApfFile;
    }
    ++pageHeaderReads_;
    result = ApfPageHeader::Parse(bytes, position);
    return 0;
}

int ApfReader::Seek(std::uint64_t position) {
    return input_.Seek(position);
}

int ApfReader::Read(void* buffer, std::size_t size, std::size_t& got) {
    return input_.ReadSome(buffer, size, got);
}

int ApfReader::ReadFileHeader(const std::string& fileName, ApfFileHeader& result) {
    ApfReader reader;
    const int status = reader.Open(fileName);
    if (status == 0) {
        result = reader.Header();
    }
    return status;
}
