#include "faxcomm/core/ReceivedFaxFile.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include "faximage/core/ApfFileHeader.h"
#include "faximage/core/ApfPageHeader.h"

namespace qpfax {

namespace {
constexpr int kShortWrite = -160;
}

ReceivedFaxFile::~ReceivedFaxFile() {
    Close();
}

int ReceivedFaxFile::WriteAt(std::uint64_t position, const std::uint8_t* data, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n =
            ::pwrite(fd_, data + done, size - done, static_cast<off_t>(position + done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return kShortWrite;
        }
        done += static_cast<std::size_t>(n);
    }
    return 0;
}

int ReceivedFaxFile::WriteFileHeader() {
    ApfFileHeader header;
    header.creationTime = created_;
    header.stationId = remoteId_;
    header.pageCount = static_cast<std::uint16_t>(pages_);
    const auto bytes = header.Serialize();
    return WriteAt(0, bytes.data(), bytes.size());
}

int ReceivedFaxFile::Create(const std::string& path, const std::string& remoteId) {
    Close();
    fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd_ < 0) {
        return errno == ENOENT ? -3 : (errno == EACCES ? -5 : -errno);
    }
    path_ = path;
    remoteId_ = remoteId.substr(0, 20);
    remoteId_.resize(20, ' ');
    created_ = ApfFileHeader::PackDosTimeNow();
    pages_ = 0;
    pageOpen_ = false;
    end_ = ApfFileHeader::Size;
    return WriteFileHeader();
}

int ReceivedFaxFile::StartPage(std::uint16_t flags) {
    if (!IsOpen()) {
        return -103;
    }
    if (pageOpen_) {
        DiscardPage();
    }
    ApfPageHeader header;
    header.flags = flags;
    const auto bytes = header.Serialize();
    pageStart_ = end_;
    pageFlags_ = flags;
    if (const int result = WriteAt(pageStart_, bytes.data(), bytes.size()); result < 0) {
        return result;
    }
    end_ = pageStart_ + ApfPageHeader::Size;
    pageOpen_ = true;
    return 0;
}

int ReceivedFaxFile::Append(const std::uint8_t* data, std::size_t size) {
    if (!pageOpen_) {
        return -103;
    }
    if (const int result = WriteAt(end_, data, size); result < 0) {
        return result;
    }
    end_ += size;
    return 0;
}

int ReceivedFaxFile::FinishPage() {
    if (!pageOpen_) {
        return 0;
    }
    ApfPageHeader header;
    header.flags = pageFlags_;
    header.imageLength = static_cast<std::uint32_t>(end_ - pageStart_ - ApfPageHeader::Size);
    const auto bytes = header.Serialize();
    if (const int result = WriteAt(pageStart_, bytes.data(), bytes.size()); result < 0) {
        return result;
    }
    pageOpen_ = false;
    ++pages_;
    return WriteFileHeader();
}

int ReceivedFaxFile::DiscardPage() {
    if (!pageOpen_) {
        return 0;
    }
    pageOpen_ = false;
    end_ = pageStart_;
    return ::ftruncate(fd_, static_cast<off_t>(pageStart_)) == 0 ? 0 : -errno;
}

void ReceivedFaxFile::Close() {
    if (fd_ < 0) {
        return;
    }
    DiscardPage();
    ::close(fd_);
    fd_ = -1;
}

} // namespace qpfax
