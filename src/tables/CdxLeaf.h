#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qp::tables {

// One leaf node of a compound index tag, decoded: fixed-length keys with their record
// numbers in ascending (key, record number) order, and the size the node takes in the
// compressed leaf format — entries packed forward from byte 24, key fragments packed
// backward from the end of the 512-byte page, each key leaving out the leading bytes it
// shares with the key before it and its trailing pad bytes. The size is kept current as
// keys come and go, so that the index knows when a node must be split.
class CdxLeaf {
public:
    static constexpr int kPageSize = 512;
    static constexpr int kArea = 488; // bytes for entries and fragments

    CdxLeaf(int keyLength, char pad);
    // Empties the node for keys of another length and pad, giving its buffers back: a
    // node used again and again for leaves of different sizes would otherwise keep the
    // largest buffers any of them needed.
    void Reset(int keyLength, char pad);
    // Empties the node for keys of the given length and pad, keeping its buffers when
    // they are the node's own (for a node reused for leaves of one tag).
    void Prepare(int keyLength, char pad);
    // Gives back the room the buffers keep beyond the node's keys and a few more.
    void Compact();
    // Bytes the node's buffers take.
    size_t HeldBytes() const { return keys_.capacity() + recnos_.capacity() * sizeof(uint32_t); }

    int KeyLength() const { return keyLength_; }
    int Count() const { return int(recnos_.size()); }
    bool Empty() const { return recnos_.empty(); }
    const char* KeyAt(int i) const { return keys_.data() + size_t(i) * size_t(keyLength_); }
    std::string Key(int i) const { return std::string(KeyAt(i), size_t(keyLength_)); }
    uint32_t RecnoAt(int i) const { return recnos_[size_t(i)]; }
    uint32_t MaxRecno() const { return maxRecno_; }

    // <0, 0, >0 as entry `i` sorts before, equal to or after (key, recno).
    int Compare(int i, const char* key, uint32_t recno) const;
    // Index of the first entry not less than (key, recno); Count() when none.
    int LowerBound(const char* key, uint32_t recno) const;

    void Insert(int i, const char* key, uint32_t recno);
    void Append(const char* key, uint32_t recno) { Insert(Count(), key, recno); }
    void Erase(int i);
    void Clear();
    // Moves the entries from index `from` on to the end of the empty leaf `tail`.
    void MoveTail(int from, CdxLeaf& tail);

    // Bytes the entries and fragments take when encoded; the node fits a page when this
    // is at most kArea.
    int EncodedSize() const;
    bool Fits() const { return EncodedSize() <= kArea; }

    // Writes the node as a leaf page (attributes 2, or 3 for the root); siblings are
    // file offsets, 0xFFFFFFFF for none.
    void Encode(unsigned char* page, bool root, uint32_t left, uint32_t right) const;
    // Reads a leaf page, checking every count, width and fragment; keys must ascend
    // within the node. `before` is the key that precedes the node in its tag (its first
    // entry may share leading bytes with it), null for none. Throws TableFault
    // (tbeCorrupt) naming `where`.
    void Decode(const unsigned char* page, const std::string& where, const char* before = nullptr);

private:
    struct Layout {
        int entryBytes, recBits, dupBits, trailBits;
    };
    static Layout LayoutFor(int keyLength, uint32_t maxRecno);

    // Trailing pad bytes of `key`, the last `known` of which are known to be pad.
    int TrailOf(const char* key, int known = 0) const;
    // Leading bytes `key` shares with `previous` as the format allows, given the trailing
    // pad bytes of both; the first `known` bytes are known to be shared.
    int DupOf(const char* previous, int previousTrail, const char* key, int trail,
              int known = 0) const;
    int Trail(int i) const;
    // Leading bytes entry `i` shares with entry `i - 1`, as the format allows them.
    int Dup(int i) const;
    int Fragment(int i) const { return keyLength_ - Dup(i) - Trail(i); }
    void Recount();

    int keyLength_;
    char pad_;
    std::vector<char> keys_;
    std::vector<uint32_t> recnos_;
    int fragmentBytes_ = 0;
    uint32_t maxRecno_ = 0;
};

} // namespace qp::tables
