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
      number_(number) {
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

bool DictionarySection::ReadNodes(int first, int count, std::vector<DictionaryNode>& nodes) {
    nodes.clear();
    if (count <= 0) {
        return true;
    }
    if (first < 1 || first + count - 1 > header_.nodesInUse || !headerValid_) {
        return false;
    }
    std::vector<unsigned char> bytes(static_cast<std::size_t>(count) * DictionaryFormat::NodeSize);
    if (!file_->ReadExactly(NodeOffset(first), bytes.data(), bytes.size())) {
        return false;
    }
    nodes.reserve(static_cast<std::size_t>(count));
    for (std::size_t at = 0; at < bytes.size(); at += DictionaryFormat::NodeSize) {
        nodes.push_back(DictionaryNode::Decode(&bytes[at]));
    }
    return true;
}

bool DictionarySection::WriteNode(int index, const DictionaryNode& node) {
    return WriteNodes(index, {node});
}

bool DictionarySection::WriteNodes(int first, const std::vector<DictionaryNode>& nodes) {
    if (!IsWritable() || first < 1 ||
        first - 1 + static_cast<int>(nodes.size()) > kAddressableNodes) {
        return false;
    }
    std::vector<unsigned char> bytes;
    bytes.reserve(nodes.size() * DictionaryFormat::NodeSize);
    for (const auto& node : nodes) {
        const auto encoded = node.Encode();
        bytes.insert(bytes.end(), encoded.begin(), encoded.end());
    }
    return file_->WriteAt(NodeOffset(first), bytes.data(), bytes.size());
}

bool DictionarySection::ReloadHeader() {
    unsigned char bytes[DictionaryFormat::HeaderSize];
    if (file_->ReadExactly(position_, bytes, sizeof bytes)) {
        const SectionHeader header = SectionHeader::Decode(bytes);
        if (IsPlausible(header, mainList_)) {
            header_ = header;
            headerValid_ = true;
            return true;
        }
    }
    headerValid_ = false;
    return false;
}

bool DictionarySection::WriteHeader() {
    if (!headerValid_) {
        return false;
    }
    // The header records where it lies; keep that true even if the banner was edited.
    header_.headerOffset = static_cast<std::int32_t>(position_);
    const auto bytes = header_.Encode();
    return file_->WriteAt(position_, bytes.data(), bytes.size());
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
