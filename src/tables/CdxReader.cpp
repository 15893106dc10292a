#include "tables/CdxReader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tables/ByteOrder.h"
#include "tables/CdxLeaf.h"
#include "tables/FileOps.h"
#include "tables/TableFault.h"

namespace qp::tables {

using namespace bytes;

namespace {
constexpr uint32_t kPage = 512;
constexpr uint32_t kHeader = 1024;
constexpr int kMaxDepth = 32;
} // namespace

// What a walk through one tree carries from node to node.
struct CdxReader::WalkState {
    WalkState(int keyLength, char pad) : leaf(keyLength, pad) {}
    CdxLeaf leaf;
    std::vector<bool> visited;
    std::string previous; // the last key read (the next leaf's first key may share it)
    uint32_t previousRecno = 0;
    KeyVisit key;
    LeafVisit leafDone;
    NodeVisit interior;
};

CdxReader::CdxReader(const std::string& path) : path_(path) {
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0)
        throw TableFault(tbeOpenFailed, "Index " + path + ": cannot open: " + std::strerror(errno));
    struct stat st {};
    if (::fstat(fd_, &st) != 0) {
        ::close(fd_);
        throw TableFault(tbeOpenFailed, "Index " + path + ": " + std::strerror(errno));
    }
    size_ = uint64_t(st.st_size);
    try {
        ReadDirectory();
    } catch (...) {
        ::close(fd_);
        throw;
    }
}

CdxReader::CdxReader(const std::string& path, std::string bytes)
    : path_(path), bytes_(std::move(bytes)), size_(bytes_.size()) {
    ReadDirectory();
}

CdxReader::~CdxReader() {
    if (fd_ >= 0)
        ::close(fd_);
}

void CdxReader::Fail(const std::string& what) const {
    throw TableFault(tbeCorrupt, "Index " + path_ + ": " + what);
}

void CdxReader::ReadPage(uint32_t offset, size_t length, unsigned char* out,
                         const char* what) const {
    if (offset % kPage != 0 || uint64_t(offset) + length > size_)
        Fail(std::string(what) + " at offset " + std::to_string(offset) + " lies outside the file");
    if (fd_ < 0) {
        std::memcpy(out, bytes_.data() + offset, length);
        return;
    }
    if (FileOps::ReadUpTo(fd_, offset, out, length, path_) != length)
        Fail(std::string(what) + " at offset " + std::to_string(offset) + " lies outside the file");
}

void CdxReader::ReadDirectory() {
    if (size_ < kHeader + kPage)
        Fail("file too short for an index");
    unsigned char head[kHeader];
    ReadPage(0, kHeader, head, "the directory header");
    markedStale_ = GetBE32(head + 8) != 0;
    uint32_t root = GetLE32(head);
    int keyLength = int(GetLE16(head + 12));
    if (keyLength < 1 || keyLength > 240)
        Fail("tag directory has key length " + std::to_string(keyLength));
    std::vector<std::pair<std::string, uint32_t>> entries;
    WalkState state(keyLength, ' ');
    state.key = [&](const std::string& key, uint32_t recno) {
        std::string name = key.substr(0, key.find_last_not_of(' ') + 1);
        entries.emplace_back(name, recno);
    };
    state.leafDone = [&](const LeafSummary& leaf) { directoryPages_.push_back(leaf.page); };
    state.interior = [&](uint32_t page) { directoryPages_.push_back(page); };
    Walk(root, keyLength, ' ', state);
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
    unsigned char h[kHeader];
    ReadPage(offset, kHeader, h, ("header of tag " + name).c_str());
    if (offset == 0)
        Fail("tag " + name + " points at the directory header");
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
    WalkTree(tag, pad, [&](const std::string& key, uint32_t recno) { keys.PushBack(key, recno); },
             {}, {});
}

uint32_t CdxReader::WalkTree(const CdxTagHeader& tag, char pad, const KeyVisit& key,
                             const LeafVisit& leaf, const NodeVisit& interior) const {
    unsigned char head[4];
    ReadPage(tag.headerOffset, 4, head, ("header of tag " + tag.name).c_str());
    const uint32_t root = GetLE32(head);
    WalkState state(tag.keyLength, pad);
    state.key = key;
    state.leafDone = leaf;
    state.interior = interior;
    Walk(root, tag.keyLength, pad, state);
    return root;
}

void CdxReader::Walk(uint32_t root, int keyLength, char pad, WalkState& state) const {
    state.visited.assign(size_ / kPage + 1, false);
    state.previous.assign(size_t(keyLength), pad);
    WalkNode(root, 0, state);
}

void CdxReader::WalkNode(uint32_t offset, int depth, WalkState& state) const {
    unsigned char node[kPage];
    ReadPage(offset, kPage, node, "index node");
    if (depth > kMaxDepth)
        Fail("the tree is deeper than " + std::to_string(kMaxDepth) + " levels");
    if (state.visited[offset / kPage])
        Fail("node at offset " + std::to_string(offset) + " is reached twice (a cycle)");
    state.visited[offset / kPage] = true;
    uint32_t attributes = GetLE16(node);
    if (attributes > 3)
        Fail("node at offset " + std::to_string(offset) + " has unknown attributes");
    if (attributes & 2) {
        ReadLeaf(node, offset, state);
        return;
    }
    if (state.interior)
        state.interior(offset);
    const int keyLength = state.leaf.KeyLength();
    uint32_t count = GetLE16(node + 2);
    uint32_t entry = uint32_t(keyLength) + 8;
    if (count * entry > kPage - 12)
        Fail("interior node at offset " + std::to_string(offset) + " claims too many keys");
    for (uint32_t i = 0; i < count; ++i) {
        const unsigned char* e = node + 12 + i * entry;
        std::string bound(reinterpret_cast<const char*>(e), size_t(keyLength));
        uint32_t boundRecno = GetBE32(e + keyLength);
        uint32_t child = GetBE32(e + keyLength + 4);
        WalkNode(child, depth + 1, state);
        if (state.previousRecno == 0 || state.previous != bound ||
            state.previousRecno != boundRecno)
            Fail("interior node at offset " + std::to_string(offset) +
                 " does not hold the last key of its child");
    }
}

void CdxReader::ReadLeaf(const unsigned char* node, uint32_t offset, WalkState& state) const {
    const std::string where = "Index " + path_ + ": leaf node at offset " + std::to_string(offset);
    CdxLeaf& leaf = state.leaf;
    leaf.Decode(node, where, state.previous.data());
    if (!leaf.Empty() && state.previousRecno != 0) {
        // The first key follows the last key of the leaf before.
        int order = std::memcmp(state.previous.data(), leaf.KeyAt(0), size_t(leaf.KeyLength()));
        if (order > 0 || (order == 0 && state.previousRecno >= leaf.RecnoAt(0)))
            Fail("leaf node at offset " + std::to_string(offset) + " has keys out of order");
    }
    if (state.key) {
        for (int i = 0; i < leaf.Count(); ++i)
            state.key(leaf.Key(i), leaf.RecnoAt(i));
    }
    LeafSummary summary;
    summary.page = offset;
    summary.count = leaf.Count();
    summary.highestRecno = leaf.MaxRecno();
    if (!leaf.Empty()) {
        state.previous = leaf.Key(leaf.Count() - 1);
        state.previousRecno = leaf.RecnoAt(leaf.Count() - 1);
        summary.lastKey = state.previous;
        summary.lastRecno = state.previousRecno;
    }
    if (state.leafDone)
        state.leafDone(summary);
}

} // namespace qp::tables
