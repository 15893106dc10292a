#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tables/CdxReader.h"
#include "tables/LeafDirectory.h"

namespace qp::tables {

class CdxFile;
class CdxLeaf;

// The keys of one tag of an open index file in ascending (key, record number) order,
// kept where they lie: the leaves stay in the file and pass through the file's leaf
// cache, and of the leaf directory only a fixed part is held in memory. Keys are found,
// counted and reached by position as in a sorted list; inserting splits a full leaf,
// removing the last key of a leaf frees its page. Flush writes the changed leaves and
// the interior levels and root the directory describes.
class TagTree {
public:
    TagTree(CdxFile& file, const CdxTagHeader& header, char pad);

    const CdxTagHeader& Header() const { return header_; }
    int KeyLength() const { return header_.keyLength; }
    char Pad() const { return pad_; }
    long Size() const { return directory_.KeyCount(); }
    // Changes whenever a key is inserted or removed.
    uint64_t Version() const { return version_; }
    // The highest record number the tree held when it was read.
    uint32_t HighestRecnoRead() const { return highestRead_; }

    // Adds (key, recno); `key` has KeyLength bytes. false when already present.
    bool Insert(const std::string& key, uint32_t recno);
    // Removes (key, recno); false when not present.
    bool Remove(const std::string& key, uint32_t recno);
    uint32_t RecnoAt(long pos) const;
    std::string KeyAt(long pos) const;
    // Position of (key, recno) when present, else -1.
    long Find(const std::string& key, uint32_t recno) const;
    // Position of the first entry not less than (key, recno).
    long LowerBound(const std::string& key, uint32_t recno) const;

    // ---- Used while reading the file --------------------------------------------------
    void AddLeafRead(const CdxReader::LeafSummary& leaf);
    void AddInteriorRead(uint32_t page) { interiorPages_.push_back(page); }
    void SetRootRead(uint32_t root) { rootOnDisk_ = root; }

    // ---- Used by the leaf cache and the file ------------------------------------------
    void ReadLeaf(uint32_t page, size_t index, CdxLeaf& leaf) const;
    void WriteLeaf(uint32_t page, const CdxLeaf& leaf) const;
    // Writes every changed leaf, then the interior levels and the root when the leaves
    // changed in number or in their last keys.
    void Flush();
    // Forgets the leaves held in the cache (the tree is closed without writing).
    void Forget();

private:
    CdxLeaf& Leaf(size_t index) const;
    CdxLeaf& LeafForChange(size_t index);
    void MarkChanged(size_t index) const;
    // Splits leaf `index` (too full) until every part fits; `insertedAt` is where the key
    // that overfilled it went.
    void Split(size_t index, int insertedAt);
    void Locate(long pos, size_t& index, long& first) const;

    CdxFile& file_;
    CdxTagHeader header_;
    char pad_;
    LeafDirectory directory_;
    std::vector<uint32_t> interiorPages_;
    uint32_t rootOnDisk_ = 0;
    uint32_t highestRead_ = 0;
    bool levelsChanged_ = false; // leaves added, removed or given new last keys
    uint64_t version_ = 0;
    // The leaf found by the last position lookup, for walks in order.
    mutable size_t lastIndex_ = 0;
    mutable long lastFirst_ = -1;
    mutable uint64_t lastVersion_ = ~uint64_t(0);
};

} // namespace qp::tables
