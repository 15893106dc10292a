#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "faximage/core/ApfFileHeader.h"
#include "faximage/core/ApfPageHeader.h"

// Reads an APF file: checks the header, walks the page headers, reads page data.
// Every operation returns 0 or a negative result code (faxresult).
class ApfReader {
public:
    ApfReader() = default;
    ~ApfReader();
    ApfReader(const ApfReader&) = delete;
    ApfReader& operator=(const ApfReader&) = delete;

    // Opens the file and checks its header: -2 for an empty name, the negated file-system
    // error when it cannot be opened or read, -8001 when the signature does not match.
    int Open(const std::string& fileName);
    void Close();
    bool IsOpen() const { return file_ != nullptr; }

    const ApfFileHeader& Header() const { return header_; }
    std::uint64_t FileSize() const { return fileSize_; }

    // Walks the page headers to page `page` (from 1). -8001 when the page number is 0 or
    // beyond the page count, or when the file ends before that page's header.
    int FindPage(unsigned page, ApfPageHeader& result);

    // Positions the file for reading.
    int Seek(std::uint64_t position);
    // Reads up to `size` bytes; `got` tells how many arrived (fewer at end of file).
    int Read(void* buffer, std::size_t size, std::size_t& got);

    // Convenience: the header of a file in one call.
    static int ReadFileHeader(const std::string& fileName, ApfFileHeader& result);

private:
    std::FILE* file_ = nullptr;
    std::uint64_t fileSize_ = 0;
    ApfFileHeader header_;
};
