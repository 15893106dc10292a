#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "tables/CdxLeaf.h"

namespace qp::tables {

class TagTree;

// A fixed number of decoded index leaves, shared by the tags of one index file, so that
// the memory an index takes does not grow with its table. The few leaves in use lately
// keep room to grow; the others are held compact, in buffers of their exact size (about
// half what a leaf with room takes). A leaf not held is read from its page; when every
// place is taken, the leaf used longest ago makes room (written back first when it
// changed).
//
// A reference handed out stays valid while fewer than three other leaves are fetched:
// the most recently used leaves are never the ones to make room.
class LeafCache {
public:
    // Holds `leaves` leaves in all (at least 8); a few of them, and at least 8, with room
    // to grow. The compact ones take `compactBytes` at most for their keys: a tree whose
    // keys share much packs many keys into a leaf, and its leaves are larger decoded.
    explicit LeafCache(size_t leaves, size_t compactBytes = SIZE_MAX);

    // The leaf at `page` of `tree` (leaf number `index` in its directory); read through
    // the tree when not held.
    CdxLeaf& Get(TagTree& tree, uint32_t page, size_t index);
    // Get, and marks the leaf changed.
    CdxLeaf& GetForChange(TagTree& tree, uint32_t page, size_t index);
    // A new empty leaf for `page` of `tree`, marked changed.
    CdxLeaf& Create(TagTree& tree, uint32_t page);
    // The leaf at `page` (held) has changed and must be written before it is let go.
    void MarkDirty(uint32_t page);
    // Forgets the leaf at `page` without writing it (its page was freed).
    void Drop(uint32_t page);
    // Writes every changed leaf of `tree`.
    void WriteDirty(const TagTree& tree);
    // Forgets every leaf of `tree` without writing.
    void DropAll(const TagTree& tree);

    size_t WorkingPlaces() const { return working_; }
    size_t CompactPlaces() const { return entries_.size() - working_; }
    // Bytes the compact leaves' keys and record numbers take.
    size_t CompactBytes() const { return compactBytes_; }

private:
    // A held leaf, in leaves_ at the same place. Entries [0, WorkingPlaces()) are the working
    // leaves; the rest are compact.
    struct Entry {
        uint32_t page = 0;
        TagTree* tree = nullptr; // null: the entry is free
        bool dirty = false;
        int newer = -1, older = -1; // neighbours in the order of use, within its kind
    };
    // The entries of one kind in the order of use, and the free ones.
    struct Kind {
        int newest = -1, oldest = -1;
        std::vector<size_t> free;
    };

    bool IsWorking(size_t entry) const { return entry < working_; }
    Kind& KindOf(size_t entry) { return IsWorking(entry) ? workingKind_ : compactKind_; }

    size_t SlotOf(TagTree& tree, uint32_t page, size_t index);
    // A free working entry; when none is free, the one used longest ago is made compact
    // (or let go when no compact place is kept).
    size_t FreeWorking();
    // A free compact entry with room for `incoming` more bytes; the compact leaves used
    // longest ago are let go until there is one.
    size_t FreeCompact(size_t incoming);
    // Moves the leaf of compact entry `entry` to a working entry and returns that.
    size_t Promote(size_t entry);
    void Occupy(size_t entry, TagTree& tree, uint32_t page, bool dirty);
    // Writes the leaf of `entry` to its page when it changed.
    void WriteBack(size_t entry);
    // Frees `entry`; its leaf is emptied unless `clearLeaf` is false (it moved).
    void Release(size_t entry, bool clearLeaf = true);

    // The entry holding `page`, -1 for none.
    int32_t HeldEntry(uint32_t page) const;
    void SetHeld(uint32_t page, int32_t entry);
    void ClearHeld(uint32_t page);
    size_t Bucket(uint32_t page) const;
    void Unlink(size_t entry);
    void MakeNewest(size_t entry, bool linked);

    std::vector<Entry> entries_;
    std::vector<CdxLeaf> leaves_;
    size_t working_;
    Kind workingKind_, compactKind_;
    size_t compactBudget_;
    size_t compactBytes_ = 0;
    // The entry holding each held page, in a hash table twice as large as the entries
    // (open addressing, linear probing): finding a held leaf costs about one look, and the
    // table's size does not depend on the file's.
    struct Held {
        uint32_t page = 0;
        int32_t entry = -1; // -1: the bucket is empty
    };
    std::vector<Held> held_;
    size_t heldMask_ = 0;
    // The working entry found last: most calls ask for the same leaf again.
    uint32_t lastPage_ = 0;
    size_t lastEntry_ = 0;
    bool lastValid_ = false;
};

} // namespace qp::tables
