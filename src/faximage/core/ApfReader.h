#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "faximage/core/ApfFileHeader.h"
#include "faximage/core/ApfPageHeader.h"
#include "faximage/core/BinaryInput.h"

// Reads an APF file: checks the header, walks the page headers, reads page data.
// The page headers found are kept, so each is read from the file once however often
// and in whatever order pages are asked for. Every operation returns 0 or a negative
// result code (faxresult).
class ApfReader {
public:
    ApfReader() = default;
    ApfReader(const ApfReader&) = delete;
    ApfReader& operator=(const ApfReader&) = delete;

    // Opens the file and checks its header: -2 for an empty name, the negated file-system
    // error when it cannot be opened or read, -8001 when the signature does not match.
    int Open(const std::string& fileName);
    void Close();
    bool IsOpen() const { return input_.IsOpen(); }
    // True when the open file is the one `fileName` names now, unchanged since it was
    // opened (same file, size and modification time).
    bool IsCurrent(const std::string& fileName) const;

    const ApfFileHeader& Header() const { return header_; }
    std::uint64_t FileSize() const { return input_.Size(); }

    // Finds page `page` (from 1). -8001 when the page number is 0 or beyond the page
    // count, or when the file ends before that page's header.
    int FindPage(unsigned page, ApfPageHeader& result);
    // Page headers read from the file since it was opened.
    unsigned PageHeaderReads() const { return pageHeaderReads_; }

    // Positions the file for reading.
    int Seek(std::uint64_t position);
    // Reads up to `size` bytes; `got` tells how many arrived (fewer at end of file).
    int Read(void* buffer, std::size_t size, std::size_t& got);

    // Convenience: the header of a file in one call.
    static int ReadFileHeader(const std::string& fileName, ApfFileHeader& result);

private:
    int ReadPageHeader(std::uint64_t position, ApfPageHeader& result);

    BinaryInput input_;
    std::string fileName_;
    ApfFileHeader header_;
    std::vector<ApfPageHeader> pages_; // the headers found so far, in page order
    unsigned pageHeaderReads_ = 0;
};
