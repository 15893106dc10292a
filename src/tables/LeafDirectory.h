#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace qp::tables {

// The leaves of one index tag in key order, as the tree's interior nodes describe them:
// per leaf its page, the number of keys it holds and its last key and record number.
// Entries are held in chunks of bounded size, so that finding a leaf by key or by key
// position and inserting a leaf after a split cost little however large the tag grows.
//
// Only a fixed number of chunks stay in memory; the others wait in a temporary file of
// the directory's own (created beside the index on first need, gone when the directory
// is), so the memory a tag takes stays flat however many keys it holds. Of each chunk
// only its size, key count and last entry stay in memory, which is enough to find the
// chunk holding a key or a position. Where no temporary file can be made or written,
// the chunks simply stay in memory.
//
// A pointer returned by LastKey stays valid while fewer than three other chunks are
// used: the chunks used most recently are never the ones moved out.
class LeafDirectory {
public:
    // `residentChunks`: how many chunks stay in memory at most (0: as many as fit a
    // quarter of a megabyte); `spillFolder`: where the temporary file goes (empty: the
    // system's temporary folder).
    explicit LeafDirectory(int keyLength, size_t residentChunks = 0, std::string spillFolder = {});
    ~LeafDirectory();
    LeafDirectory(const LeafDirectory&) = delete;
    LeafDirectory& operator=(const LeafDirectory&) = delete;

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

    // Chunks in memory at most, and whether some chunk is in the file now.
    size_t ResidentLimit() const { return residentLimit_; }
    bool Spilled() const;

    // Leaves per chunk at most.
    static constexpr size_t kChunkLeaves = 128;

private:
    // What stays in memory of every chunk.
    struct Chunk {
        size_t leaves = 0;
        long keys = 0; // sum of the leaves' counts
        std::string lastKey;
        uint32_t lastRecno = 0;
        // Where the entries are; reading a chunk back changes only this, so it changes in
        // const lookups too.
        mutable int slot = -1;       // the body in memory, -1 when it is in the file
        mutable int64_t region = -1; // its place in the file, -1 while it has none
    };
    // The entries of one chunk, while in memory.
    struct Body {
        std::string lastKeys; // keyLength bytes per leaf
        std::vector<uint32_t> pages;
        std::vector<uint32_t> lastRecnos;
        std::vector<int> counts;
        size_t chunk = 0; // which chunk it holds (when in use)
        bool inUse = false;
        bool dirty = false; // changed since it was last read from or written to the file
        uint64_t lastUse = 0;
    };

    int CompareLast(const Body& b, size_t i, const char* key, uint32_t recno) const;
    int CompareChunkLast(const Chunk& c, const char* key, uint32_t recno) const;
    void Locate(size_t leaf, size_t& chunk, size_t& offset) const;
    void RefreshStarts() const;
    void SplitChunk(size_t chunk);
    void RemoveChunk(size_t chunk);
    // Chunk numbers of the bodies from `from` on move by `by` (a chunk was added or removed).
    void ShiftBodies(size_t from, long by);

    // The body of chunk `chunk`, read back from the file when it was moved out.
    Body& Load(size_t chunk) const;
    // A body free for use, making room when every one is taken.
    size_t TakeSlot() const;
    // Writes the body to the file and frees it; false when it cannot be written.
    bool MoveOut(size_t slot) const;
    bool OpenSpill() const;
    size_t RegionBytes() const;

    int keyLength_;
    std::vector<Chunk> chunks_;
    size_t leaves_ = 0;
    long keys_ = 0;
    // First leaf index and first key position of each chunk, rebuilt when stale.
    mutable std::vector<size_t> leafStarts_;
    mutable std::vector<long> keyStarts_;
    mutable bool startsValid_ = false;
    // The chunk found last: a tree asks about the same leaf several times in a row.
    mutable size_t lastChunk_ = 0;

    // The chunks in memory and the temporary file holding the others.
    mutable std::deque<Body> bodies_;
    mutable uint64_t useClock_ = 0;
    size_t residentLimit_;
    std::string spillFolder_;
    mutable int spillFd_ = -1;
    mutable bool spillBroken_ = false; // no file: every chunk stays in memory
    mutable int64_t nextRegion_ = 0;
    mutable std::vector<int64_t> freeRegions_;
    mutable std::string buffer_;
};

} // namespace qp::tables
