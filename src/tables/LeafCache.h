#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "tables/CdxLeaf.h"

namespace qp::tables {

class TagTree;

// A fixed number of decoded index leaves, shared by the tags of one index file, so that
// the memory an index takes does not grow with its table. A leaf not held is read from
// its page; when every slot is taken, the leaf used longest ago makes room (written back
// first when it changed).
//
// A reference handed out stays valid while fewer than three other leaves are fetched:
// the most recently used leaves are never the ones to make room.
class LeafCache {
public:
    explicit LeafCache(size_t slots);

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

    size_t Slots() const { return slots_.size(); }

private:
    struct Slot {
        uint32_t page = 0;
        TagTree* tree = nullptr; // null: the slot is free
        bool dirty = false;
        int newer = -1, older = -1; // neighbours in the order of use
        CdxLeaf leaf{1, ' '};
    };

    size_t Take(TagTree& tree, uint32_t page);
    size_t SlotOf(TagTree& tree, uint32_t page, size_t index);
    // The slot holding `page`, -1 for none.
    int32_t HeldSlot(uint32_t page) const;
    void SetHeld(uint32_t page, int32_t slot);
    void ClearHeld(uint32_t page);
    size_t Bucket(uint32_t page) const;
    void Unlink(size_t slot);
    void MakeNewest(size_t slot, bool linked);
    void Release(size_t slot);

    std::vector<Slot> slots_;
    std::vector<size_t> free_;
    // The slot holding each held page, in a hash table twice as large as the slots (open
    // addressing, linear probing): finding a held leaf costs about one look, and the
    // table's size does not depend on the file's.
    struct Held {
        uint32_t page = 0;
        int32_t slot = -1; // -1: the bucket is empty
    };
    std::vector<Held> held_;
    size_t heldMask_ = 0;
    int newest_ = -1, oldest_ = -1;
    // The slot found last: most calls ask for the same leaf again.
    uint32_t lastPage_ = 0;
    size_t lastSlot_ = 0;
    bool lastValid_ = false;
};

} // namespace qp::tables
