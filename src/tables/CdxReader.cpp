#include "tables/CdxReader.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

#include "tables/ByteOrder.h"
#include "tables/TableFault.h"

namespace qp::tables {

using namespace bytes;

namespace {
constexpr uint32_t kPage = 512;
constexpr uint32_t kHeader = 1024;
constexpr int kMaxDepth = 32;
} // namespace

CdxReader::CdxReader(const std::string& path) : path_(path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw TableFault(tbeOpenFailed, "Index " + path + ": cannot open");
    std::ostringstream data;
    data << in.rdbuf();
    bytes_ = data.str();
    ReadDirectory();
}

CdxReader::CdxReader(const std::string& path, std::string bytes)
    : path_(path), bytes_(std::move(bytes)) {
    ReadDirectory();
}

void CdxReader::Fail(const std::string& what) const {
    throw TableFault(tbeCorrupt, "Index " + path_ + ": " + what);
}

bool CdxReader::MarkedStale() const {
    return GetBE32(reinterpret_cast<const unsigned char*>(bytes_.data()) + 8) != 0;
}

void CdxReader::CheckPage(uint32_t offset, size_t length, const char* what) const {
    if (offset % kPage != 0 || uint64_t(offset) + length > bytes_.size())
        Fail(std::string(what) + " at offset " + std::to_string(offset) + " lies outside the file");
}

void CdxReader::ReadDirectory() {
    if (bytes_.size() < kHeader + kPage)
        Fail("file too short for an index");
    const auto* head = reinterpret_cast<const unsigned char*>(bytes_.data());
    uint32_t root = GetLE32(head);
    int keyLength = int(GetLE16(head + 12));
    if (keyLength < 1 || keyLength > 240)
        Fail("tag directory has key length " + std::to_string(keyLength));
    std::vector<std::pair<std::string, uint32_t>> entries;
    Walk(root, keyLength, ' ', [&](const std::string& key, uint32_t recno) {
        std::string name = key.substr(0, key.find_last_not_of(' ') + 1);
        entries.emplace_back(name, recno);
    });
    std::sort(entries.begin(), entries.end(),
              [](const auto& a, const auto& b) { return a.second < b.second; });
    for (size_t i = 0; i < entries.size(); ++i) {
        if (i > 0 && entries[i].second == entries[i - 1].second)
            Fail("two tags share the header at offset " + std::to_string(entries[i].second));
        tags_.push_back(ReadTagHeader(entries[i].first, entries[i].second));
    }
}

CdxTagHeader CdxReader::ReadTagHeader(const std::string& name, uint32_t offset) const {
    if (name.empty())
        Fail("a tag without a name");
    CheckPage(offset, kHeader, ("header of tag " + name).c_str());
    if (offset == 0)
        Fail("tag " + name + " points at the directory header");
    const auto* h = reinterpret_cast<const unsigned char*>(bytes_.data()) + offset;
    CdxTagHeader tag;
    tag.name = name;
    tag.headerOffset = offset;
    tag.keyLength = int(GetLE16(h + 12));
    tag.options = h[14];
    tag.unique = (tag.options & 0x01) != 0;
    tag.descending = GetLE16(h + 502) != 0;
    if (tag.keyLength < 1 || tag.keyLength > 240)
        Fail("tag " + name + " has key length " + std::to_string(tag.keyLength));
    const char* pool = reinterpret_cast<const char*>(h + 512);
    auto expression = [&](uint32_t start, uint32_t length, const char* what) {
        if (length == 0 || start + length > 512 || pool[start + length - 1] != '\0')
            Fail(std::string(what) + " expression of tag " + name + " is damaged");
        return std::string(pool + start, strnlen(pool + start, length));
    };
    tag.keyExpr = expression(GetLE16(h + 508), GetLE16(h + 510), "key");
    tag.forExpr = expression(GetLE16(h + 504), GetLE16(h + 506), "condition");
    if (tag.keyExpr.empty())
        Fail("tag " + name + " has no key expression");
    return tag;
}

void CdxReader::ReadKeys(const CdxTagHeader& tag, char pad, KeyList& keys) const {
    keys.Clear();
    const auto* h = reinterpret_cast<const unsigned char*>(bytes_.data()) + tag.headerOffset;
    Walk(GetLE32(h), tag.keyLength, pad,
         [&](const std::string& key, uint32_t recno) { keys.PushBack(key, recno); });
}

void CdxReader::Walk(uint32_t root, int keyLength, char pad, const Visit& visit) const {
    std::vector<bool> visited(bytes_.size() / kPage + 1, false);
    std::string previous(size_t(keyLength), pad);
    std::string last;
    uint32_t lastRecno = 0;
    WalkNode(root, keyLength, pad, 0, visited, previous, last, lastRecno, visit);
}

void CdxReader::WalkNode(uint32_t offset, int keyLength, char pad, int depth,
                         std::vector<bool>& visited, std::string& previous, std::string& last,
                         uint32_t& lastRecno, const Visit& visit) const {
    CheckPage(offset, kPage, "index node");
    if (depth > kMaxDepth)
        Fail("the tree is deeper than " + std::to_string(kMaxDepth) + " levels");
    if (visited[offset / kPage])
        Fail("node at offset " + std::to_string(offset) + " is reached twice (a cycle)");
    visited[offset / kPage] = true;
    const auto* node = reinterpret_cast<const unsigned char*>(bytes_.data()) + offset;
    uint32_t attributes = GetLE16(node);
    if (attributes > 3)
        Fail("node at offset " + std::to_string(offset) + " has unknown attributes");
    if (attributes & 2) {
        ReadLeaf(node, offset, keyLength, pad, previous, last, lastRecno, visit);
        return;
    }
    uint32_t count = GetLE16(node + 2);
    uint32_t entry = uint32_t(keyLength) + 8;
    if (count * entry > kPage - 12)
        Fail("interior node at offset " + std::to_string(offset) + " claims too many keys");
    for (uint32_t i = 0; i < count; ++i) {
        const unsigned char* e = node + 12 + i * entry;
        std::string bound(reinterpret_cast<const char*>(e), size_t(keyLength));
        uint32_t boundRecno = GetBE32(e + keyLength);
        uint32_t child = GetBE32(e + keyLength + 4);
        WalkNode(child, keyLength, pad, depth + 1, visited, previous, last, lastRecno, visit);
        if (last != bound || lastRecno != boundRecno)
            Fail("interior node at offset " + std::to_string(offset) +
                 " does not hold the last key of its child");
    }
}

void CdxReader::ReadLeaf(const unsigned char* node, uint32_t offset, int keyLength, char pad,
                         std::string& previous, std::string& last, uint32_t& lastRecno,
                         const Visit& visit) const {
    const std::string where = "leaf node at offset " + std::to_string(offset);
    uint32_t count = GetLE16(node + 2);
    uint32_t recMask = GetLE32(node + 14);
    uint32_t dupMask = node[18];
    uint32_t trailMask = node[19];
    uint32_t recBits = node[20], dupBits = node[21], trailBits = node[22];
    uint32_t entryBytes = node[23];
    if (entryBytes < 1 || entryBytes > 8 || recBits + dupBits + trailBits > entryBytes * 8 ||
        recBits > 32 || dupBits > 8 || trailBits > 8)
        Fail(where + " has impossible entry sizes");
    if (count * entryBytes > kPage - 24)
        Fail(where + " claims too many keys");
    size_t fragmentEnd = kPage; // fragments are packed backwards from the end
    for (uint32_t i = 0; i < count; ++i) {
        uint64_t e = 0;
        for (uint32_t b = 0; b < entryBytes; ++b)
            e |= uint64_t(node[24 + i * entryBytes + b]) << (8 * b);
        uint32_t recno = uint32_t(e & recMask);
        uint32_t dup = uint32_t((e >> recBits) & dupMask);
        uint32_t trail = uint32_t((e >> (recBits + dupBits)) & trailMask);
        if (dup + trail > uint32_t(keyLength))
            Fail(where + " has an entry longer than the key");
        size_t fragment = size_t(keyLength) - dup - trail;
        if (fragment > fragmentEnd || fragmentEnd - fragment < 24 + count * entryBytes)
            Fail(where + " has key data overlapping its entries");
        fragmentEnd -= fragment;
        std::string key = previous.substr(0, dup);
        key.append(reinterpret_cast<const char*>(node) + fragmentEnd, fragment);
        key.append(trail, pad);
        if (recno == 0)
            Fail(where + " lists record number 0");
        if (!last.empty()) {
            int order = std::memcmp(last.data(), key.data(), size_t(keyLength));
            if (order > 0 || (order == 0 && lastRecno >= recno))
                Fail(where + " has keys out of order");
        }
        visit(key, recno);
        previous = key;
        last = key;
        lastRecno = recno;
    }
}

} // namespace qp::tables
