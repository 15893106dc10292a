#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qp::tables {

// The keys of one index tag in ascending (key, record number) order: fixed-length keys
// compared as unsigned bytes, equal keys by record number. Held in chunks of a bounded
// size so that inserting and removing cost a small move, and positions (the n-th key)
// are found by a binary search over the chunk starts.
class KeyList {
public:
    explicit KeyList(int keyLength);

    int KeyLength() const { return keyLength_; }
    long Size() const { return size_; }
    // Changes whenever a key is inserted or removed.
    uint64_t Version() const { return version_; }

    // Adds (key, recno); `key` has KeyLength bytes. Returns false when already present.
    bool Insert(const std::string& key, uint32_t recno);
    // Removes (key, recno); false when not present.
    bool Remove(const std::string& key, uint32_t recno);
    // Appends in order (for loading and bulk building); the caller keeps the order.
    void PushBack(const std::string& key, uint32_t recno);
    void Clear();

    // Entry at position `pos` (0..Size-1).
    uint32_t RecnoAt(long pos) const;
    std::string KeyAt(long pos) const;
    // Position of (key, recno) when present, else -1.
    long Find(const std::string& key, uint32_t recno) const;
    // Position of the first entry not less than (key, recno).
    long LowerBound(const std::string& key, uint32_t recno) const;
    // true when some entry has exactly `key` (any record).
    bool ContainsKey(const std::string& key) const;

private:
    struct Chunk {
        std::string keys; // count * keyLength bytes
        std::vector<uint32_t> recnos;
        long Count() const { return long(recnos.size()); }
    };

    int Compare(const Chunk& c, long i, const std::string& key, uint32_t recno) const;
    // Chunk that holds (or would hold) (key, recno).
    size_t ChunkFor(const std::string& key, uint32_t recno) const;
    long IndexInChunk(const Chunk& c, const std::string& key, uint32_t recno) const;
    void Locate(long pos, size_t& chunk, long& index) const;
    void RebuildStarts() const;
    void Changed();

    int keyLength_;
    long size_ = 0;
    uint64_t version_ = 0;
    std::vector<Chunk> chunks_;
    mutable std::vector<long> starts_; // start position of each chunk
    mutable bool startsValid_ = false;
};

} // namespace qp::tables
