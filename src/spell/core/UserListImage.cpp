#include "spell/core/UserListImage.h"

#include <algorithm>

namespace {

// Child indexes are 16-bit, so no section can address more nodes than this.
constexpr int kAddressableNodes = 65535;

const char kUserBanner[] = "Quillpost user word list\r\nWords added during spell checks.\r\n";

} // namespace

UserListImage::UserListImage(std::string bytes, std::int64_t headerPosition,
                             const SectionHeader& header)
    : bytes_(std::move(bytes)), headerPosition_(headerPosition), header_(header) {}

std::optional<UserListImage> UserListImage::FromBytes(std::string bytes) {
    const std::size_t bannerEnd = bytes.find(static_cast<char>(DictionaryFormat::BannerEnd));
    if (bannerEnd == std::string::npos) {
        return std::nullopt;
    }
    const std::size_t headerAt = bannerEnd + 1;
    if (bytes.size() < headerAt + DictionaryFormat::HeaderSize) {
        return std::nullopt;
    }
    const SectionHeader header =
        SectionHeader::Decode(reinterpret_cast<const unsigned char*>(&bytes[headerAt]));
    if (header.IsMainList()) {
        return std::nullopt;
    }
    return UserListImage(std::move(bytes), static_cast<std::int64_t>(headerAt), header);
}

UserListImage UserListImage::NewList() {
    std::string bytes(kUserBanner);
    bytes.push_back(static_cast<char>(DictionaryFormat::BannerEnd));
    SectionHeader header;
    header.nodesInUse = 1;
    header.capacity = DictionaryFormat::UserListCapacity;
    header.wordCounter = 1;
    header.kind = 0;
    header.headerOffset = static_cast<std::int32_t>(bytes.size());
    const auto position = static_cast<std::int64_t>(bytes.size());
    const auto encodedHeader = header.Encode();
    bytes.append(encodedHeader.begin(), encodedHeader.end());
    // Node 1 holds "A"; the empty slots repeat its flags with no child list.
    const std::uint8_t flags = DictionaryFormat::LastSiblingBit | DictionaryFormat::WordEndBit;
    const DictionaryNode first{0, flags};
    const DictionaryNode empty{DictionaryFormat::NoChild, flags};
    for (int i = 1; i <= DictionaryFormat::UserListCapacity; ++i) {
        const auto encoded = (i == 1 ? first : empty).Encode();
        bytes.append(encoded.begin(), encoded.end());
    }
    return UserListImage(std::move(bytes), position, header);
}

int UserListImage::NodesInFile() const {
    const std::int64_t behind = static_cast<std::int64_t>(bytes_.size()) - NodeOffset(1);
    return static_cast<int>(
        std::clamp<std::int64_t>(behind / DictionaryFormat::NodeSize, 0, kAddressableNodes));
}

std::int64_t UserListImage::NodeOffset(int index) const {
    return headerPosition_ + DictionaryFormat::HeaderSize +
           std::int64_t{DictionaryFormat::NodeSize} * (index - 1);
}

bool UserListImage::ReadStoredNode(int index, DictionaryNode& node) const {
    if (index < 1 || index > NodesInFile()) {
        return false;
    }
    node = DictionaryNode::Decode(reinterpret_cast<const unsigned char*>(
        &bytes_[static_cast<std::size_t>(NodeOffset(index))]));
    return true;
}

bool UserListImage::ReadNode(int index, DictionaryNode& node) const {
    return index <= header_.nodesInUse && ReadStoredNode(index, node);
}

bool UserListImage::ReadNodes(int first, int count, std::vector<DictionaryNode>& nodes) const {
    nodes.clear();
    if (count <= 0) {
        return true;
    }
    const int last = first + count - 1;
    if (first < 1 || last > header_.nodesInUse || last > NodesInFile()) {
        return false;
    }
    nodes.reserve(static_cast<std::size_t>(count));
    const auto* bytes = reinterpret_cast<const unsigned char*>(bytes_.data());
    for (int index = first; index <= last; ++index) {
        nodes.push_back(DictionaryNode::Decode(bytes + NodeOffset(index)));
    }
    return true;
}

bool UserListImage::WriteNodes(int first, const std::vector<DictionaryNode>& nodes) {
    const int last = first + static_cast<int>(nodes.size()) - 1;
    if (first < 1 || last > kAddressableNodes) {
        return false;
    }
    const auto end = static_cast<std::size_t>(NodeOffset(last + 1));
    if (bytes_.size() < end) {
        bytes_.resize(end, '\0');
    }
    auto at = static_cast<std::size_t>(NodeOffset(first));
    for (const auto& node : nodes) {
        const auto encoded = node.Encode();
        std::copy(encoded.begin(), encoded.end(), bytes_.begin() + static_cast<long>(at));
        at += encoded.size();
    }
    return true;
}

std::string UserListImage::Bytes() const {
    std::string bytes = bytes_;
    SectionHeader header = header_;
    // The header records where it lies; keep that true even if the banner was edited.
    header.headerOffset = static_cast<std::int32_t>(headerPosition_);
    const auto encoded = header.Encode();
    std::copy(encoded.begin(), encoded.end(), bytes.begin() + headerPosition_);
    return bytes;
}
