#pragma once

#include <cstdint>
#include <string>

namespace qpfax {

// An APF file being written by the receive side: the file header (remote station ID
// padded to 20 characters, page count updated after each good page), then per page a page
// header and the page's raw coded data. A page is either finished (its header and the
// file header rewritten) or discarded (the file cut back to the page's start). Results are
// 0 or a negative code (-160 for a short write, negated system errors otherwise).
class ReceivedFaxFile {
public:
    ReceivedFaxFile() = default;
    ~ReceivedFaxFile();
    ReceivedFaxFile(const ReceivedFaxFile&) = delete;
    ReceivedFaxFile& operator=(const ReceivedFaxFile&) = delete;

    int Create(const std::string& path, const std::string& remoteId);
    int StartPage(std::uint16_t flags);
    int Append(const std::uint8_t* data, std::size_t size);
    int FinishPage();
    int DiscardPage();
    // Discards an unfinished page and closes the file.
    void Close();

    bool IsOpen() const { return fd_ >= 0; }
    bool PageOpen() const { return pageOpen_; }
    unsigned Pages() const { return pages_; }
    const std::string& Path() const { return path_; }

private:
    int WriteAt(std::uint64_t position, const std::uint8_t* data, std::size_t size);
    int WriteFileHeader();

    int fd_ = -1;
    std::string path_;
    std::string remoteId_;
    std::uint32_t created_ = 0;
    unsigned pages_ = 0;
    bool pageOpen_ = false;
    std::uint16_t pageFlags_ = 0;
    std::uint64_t pageStart_ = 0;
    std::uint64_t end_ = 0;
};

} // namespace qpfax
