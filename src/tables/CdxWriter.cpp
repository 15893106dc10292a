#include "tables/CdxWriter.h"

#include <algorithm>
#include <cstring>

#include "tables/ByteOrder.h"
#include "tables/EngineFile.h"
#include "tables/FileOps.h"
#include "tables/TableFault.h"

namespace qp::tables {

using namespace bytes;

namespace {

constexpr uint32_t kPage = 512;
constexpr uint32_t kHeader = 1024;
constexpr uint32_t kNone = 0xFFFFFFFF;
constexpr uint32_t kLeafArea = 488;

// A source of sorted (key, recno) entries.
struct Entries {
    virtual ~Entries() = default;
    virtual long Size() const = 0;
    virtual std::string Key(long i) const = 0;
    virtual uint32_t Recno(long i) const = 0;
};

struct KeyListEntries : Entries {
    explicit KeyListEntries(const KeyList& k) : keys(k) {}
    long Size() const override { return keys.Size(); }
    std::string Key(long i) const override { return keys.KeyAt(i); }
    uint32_t Recno(long i) const override { return keys.RecnoAt(i); }
    const KeyList& keys;
};

struct VectorEntries : Entries {
    long Size() const override { return long(items.size()); }
    std::string Key(long i) const override { return items[size_t(i)].first; }
    uint32_t Recno(long i) const override { return items[size_t(i)].second; }
    std::vector<std::pair<std::string, uint32_t>> items;
};

int BitLength(uint32_t v) {
    int bits = 0;
    while (v) {
        ++bits;
        v >>= 1;
    }
    return bits;
}

struct LeafLayout {
    int entryBytes, recBits, dupBits, trailBits;
};

LeafLayout LayoutFor(int keyLength, uint32_t maxRecno) {
    LeafLayout l{};
    l.dupBits = l.trailBits = BitLength(uint32_t(keyLength));
    l.entryBytes = 3;
    while (true) {
        l.recBits = 8 * l.entryBytes - l.dupBits - l.trailBits;
        if (l.recBits >= 32 || (maxRecno >> l.recBits) == 0)
            break;
        ++l.entryBytes;
    }
    l.recBits = std::min(l.recBits, 32);
    return l;
}

int TrailingPads(const std::string& key, char pad) {
    int n = 0;
    for (auto it = key.rbegin(); it != key.rend() && *it == pad; ++it)
        ++n;
    return n;
}

struct Level {
    std::vector<std::vector<unsigned char>> pages;
    std::vector<std::pair<std::string, uint32_t>> lastEntries; // per page
};

void LinkSiblings(std::vector<std::vector<unsigned char>>& pages, uint32_t firstOffset) {
    for (size_t i = 0; i < pages.size(); ++i) {
        PutLE32(&pages[i][4], i == 0 ? kNone : uint32_t(firstOffset + (i - 1) * kPage));
        PutLE32(&pages[i][8],
                i + 1 == pages.size() ? kNone : uint32_t(firstOffset + (i + 1) * kPage));
    }
}

Level BuildLeaves(const Entries& entries, int keyLength, char pad) {
    uint32_t maxRecno = 0;
    for (long i = 0; i < entries.Size(); ++i)
        maxRecno = std::max(maxRecno, entries.Recno(i));
    LeafLayout l = LayoutFor(keyLength, maxRecno);
    Level level;
    long i = 0;
    do {
        std::vector<unsigned char> page(kPage, 0);
        PutLE16(&page[0], 2);
        uint32_t recMask = l.recBits >= 32 ? 0xFFFFFFFF : (uint32_t(1) << l.recBits) - 1;
        PutLE32(&page[14], recMask);
        page[18] = static_cast<unsigned char>((1u << l.dupBits) - 1);
        page[19] = static_cast<unsigned char>((1u << l.trailBits) - 1);
        page[20] = static_cast<unsigned char>(l.recBits);
        page[21] = static_cast<unsigned char>(l.dupBits);
        page[22] = static_cast<unsigned char>(l.trailBits);
        page[23] = static_cast<unsigned char>(l.entryBytes);
        uint32_t used = 0, count = 0;
        size_t fragmentEnd = kPage;
        std::string previous;
        int previousTrail = 0;
        for (; i < entries.Size(); ++i) {
            std::string key = entries.Key(i);
            int trail = TrailingPads(key, pad);
            int dup = 0;
            if (count > 0) {
                int limit = keyLength - std::max(trail, previousTrail);
                while (dup < limit && key[size_t(dup)] == previous[size_t(dup)])
                    ++dup;
            }
            int fragment = keyLength - dup - trail;
            if (used + uint32_t(l.entryBytes + fragment) > kLeafArea)
                break;
            uint64_t e = uint64_t(entries.Recno(i)) | (uint64_t(dup) << l.recBits) |
                         (uint64_t(trail) << (l.recBits + l.dupBits));
            for (int b = 0; b < l.entryBytes; ++b)
                page[24 + count * l.entryBytes + b] = static_cast<unsigned char>(e >> (8 * b));
            fragmentEnd -= size_t(fragment);
            std::memcpy(&page[fragmentEnd], key.data() + dup, size_t(fragment));
            used += uint32_t(l.entryBytes + fragment);
            ++count;
            previous = key;
            previousTrail = trail;
        }
        PutLE16(&page[2], count);
        PutLE16(&page[12], kLeafArea - used);
        level.pages.push_back(std::move(page));
        level.lastEntries.emplace_back(previous, count ? entries.Recno(i - 1) : 0);
    } while (i < entries.Size());
    return level;
}

Level BuildInterior(const Level& below, uint32_t belowOffset, int keyLength) {
    const size_t perNode = (kPage - 12) / (size_t(keyLength) + 8);
    Level level;
    for (size_t start = 0; start < below.pages.size(); start += perNode) {
        std::vector<unsigned char> page(kPage, 0);
        size_t count = std::min(perNode, below.pages.size() - start);
        PutLE16(&page[0], 0);
        PutLE16(&page[2], uint32_t(count));
        for (size_t k = 0; k < count; ++k) {
            unsigned char* e = &page[12 + k * (size_t(keyLength) + 8)];
            const auto& last = below.lastEntries[start + k];
            std::memcpy(e, last.first.data(), last.first.size());
            PutBE32(e + keyLength, last.second);
            PutBE32(e + keyLength + 4, uint32_t(belowOffset + (start + k) * kPage));
        }
        level.pages.push_back(std::move(page));
        level.lastEntries.push_back(below.lastEntries[start + count - 1]);
    }
    return level;
}

// Appends the B-tree of `entries` to `file` (at a page boundary) and returns its root.
// `base` is the file offset of `file`'s first byte.
uint32_t AppendTree(std::string& file, const Entries& entries, int keyLength, char pad,
                    uint32_t base) {
    Level level = BuildLeaves(entries, keyLength, pad);
    while (true) {
        uint32_t offset = base + uint32_t(file.size());
        LinkSiblings(level.pages, offset);
        bool root = level.pages.size() == 1;
        if (root)
            level.pages[0][0] |= 1;
        for (const auto& page : level.pages)
            file.append(reinterpret_cast<const char*>(page.data()), page.size());
        if (root)
            return offset;
        level = BuildInterior(level, offset, keyLength);
    }
}

std::string Header(uint32_t root, int keyLength, int options, bool descending,
                   const std::string& keyExpr, const std::string& forExpr) {
    std::string h(kHeader, '\0');
    auto* p = reinterpret_cast<unsigned char*>(h.data());
    PutLE32(p, root);
    PutLE16(p + 12, uint32_t(keyLength));
    p[14] = static_cast<unsigned char>(options);
    p[15] = 0x01;
    PutLE16(p + 502, descending ? 1 : 0);
    uint32_t keySize = uint32_t(keyExpr.size()) + 1;
    PutLE16(p + 504, keySize);
    PutLE16(p + 506, uint32_t(forExpr.size()) + 1);
    PutLE16(p + 508, 0);
    PutLE16(p + 510, keySize);
    std::memcpy(p + 512, keyExpr.data(), keyExpr.size());
    std::memcpy(p + 512 + keySize, forExpr.data(), forExpr.size());
    return h;
}

} // namespace

std::string CdxWriter::Build(const std::vector<Tag>& tags) {
    for (const auto& t : tags) {
        if (t.header.keyExpr.size() + t.header.forExpr.size() + 2 > 512)
            throw TableFault(tbeBadExpression,
                             "Tag " + t.header.name + ": key and condition are too long");
        if (t.header.name.empty() || t.header.name.size() > 10)
            throw TableFault(tbeBadArgument, "Tag name \"" + t.header.name + "\" is not valid");
    }
    // Tag bodies first (each header followed by its tree), placed after the directory,
    // whose size depends on the offsets it lists: retry until the directory size is stable.
    uint32_t directoryPages = 1;
    while (true) {
        std::string body;
        std::vector<std::pair<std::string, uint32_t>> directory;
        uint32_t base = kHeader + directoryPages * kPage;
        for (const auto& t : tags) {
            uint32_t headerOffset = base + uint32_t(body.size());
            body.append(kHeader, '\0');
            uint32_t root =
                AppendTree(body, KeyListEntries(*t.keys), t.header.keyLength, t.pad, base);
            int options = 0x60 | (t.header.forExpr.empty() ? 0 : 0x08) | (t.header.unique ? 1 : 0);
            body.replace(headerOffset - base, kHeader,
                         Header(root, t.header.keyLength, options, t.header.descending,
                                t.header.keyExpr, t.header.forExpr));
            std::string name = t.header.name;
            name.resize(10, ' ');
            directory.emplace_back(name, headerOffset);
        }
        std::sort(directory.begin(), directory.end());
        VectorEntries dirEntries;
        dirEntries.items = directory;
        std::string file(kHeader, '\0');
        uint32_t dirRoot = AppendTree(file, dirEntries, 10, ' ', 0);
        if (file.size() != base) {
            directoryPages = uint32_t((file.size() - kHeader) / kPage);
            continue;
        }
        file.replace(0, kHeader, Header(dirRoot, 10, 0xE0, false, "", ""));
        file += body;
        return file;
    }
}

void CdxWriter::Write(const std::string& path, const std::vector<Tag>& tags) {
    FileOps::ReplaceFile(path, Build(tags));
}

void CdxWriter::WriteInPlace(const std::string& path, const std::vector<Tag>& tags) {
    FileOps::WriteWholeFile(path, Build(tags));
}

void CdxWriter::MarkStale(const std::string& path, bool stale) {
    EngineFile file("Index", path, EngineFile::Access::kReadWrite, EngineFile::Lock::kNone);
    unsigned char counter[4];
    PutBE32(counter, stale ? 1 : 0);
    file.WriteAt(8, counter, 4);
    file.Sync();
}

} // namespace qp::tables
