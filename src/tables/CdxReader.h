#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tables/KeyList.h"

namespace qp::tables {

// The definition of one tag as its header in a .CDX file gives it.
struct CdxTagHeader {
    std::string name;
    uint32_t headerOffset = 0;
    int keyLength = 0;
    int options = 0;
    bool descending = false;
    bool unique = false;
    std::string keyExpr;
    std::string forExpr;
};

// Reads a compound index file (.CDX): the tag directory, each tag's header and its
// B-tree of 512-byte interior and compressed leaf nodes. Every offset, count and bit
// width is checked; damage (pointers out of range, cycles, keys out of order, entries
// that overflow their node) raises TableFault(tbeCorrupt) naming the file, never a crash.
// A file is read page by page as the walk needs it, so reading a large index takes
// memory for the pages of one path through the tree only.
class CdxReader {
public:
    // One leaf as a walk meets it.
    struct LeafSummary {
        uint32_t page = 0;
        int count = 0;
        std::string lastKey; // empty when the leaf is empty
        uint32_t lastRecno = 0;
        uint32_t highestRecno = 0;
    };
    using KeyVisit = std::function<void(const std::string& key, uint32_t recno)>;
    using LeafVisit = std::function<void(const LeafSummary& leaf)>;
    using NodeVisit = std::function<void(uint32_t page)>;

    // Opens the file and reads its directory; throws TableFault (tbeOpenFailed, tbeCorrupt).
    explicit CdxReader(const std::string& path);
    // Reads from memory (`path` only names it in messages).
    CdxReader(const std::string& path, std::string bytes);
    ~CdxReader();
    CdxReader(const CdxReader&) = delete;
    CdxReader& operator=(const CdxReader&) = delete;

    // Tags in creation order (ascending header offset).
    const std::vector<CdxTagHeader>& Tags() const { return tags_; }
    // true when the file is marked as possibly behind its table (see CdxWriter::MarkStale).
    bool MarkedStale() const { return markedStale_; }
    uint64_t FileSize() const { return size_; }
    // The pages of the tag directory's tree (not its header).
    const std::vector<uint32_t>& DirectoryPages() const { return directoryPages_; }

    // Reads every key of `tag` in ascending order into `keys` (whose key length must be
    // the tag's). `pad` fills the trailing bytes a leaf entry leaves out: ' ' for
    // character keys, '\0' for numeric and date keys.
    void ReadKeys(const CdxTagHeader& tag, char pad, KeyList& keys) const;
    // Walks and checks the tree of `tag`: `leaf` hears of every leaf in key order,
    // `interior` of every interior node. Returns the root's offset.
    uint32_t WalkTree(const CdxTagHeader& tag, char pad, const KeyVisit& key, const LeafVisit& leaf,
                      const NodeVisit& interior) const;

private:
    struct WalkState;

    void ReadDirectory();
    CdxTagHeader ReadTagHeader(const std::string& name, uint32_t offset) const;
    void ReadPage(uint32_t offset, size_t length, unsigned char* out, const char* what) const;
    void Walk(uint32_t root, int keyLength, char pad, WalkState& state) const;
    void WalkNode(uint32_t offset, int depth, WalkState& state) const;
    void ReadLeaf(const unsigned char* node, uint32_t offset, WalkState& state) const;
    [[noreturn]] void Fail(const std::string& what) const;

    std::string path_;
    std::string bytes_; // the whole file when read from memory
    int fd_ = -1;       // else the open file
    uint64_t size_ = 0;
    bool markedStale_ = false;
    std::vector<CdxTagHeader> tags_;
    std::vector<uint32_t> directoryPages_;
};

} // namespace qp::tables
