#include "tables/TagTree.h"

#include "tables/ByteOrder.h"
#include "tables/CdxFile.h"
#include "tables/CdxLeaf.h"
#include "tables/CdxWriter.h"
#include "tables/FileOps.h"
#include "tables/TableFault.h"

namespace qp::tables {

namespace {
constexpr uint32_t kNone = 0xFFFFFFFF;
}

TagTree::TagTree(CdxFile& file, const CdxTagHeader& header, char pad)
    : file_(file), header_(header), pad_(pad),
      directory_(header.keyLength, 0, FileOps::FolderOf(file.Path())) {}

void TagTree::AddLeafRead(const CdxReader::LeafSummary& leaf) {
    std::string last = leaf.count > 0 ? leaf.lastKey : std::string(size_t(KeyLength()), pad_);
    directory_.Insert(directory_.Size(), leaf.page, leaf.count, last.data(), leaf.lastRecno);
    highestRead_ = std::max(highestRead_, leaf.highestRecno);
}

CdxLeaf& TagTree::Leaf(size_t index) const {
    return file_.Cache().Get(const_cast<TagTree&>(*this), directory_.Page(index), index);
}

CdxLeaf& TagTree::LeafForChange(size_t index) {
    return file_.Cache().GetForChange(*this, directory_.Page(index), index);
}

void TagTree::MarkChanged(size_t index) const {
    file_.Cache().GetForChange(const_cast<TagTree&>(*this), directory_.Page(index), index);
}

void TagTree::ReadLeaf(uint32_t page, size_t index, CdxLeaf& leaf) const {
    // Where the leaf is, for messages; only put together when there is one to give.
    const auto where = [&] {
        return "Index " + file_.Path() + ": leaf node at offset " + std::to_string(page);
    };
    unsigned char bytes[CdxLeaf::kPageSize];
    file_.ReadPage(page, bytes);
    const char* before = index > 0 ? directory_.LastKey(index - 1) : nullptr;
    try {
        leaf.Decode(bytes, std::string(), before);
    } catch (const TableFault& fault) {
        throw TableFault(fault.Code(), where() + fault.what());
    }
    // The leaf must still be what the directory says it is.
    const int count = directory_.Count(index);
    if (leaf.Count() != count || (count > 0 && leaf.Compare(count - 1, directory_.LastKey(index),
                                                            directory_.LastRecno(index)) != 0))
        throw TableFault(tbeCorrupt, where() + " was changed by another program");
}

void TagTree::WriteLeaf(uint32_t page, const CdxLeaf& leaf) const {
    size_t index = 0;
    if (!leaf.Empty())
        index = directory_.Find(leaf.KeyAt(leaf.Count() - 1), leaf.RecnoAt(leaf.Count() - 1));
    if (directory_.Page(index) != page)
        throw TableFault(tbeCorrupt, "Index " + file_.Path() + ": tag " + header_.name +
                                         " lost track of its leaf at offset " +
                                         std::to_string(page));
    const uint32_t left = index > 0 ? directory_.Page(index - 1) : kNone;
    const uint32_t right = index + 1 < directory_.Size() ? directory_.Page(index + 1) : kNone;
    unsigned char bytes[CdxLeaf::kPageSize];
    leaf.Encode(bytes, directory_.Size() == 1, left, right);
    file_.WritePage(page, bytes);
}

bool TagTree::Insert(const std::string& key, uint32_t recno) {
    const size_t index = directory_.Find(key.data(), recno);
    const uint32_t page = directory_.Page(index);
    CdxLeaf& leaf = file_.Cache().Get(*this, page, index);
    const int at = leaf.LowerBound(key.data(), recno);
    if (at < leaf.Count() && leaf.Compare(at, key.data(), recno) == 0)
        return false;
    file_.Cache().MarkDirty(page);
    leaf.Insert(at, key.data(), recno);
    directory_.SetCount(index, leaf.Count());
    if (at == leaf.Count() - 1) {
        directory_.SetLast(index, key.data(), recno);
        levelsChanged_ = true;
    }
    ++version_;
    if (!leaf.Fits())
        Split(index, at);
    return true;
}

void TagTree::Split(size_t index, int insertedAt) {
    CdxLeaf& leaf = Leaf(index);
    // A key added at the very end (keys arriving in order) starts a leaf of its own, so
    // that leaves filled in order stay full; otherwise the leaf is halved.
    const bool atEnd = index + 1 == directory_.Size() && insertedAt == leaf.Count() - 1;
    const int from = atEnd ? leaf.Count() - 1 : leaf.Count() / 2;
    const uint32_t page = file_.AllocatePage();
    CdxLeaf& tail = file_.Cache().Create(*this, page);
    leaf.MoveTail(from, tail);
    directory_.SetCount(index, leaf.Count());
    directory_.SetLast(index, leaf.KeyAt(leaf.Count() - 1), leaf.RecnoAt(leaf.Count() - 1));
    directory_.Insert(index + 1, page, tail.Count(), tail.KeyAt(tail.Count() - 1),
                      tail.RecnoAt(tail.Count() - 1));
    file_.Cache().MarkDirty(directory_.Page(index));
    levelsChanged_ = true;
    const bool leafFits = leaf.Fits(), tailFits = tail.Fits();
    if (index + 2 < directory_.Size())
        MarkChanged(index + 2); // its left neighbour is the new leaf
    // Keys that share little with their neighbours can leave a half still too full.
    if (!tailFits)
        Split(index + 1, -1);
    if (!leafFits)
        Split(index, -1);
}

bool TagTree::Remove(const std::string& key, uint32_t recno) {
    const size_t index = directory_.Find(key.data(), recno);
    CdxLeaf& leaf = Leaf(index);
    const int at = leaf.LowerBound(key.data(), recno);
    if (at >= leaf.Count() || leaf.Compare(at, key.data(), recno) != 0)
        return false;
    LeafForChange(index).Erase(at);
    const uint32_t page = directory_.Page(index);
    ++version_;
    if (leaf.Empty() && directory_.Size() > 1) {
        // The empty leaf goes; its neighbours point past it.
        file_.Cache().Drop(page);
        file_.FreePage(page);
        directory_.Erase(index);
        levelsChanged_ = true;
        if (index > 0)
            MarkChanged(index - 1);
        if (index < directory_.Size())
            MarkChanged(index);
        return true;
    }
    directory_.SetCount(index, leaf.Count());
    if (at == leaf.Count() && !leaf.Empty()) {
        directory_.SetLast(index, leaf.KeyAt(at - 1), leaf.RecnoAt(at - 1));
        levelsChanged_ = true;
    }
    return true;
}

void TagTree::Locate(long pos, size_t& index, long& first) const {
    if (lastVersion_ == version_ && pos >= lastFirst_ &&
        pos < lastFirst_ + directory_.Count(lastIndex_)) {
        index = lastIndex_;
        first = lastFirst_;
        return;
    }
    index = directory_.AtPosition(pos, first);
    lastIndex_ = index;
    lastFirst_ = first;
    lastVersion_ = version_;
}

uint32_t TagTree::RecnoAt(long pos) const {
    size_t index;
    long first;
    Locate(pos, index, first);
    return Leaf(index).RecnoAt(int(pos - first));
}

std::string TagTree::KeyAt(long pos) const {
    size_t index;
    long first;
    Locate(pos, index, first);
    return Leaf(index).Key(int(pos - first));
}

long TagTree::Find(const std::string& key, uint32_t recno) const {
    const size_t index = directory_.Find(key.data(), recno);
    const CdxLeaf& leaf = Leaf(index);
    const int at = leaf.LowerBound(key.data(), recno);
    if (at >= leaf.Count() || leaf.Compare(at, key.data(), recno) != 0)
        return -1;
    return directory_.FirstPosition(index) + at;
}

long TagTree::LowerBound(const std::string& key, uint32_t recno) const {
    const size_t index = directory_.Find(key.data(), recno);
    const int at = Leaf(index).LowerBound(key.data(), recno);
    return directory_.FirstPosition(index) + at;
}

void TagTree::Flush() {
    if (directory_.Size() == 1 && rootOnDisk_ != directory_.Page(0))
        MarkChanged(0); // the only leaf becomes the root
    file_.Cache().WriteDirty(*this);
    if (!levelsChanged_ && rootOnDisk_ != 0)
        return;
    for (uint32_t page : interiorPages_)
        file_.FreePage(page);
    interiorPages_.clear();
    uint32_t root = directory_.Page(0);
    if (directory_.Size() > 1) {
        // The leaves are described to the level above one at a time, never all at once.
        size_t next = 0;
        const CdxWriter::NextChild nextLeaf = [&](CdxWriter::Child& child) {
            if (next >= directory_.Size())
                return false;
            child.lastKey.assign(directory_.LastKey(next), size_t(KeyLength()));
            child.lastRecno = directory_.LastRecno(next);
            child.page = directory_.Page(next);
            ++next;
            return true;
        };
        root = CdxWriter::WriteInterior(
            directory_.Size(), nextLeaf, KeyLength(), [&] { return file_.AllocatePage(); },
            [&](uint32_t offset, const unsigned char* page) { file_.WritePage(offset, page); },
            &interiorPages_);
    }
    if (root != rootOnDisk_) {
        unsigned char pointer[4];
        bytes::PutLE32(pointer, root);
        file_.WriteBytes(header_.headerOffset, pointer, 4);
        rootOnDisk_ = root;
    }
    levelsChanged_ = false;
}

void TagTree::Forget() {
    file_.Cache().DropAll(*this);
}

} // namespace qp::tables
