#include "spell/core/DictionarySection.h"

#include <algorithm>
#include <cstring>

#include "spell/core/DictionaryFile.h"

namespace {

// Child indexes are 16-bit, so no section can address more nodes than this.
constexpr int kAddressableNodes = 65535;

} // namespace

DictionarySection::DictionarySection(std::shared_ptr<DictionaryFile> file,
                                     const SectionHeader& header, std::int64_t position,
                                     bool mainList, int number)
    : file_(std::move(file)), header_(header), position_(position), mainList_(mainList),
      generation_(file_->Generation()), number_(number) {
    if (mainList_) {
        cache_.resize(CacheSlots);
    }
}

DictionarySection::~DictionarySection() = default;

bool DictionarySection::IsPlausible(const SectionHeader& header, bool mainList) {
    if (header.nodesInUse < 0 || header.capacity < 0 || header.nodesInUse > kAddressableNodes) {
        return false;
    }
    // Nodes of a main list never reach into the next section; a user list may grow past
    // its capacity.
    return !mainList || header.nodesInUse <= header.capacity;
}

bool DictionarySection::IsWritable() const {
    return !mainList_ && file_->IsWritable();
}

const std::string& DictionarySection::FileName() const {
    return file_->Path();
}

std::int64_t DictionarySection::EndOfCapacity() const {
    return NodeOffset(1) + std::int64_t{DictionaryFormat::NodeSize} * header_.capacity;
}

std::int64_t DictionarySection::NodeOffset(int index) const {
    return position_ + DictionaryFormat::HeaderSize +
           std::int64_t{DictionaryFormat::NodeSize} * (index - 1);
}

bool DictionarySection::ReadNode(int index, DictionaryNode& node) {
    if (index < 1 || index > header_.nodesInUse || !headerValid_) {
        return false;
    }
    return mainList_ ? ReadCachedNode(index, node) : ReadUncachedNode(index, node);
}

bool DictionarySection::ReadCachedNode(int index, DictionaryNode& node) {
    // Blocks start at node indexes 1, 9, 17, ...; block b goes into slot b mod 1024.
    const int block = (index - 1) / BlockNodes;
    const std::int64_t blockOffset = NodeOffset(1) + std::int64_t{BlockBytes} * block;
    CacheSlot& slot = cache_[static_cast<std::size_t>(block % CacheSlots)];
    if (slot.offset != blockOffset) {
        FillSlot(slot, blockOffset);
    }
    const std::size_t within =
        static_cast<std::size_t>((index - 1) % BlockNodes) * DictionaryFormat::NodeSize;
    if (within + DictionaryFormat::NodeSize > slot.length) {
        return false;
    }
    node = DictionaryNode::Decode(slot.bytes.data() + within);
    return true;
}

void DictionarySection::FillSlot(CacheSlot& slot, std::int64_t blockOffset) {
    const char* image = file_->Image();
    if (image && blockOffset + BlockBytes <= file_->ImageSize()) {
        std::memcpy(slot.bytes.data(), image + blockOffset, BlockBytes);
        slot.length = BlockBytes;
    } else {
        slot.length = file_->ReadAt(blockOffset, slot.bytes.data(), slot.bytes.size());
    }
    slot.offset = blockOffset;
}

bool DictionarySection::ReadUncachedNode(int index, DictionaryNode& node) const {
    unsigned char bytes[DictionaryFormat::NodeSize];
    if (!file_->ReadExactly(NodeOffset(index), bytes, sizeof bytes)) {
        return false;
    }
    node = DictionaryNode::Decode(bytes);
    return true;
}

bool DictionarySection::ReloadHeader(std::chrono::milliseconds wait) {
    if (headerValid_ && generation_ == file_->Generation() && file_->IsCurrent()) {
        return true; // the same file: lists are replaced whole, so nothing was added
    }
    const bool locked = file_->Lock(DictionaryFile::LockKind::lkShared, wait);
    if (file_->Generation() != generation_) {
        generation_ = file_->Generation();
        position_ = file_->SectionsStart();
    }
    const bool read = ReadHeaderAt(position_);
    if (locked) {
        file_->Unlock();
    }
    return read;
}

bool DictionarySection::ReadHeaderAt(std::int64_t position) {
    unsigned char bytes[DictionaryFormat::HeaderSize];
    if (position >= 0 && file_->ReadExactly(position, bytes, sizeof bytes)) {
        const SectionHeader header = SectionHeader::Decode(bytes);
        if (IsPlausible(header, mainList_) && header.IsMainList() == mainList_) {
            header_ = header;
            headerValid_ = true;
            return true;
        }
    }
    headerValid_ = false;
    return false;
}

void DictionarySection::Adopt(const SectionHeader& header, std::int64_t position) {
    header_ = header;
    position_ = position;
    generation_ = file_->Generation();
    headerValid_ = true;
}

bool DictionarySection::ContainsWord(const std::vector<int>& codes) {
    if (codes.empty()) {
        return false;
    }
    std::size_t position = 0;
    int index = 1;
    DictionaryNode node;
    // Every step either moves to the next node of a list (bounded by the nodes in use)
    // or descends one letter, so damaged files cannot make this loop forever.
    while (ReadNode(index, node)) {
        if (node.LetterCode() == codes[position]) {
            const bool lastLetter = position + 1 == codes.size();
            if (lastLetter && node.EndsWord()) {
                return true;
            }
            if (!lastLetter && node.HasChildList()) {
                index = node.child;
                ++position;
                continue;
            }
        }
        if (node.IsLastSibling()) {
            return false;
        }
        ++index;
    }
    return false;
}
