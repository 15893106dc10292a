#include "tables/AppendWindow.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include "tables/EngineFile.h"
#include "tables/FileOps.h"

namespace qp::tables {

namespace {

constexpr int64_t kPage = 4096;
// The file grows by this much at a time: little enough that its size still tells how far
// the records go, large enough to halve the calls.
constexpr int64_t kGrowth = 2 * kPage;
constexpr int64_t kWindow = int64_t(1) << 20;  // mapped at a time
constexpr int64_t kReserve = int64_t(1) << 20; // disk space reserved ahead
constexpr size_t kHeadLength = size_t(kPage);

int64_t PageFloor(int64_t offset) {
    return offset / kPage * kPage;
}

} // namespace

AppendWindow::AppendWindow(EngineFile& file, int64_t size) : file_(file), size_(size) {
    reserved_ = size;
    usable_ = file.Writable();
}

AppendWindow::~AppendWindow() {
    Unmap();
    if (head_)
        ::munmap(head_, kHeadLength);
}

void AppendWindow::Unmap() {
    if (base_)
        ::munmap(base_, size_t(length_));
    base_ = nullptr;
    start_ = length_ = 0;
}

void AppendWindow::NoteSize(int64_t size) {
    size_ = size;
    reserved_ = std::max(reserved_, size);
}

unsigned char* AppendWindow::Reserve(int64_t offset, int64_t end) {
    if (!usable_)
        return nullptr;
    const int64_t before = size_;
    if (end > size_) {
        const int64_t grown = (end + kGrowth - 1) / kGrowth * kGrowth;
        if (grown > reserved_) {
            // Space first: a store into a mapped page the disk has no room for would kill
            // the process instead of failing a call. A disk nearly full still takes the
            // records it has room for: then only the space needed now is asked for.
            int64_t ahead = kReserve;
            int failed =
                FileOps::Reserve(file_.Fd(), reserved_, grown - reserved_ + ahead, file_.Path());
            if (failed == ENOSPC || failed == EDQUOT) {
                ahead = 0;
                failed = FileOps::Reserve(file_.Fd(), reserved_, grown - reserved_, file_.Path());
            }
            if (failed == EOPNOTSUPP || failed == ENOSYS) {
                usable_ = false;
                Unmap();
                return nullptr;
            }
            if (failed != 0)
                FileOps::Fail("write", file_.Path(), failed);
            reserved_ = grown + ahead;
        }
        file_.Truncate(grown);
        size_ = grown;
    }
    if (!base_ || offset < start_ || end > start_ + length_) {
        Unmap();
        const int64_t start = PageFloor(offset);
        const int64_t length = std::max(kWindow, PageFloor(end - start) + 2 * kPage);
        void* map =
            ::mmap(nullptr, size_t(length), PROT_READ | PROT_WRITE, MAP_SHARED, file_.Fd(), start);
        if (map == MAP_FAILED) {
            usable_ = false;
            return nullptr;
        }
        base_ = static_cast<unsigned char*>(map);
        start_ = start;
        length_ = length;
        // Pages are filled here, not read: reading ahead around each new page is waste.
        ::madvise(base_, size_t(length_), MADV_RANDOM);
    }
    if (size_ > before) {
        // The pages the file just grew by are made ready in one call rather than one fault
        // each (a kernel without the call faults them in as before).
        const int64_t from = std::max(PageFloor(before), start_);
        const int64_t to = std::min(size_, start_ + length_);
        if (to > from)
            ::madvise(base_ + (from - start_), size_t(to - from), MADV_POPULATE_WRITE);
    }
    return base_ + (offset - start_);
}

unsigned char* AppendWindow::Held(int64_t offset, int64_t end) {
    if (!base_ || offset < start_ || end > start_ + length_ || end > size_)
        return nullptr;
    return base_ + (offset - start_);
}

unsigned char* AppendWindow::Head(size_t length) {
    if (!usable_ || length > kHeadLength || int64_t(length) > size_)
        return nullptr;
    if (!head_) {
        void* map = ::mmap(nullptr, kHeadLength, PROT_READ | PROT_WRITE, MAP_SHARED, file_.Fd(), 0);
        if (map == MAP_FAILED)
            return nullptr;
        head_ = static_cast<unsigned char*>(map);
    }
    return head_;
}

void AppendWindow::Finish(int64_t length) {
    if (base_)
        ::msync(base_, size_t(std::min(length_, std::max<int64_t>(0, size_ - start_))), MS_SYNC);
    if (head_)
        ::msync(head_, kHeadLength, MS_SYNC);
    if (size_ > length) {
        // Nothing of the window beyond the new end may be touched again.
        if (base_ && start_ + length_ > length)
            Unmap();
        file_.Truncate(length);
        size_ = reserved_ = length;
    }
}

} // namespace qp::tables
