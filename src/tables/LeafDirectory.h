#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qp::tables {

// The leaves of one index tag in key order, as the tree's interior nodes describe them:
// per leaf its page, the number of keys it holds and its last key and record number.
// This is all an index keeps in memory of a tag (the keys themselves stay in the leaves
// on disk), about one entry per few dozen keys. Entries are held in chunks of bounded
// size, so that finding a leaf by key or by key position and inserting a leaf after a
// split cost little however large the tag grows.
class LeafDirectory {
public:
    explicit LeafDirectory(int keyLength);

    int KeyLength() const { return keyLength_; }
    size_t Size() const { return leaves_; }
    long KeyCount() const { return keys_; }
    void Clear();

    uint32_t Page(size_t leaf) const;
    int Count(size_t leaf) const;
    const char* LastKey(size_t leaf) const;
    uint32_t LastRecno(size_t leaf) const;

    void SetCount(size_t leaf, int count);
    void SetLast(size_t leaf, const char* key, uint32_t recno);
    void Insert(size_t at, uint32_t page, int count, const char* lastKey, uint32_t lastRecno);
    void Erase(size_t leaf);

    // The leaf that holds (or would take) (key, recno): the first whose last entry is not
    // less than it, or the last leaf. The directory must not be empty.
    size_t Find(const char* key, uint32_t recno) const;
    // The leaf holding key position `pos` (0-based over the whole tag); `first` gets the
    // position of that leaf's first key.
    size_t AtPosition(long pos, long& first) const;
    // Position of the first key of `leaf`.
    long FirstPosition(size_t leaf) const;

private:
    struct Chunk {
        std::string lastKeys; // keyLength bytes per leaf
        std::vector<uint32_t> pages;
        std::vector<uint32_t> lastRecnos;
        std::vector<int> counts;
        long keys = 0; // sum of counts
        size_t Size() const { return pages.size(); }
    };

    // <0, 0, >0 as the last entry of leaf `i` of `c` sorts before, equal to or after
    // (key, recno).
    int CompareLast(const Chunk& c, size_t i, const char* key, uint32_t recno) const;
    void Locate(size_t leaf, size_t& chunk, size_t& offset) const;
    void RefreshStarts() const;
    void SplitChunk(size_t chunk);

    int keyLength_;
    std::vector<Chunk> chunks_;
    size_t leaves_ = 0;
    long keys_ = 0;
    // First leaf index and first key position of each chunk, rebuilt when stale.
    mutable std::vector<size_t> leafStarts_;
    mutable std::vector<long> keyStarts_;
    mutable bool startsValid_ = false;
};

} // namespace qp::tables
