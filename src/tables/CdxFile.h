#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tables/CdxReader.h"
#include "tables/LeafCache.h"
#include "tables/TagTree.h"

namespace qp::tables {

class EngineFile;

// An open compound index file that is changed where it lies. Opening reads the tag
// definitions; each tag's tree is then read and checked once (LoadTree), which leaves a
// leaf directory (a fixed part of it in memory); from then on the leaves come and go
// through a leaf cache of fixed size, so the memory an index takes stays flat however
// large its table grows.
// Flush writes what changed: leaves, the interior levels above them, the roots.
//
// Pages no tree uses (left over by earlier sessions or freed now) are handed out again.
// The tag directory and the tag headers, which say what the tags are, never move while
// a file is changed in place: a process killed midway leaves them readable, and the
// stale mark (MarkStale) tells the next open to rebuild the trees from the table.
class CdxFile {
public:
    // Decoded leaves held at most, and the bytes their keys take at most: enough for the
    // whole tree of a table of a hundred thousand faxes, about as much memory as SQLite's
    // page cache.
    static constexpr size_t kCachedLeaves = 3072;
    static constexpr size_t kCachedBytes = 1536 * 1024;

    // Opens `path` and reads its tag definitions; throws TableFault. `cachedLeaves` and
    // `cachedBytes`: how many decoded leaves the file keeps in memory at most, and how
    // many bytes their keys take.
    CdxFile(const std::string& path, bool writable, size_t cachedLeaves = kCachedLeaves,
            size_t cachedBytes = kCachedBytes);
    ~CdxFile();
    CdxFile(const CdxFile&) = delete;
    CdxFile& operator=(const CdxFile&) = delete;

    const std::string& Path() const { return path_; }
    bool Writable() const { return writable_; }
    // true when the file carried the stale mark when it was opened.
    bool FoundStale() const { return foundStale_; }
    size_t TagCount() const { return headers_.size(); }
    const CdxTagHeader& Header(size_t tag) const { return headers_[tag]; }

    // Reads and checks the tree of tag `tag` (`pad`: ' ' for character keys, '\0' for
    // numbers and dates) and returns it, to be changed in place.
    TagTree& LoadTree(size_t tag, char pad);

    // Sets or clears the mark that says the index may be behind its table.
    void MarkStale(bool stale);
    // Writes every change and syncs the file; clears the stale mark.
    void Flush();

    // ---- For the trees ---------------------------------------------------------------
    LeafCache& Cache() { return cache_; }
    uint32_t AllocatePage();
    void FreePage(uint32_t page);
    void ReadPage(uint32_t offset, unsigned char* page) const;
    void WritePage(uint32_t offset, const unsigned char* page);
    void WriteBytes(uint32_t offset, const void* data, size_t length);

private:
    void MarkUsed(uint32_t offset, size_t length);
    void CollectFreePages();

    std::string path_;
    bool writable_;
    std::unique_ptr<EngineFile> file_;
    std::unique_ptr<CdxReader> reader_;
    std::vector<CdxTagHeader> headers_;
    std::vector<std::unique_ptr<TagTree>> trees_; // by tag, null until loaded
    LeafCache cache_;
    std::vector<bool> used_; // per page of the file as read
    std::vector<uint32_t> freePages_;
    bool freeCollected_ = false;
    uint64_t end_ = 0; // where the next new page goes
    bool foundStale_ = false;
    bool markedStale_ = false;
};

} // namespace qp::tables
