#include "tables/CdxFile.h"

#include "tables/ByteOrder.h"
#include "tables/EngineFile.h"
#include "tables/TableFault.h"

namespace qp::tables {

namespace {
constexpr uint32_t kPage = 512;
constexpr uint32_t kHeader = 1024;
} // namespace

CdxFile::CdxFile(const std::string& path, bool writable, size_t cachedLeaves, size_t cachedBytes)
    : path_(path), writable_(writable),
      file_(std::make_unique<EngineFile>(
          "Index", path, writable ? EngineFile::Access::kReadWrite : EngineFile::Access::kReadOnly,
          EngineFile::Lock::kNone)),
      reader_(std::make_unique<CdxReader>(path)), headers_(reader_->Tags()),
      trees_(headers_.size()), cache_(cachedLeaves, cachedBytes) {
    foundStale_ = markedStale_ = reader_->MarkedStale();
    const uint64_t size = reader_->FileSize();
    end_ = (size + kPage - 1) / kPage * kPage;
    used_.assign(size_t(end_ / kPage), false);
    MarkUsed(0, kHeader);
    for (uint32_t page : reader_->DirectoryPages())
        MarkUsed(page, kPage);
    for (const auto& header : headers_)
        MarkUsed(header.headerOffset, kHeader);
}

CdxFile::~CdxFile() {
    // Leaves held for trees that go now are not written: Flush is the time for that.
    for (auto& tree : trees_) {
        if (tree)
            tree->Forget();
    }
}

void CdxFile::MarkUsed(uint32_t offset, size_t length) {
    for (size_t page = offset / kPage; page < (offset + length) / kPage && page < used_.size();
         ++page)
        used_[page] = true;
}

TagTree& CdxFile::LoadTree(size_t tag, char pad) {
    auto tree = std::make_unique<TagTree>(*this, headers_[tag], pad);
    TagTree& loaded = *tree;
    const uint32_t root = reader_->WalkTree(
        headers_[tag], pad, {},
        [&](const CdxReader::LeafSummary& leaf) {
            loaded.AddLeafRead(leaf);
            MarkUsed(leaf.page, kPage);
        },
        [&](uint32_t page) {
            loaded.AddInteriorRead(page);
            MarkUsed(page, kPage);
        });
    loaded.SetRootRead(root);
    trees_[tag] = std::move(tree);
    return loaded;
}

void CdxFile::CollectFreePages() {
    freeCollected_ = true;
    for (const auto& tree : trees_) {
        if (!tree)
            return; // a tree not read: its pages are not known, so nothing is reused
    }
    for (size_t page = used_.size(); page-- > 0;) {
        if (!used_[page])
            freePages_.push_back(uint32_t(page * kPage));
    }
}

uint32_t CdxFile::AllocatePage() {
    if (!freeCollected_)
        CollectFreePages();
    if (!freePages_.empty()) {
        const uint32_t page = freePages_.back();
        freePages_.pop_back();
        return page;
    }
    if (end_ + kPage > 0xFFFFFE00u)
        file_->Fail(tbeIo, "the index file is full");
    const uint32_t page = uint32_t(end_);
    end_ += kPage;
    return page;
}

void CdxFile::FreePage(uint32_t page) {
    if (!freeCollected_)
        CollectFreePages();
    freePages_.push_back(page);
}

void CdxFile::ReadPage(uint32_t offset, unsigned char* page) const {
    file_->ReadAt(offset, page, kPage);
}

void CdxFile::WritePage(uint32_t offset, const unsigned char* page) {
    file_->WriteAt(offset, page, kPage);
}

void CdxFile::WriteBytes(uint32_t offset, const void* data, size_t length) {
    file_->WriteAt(offset, data, length);
}

void CdxFile::MarkStale(bool stale) {
    if (stale == markedStale_)
        return;
    unsigned char counter[4];
    bytes::PutBE32(counter, stale ? 1 : 0);
    file_->WriteAt(8, counter, 4);
    if (stale)
        file_->Sync(); // on disk before the table takes the change
    markedStale_ = stale;
}

void CdxFile::Flush() {
    for (auto& tree : trees_) {
        if (tree)
            tree->Flush();
    }
    file_->Sync();
    MarkStale(false);
}

} // namespace qp::tables
