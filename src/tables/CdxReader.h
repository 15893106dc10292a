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
class CdxReader {
public:
    // Reads the whole file; throws TableFault (tbeOpenFailed, tbeCorrupt).
    explicit CdxReader(const std::string& path);
    // Reads from memory (`path` only names it in messages).
    CdxReader(const std::string& path, std::string bytes);

    // Tags in creation order (ascending header offset).
    const std::vector<CdxTagHeader>& Tags() const { return tags_; }
    // true when the file is marked as possibly behind its table (see CdxWriter::MarkStale).
    bool MarkedStale() const;
    // Reads every key of `tag` in ascending order into `keys` (whose key length must be
    // the tag's). `pad` fills the trailing bytes a leaf entry leaves out: ' ' for
    // character keys, '\0' for numeric and date keys.
    void ReadKeys(const CdxTagHeader& tag, char pad, KeyList& keys) const;

private:
    using Visit = std::function<void(const std::string& key, uint32_t recno)>;

    void ReadDirectory();
    CdxTagHeader ReadTagHeader(const std::string& name, uint32_t offset) const;
    void CheckPage(uint32_t offset, size_t length, const char* what) const;
    void Walk(uint32_t root, int keyLength, char pad, const Visit& visit) const;
    void WalkNode(uint32_t offset, int keyLength, char pad, int depth, std::vector<bool>& visited,
                  std::string& previous, std::string& last, uint32_t& lastRecno,
                  const Visit& visit) const;
    void ReadLeaf(const unsigned char* node, uint32_t offset, int keyLength, char pad,
                  std::string& previous, std::string& last, uint32_t& lastRecno,
                  const Visit& visit) const;
    [[noreturn]] void Fail(const std::string& what) const;

    std::string path_;
    std::string bytes_;
    std::vector<CdxTagHeader> tags_;
};

} // namespace qp::tables
