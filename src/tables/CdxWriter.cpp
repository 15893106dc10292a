#include "tables/CdxWriter.h"

#include <algorithm>
#include <cstring>

#include "tables/ByteOrder.h"
#include "tables/CdxLeaf.h"
#include "tables/EngineFile.h"
#include "tables/FileOps.h"
#include "tables/TableFault.h"

namespace qp::tables {

using namespace bytes;

namespace {

constexpr uint32_t kPage = 512;
constexpr uint32_t kHeader = 1024;
constexpr uint32_t kNone = 0xFFFFFFFF;

} // namespace

uint32_t CdxWriter::WriteTree(const NextEntry& next, int keyLength, char pad,
                              const Allocate& allocate, const WritePage& write) {
    // Each leaf is written once the next one has its page, so that it can point at it.
    std::vector<Child> children;
    CdxLeaf leaf(keyLength, pad), full(keyLength, pad);
    unsigned char page[kPage];
    uint32_t leafPage = allocate(), previousPage = kNone;
    std::string key;
    uint32_t recno = 0;
    bool more = next(key, recno);
    while (true) {
        while (more) {
            leaf.Append(key.data(), recno);
            if (!leaf.Fits()) {
                leaf.Erase(leaf.Count() - 1); // it starts the next leaf
                break;
            }
            more = next(key, recno);
        }
        const bool last = !more;
        const uint32_t nextPage = last ? kNone : allocate();
        leaf.Encode(page, last && children.empty(), previousPage, nextPage);
        write(leafPage, page);
        children.push_back({leaf.Empty() ? std::string() : leaf.Key(leaf.Count() - 1),
                            leaf.Empty() ? 0 : leaf.RecnoAt(leaf.Count() - 1), leafPage});
        if (last)
            break;
        previousPage = leafPage;
        leafPage = nextPage;
        leaf.Clear();
    }
    if (children.size() == 1)
        return children.front().page;
    return WriteInterior(std::move(children), keyLength, allocate, write);
}

uint32_t CdxWriter::WriteInterior(std::vector<Child> children, int keyLength,
                                  const Allocate& allocate, const WritePage& write,
                                  std::vector<uint32_t>* pages) {
    size_t taken = 0;
    const NextChild next = [&](Child& child) {
        if (taken >= children.size())
            return false;
        child = children[taken++];
        return true;
    };
    return WriteInterior(children.size(), next, keyLength, allocate, write, pages);
}

uint32_t CdxWriter::WriteInterior(size_t count, const NextChild& next, int keyLength,
                                  const Allocate& allocate, const WritePage& write,
                                  std::vector<uint32_t>* pages) {
    const size_t entry = size_t(keyLength) + 8;
    const size_t perNode = (kPage - 12) / entry;
    unsigned char page[kPage];
    // The level being written comes from `next` first, then from the parents of the
    // level below it.
    std::vector<Child> level;
    size_t taken = 0;
    const NextChild fromLevel = [&](Child& child) {
        if (taken >= level.size())
            return false;
        child = level[taken++];
        return true;
    };
    const NextChild* source = &next;
    size_t children = count;
    Child child;
    while (true) {
        const size_t nodes = (children + perNode - 1) / perNode;
        std::vector<uint32_t> offsets(nodes);
        for (auto& offset : offsets)
            offset = allocate();
        std::vector<Child> parents;
        parents.reserve(nodes);
        for (size_t n = 0; n < nodes; ++n) {
            const size_t inNode = std::min(perNode, children - n * perNode);
            std::memset(page, 0, kPage);
            PutLE16(page, nodes == 1 ? 1 : 0);
            PutLE16(page + 2, uint32_t(inNode));
            PutLE32(page + 4, n == 0 ? kNone : offsets[n - 1]);
            PutLE32(page + 8, n + 1 == nodes ? kNone : offsets[n + 1]);
            for (size_t k = 0; k < inNode; ++k) {
                if (!(*source)(child))
                    throw TableFault(tbeCorrupt, "An index level ran out of entries");
                unsigned char* e = page + 12 + k * entry;
                std::memcpy(e, child.lastKey.data(), std::min(child.lastKey.size(), entry - 8));
                PutBE32(e + keyLength, child.lastRecno);
                PutBE32(e + keyLength + 4, child.page);
            }
            write(offsets[n], page);
            if (pages)
                pages->push_back(offsets[n]);
            parents.push_back({child.lastKey, child.lastRecno, offsets[n]});
        }
        if (nodes == 1)
            return offsets.front();
        level = std::move(parents);
        taken = 0;
        children = level.size();
        source = &fromLevel;
    }
}

std::string CdxWriter::Header(uint32_t root, int keyLength, int options, bool descending,
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

int CdxWriter::TagOptions(const CdxTagHeader& tag) {
    return 0x60 | (tag.forExpr.empty() ? 0 : 0x08) | (tag.unique ? 1 : 0);
}

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
        const uint32_t base = kHeader + directoryPages * kPage;
        const Allocate allocateBody = [&] {
            body.append(kPage, '\0');
            return base + uint32_t(body.size()) - kPage;
        };
        const WritePage writeBody = [&](uint32_t offset, const unsigned char* page) {
            body.replace(offset - base, kPage, reinterpret_cast<const char*>(page), kPage);
        };
        std::vector<std::pair<std::string, uint32_t>> directory;
        for (const auto& t : tags) {
            const uint32_t headerOffset = base + uint32_t(body.size());
            body.append(kHeader, '\0');
            long position = 0;
            const NextEntry next = [&](std::string& key, uint32_t& recno) {
                if (position >= t.keys->Size())
                    return false;
                key = t.keys->KeyAt(position);
                recno = t.keys->RecnoAt(position++);
                return true;
            };
            uint32_t root = WriteTree(next, t.header.keyLength, t.pad, allocateBody, writeBody);
            body.replace(headerOffset - base, kHeader,
                         Header(root, t.header.keyLength, TagOptions(t.header), t.header.descending,
                                t.header.keyExpr, t.header.forExpr));
            std::string name = t.header.name;
            name.resize(10, ' ');
            directory.emplace_back(name, headerOffset);
        }
        std::sort(directory.begin(), directory.end());
        std::string file(kHeader, '\0');
        size_t index = 0;
        const NextEntry nextName = [&](std::string& key, uint32_t& recno) {
            if (index >= directory.size())
                return false;
            key = directory[index].first;
            recno = directory[index++].second;
            return true;
        };
        const Allocate allocateFile = [&] {
            file.append(kPage, '\0');
            return uint32_t(file.size()) - kPage;
        };
        const WritePage writeFile = [&](uint32_t offset, const unsigned char* page) {
            file.replace(offset, kPage, reinterpret_cast<const char*>(page), kPage);
        };
        uint32_t directoryRoot = WriteTree(nextName, 10, ' ', allocateFile, writeFile);
        if (file.size() != base) {
            directoryPages = uint32_t((file.size() - kHeader) / kPage);
            continue;
        }
        file.replace(0, kHeader, Header(directoryRoot, 10, 0xE0, false, "", ""));
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
