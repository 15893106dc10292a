#include "tables/LeafCache.h"

#include <algorithm>

#include "tables/TagTree.h"

namespace qp::tables {

LeafCache::LeafCache(size_t slots) : slots_(slots < 8 ? 8 : slots) {
    free_.reserve(slots_.size());
    for (size_t i = slots_.size(); i-- > 0;)
        free_.push_back(i);
    size_t buckets = 16;
    while (buckets < 2 * slots_.size())
        buckets *= 2;
    held_.resize(buckets);
    heldMask_ = buckets - 1;
}

size_t LeafCache::Bucket(uint32_t page) const {
    return size_t((page / CdxLeaf::kPageSize) * 2654435761u) & heldMask_;
}

int32_t LeafCache::HeldSlot(uint32_t page) const {
    for (size_t b = Bucket(page);; b = (b + 1) & heldMask_) {
        if (held_[b].slot < 0)
            return -1;
        if (held_[b].page == page)
            return held_[b].slot;
    }
}

void LeafCache::SetHeld(uint32_t page, int32_t slot) {
    size_t b = Bucket(page);
    while (held_[b].slot >= 0 && held_[b].page != page)
        b = (b + 1) & heldMask_;
    held_[b] = {page, slot};
}

void LeafCache::ClearHeld(uint32_t page) {
    size_t hole = Bucket(page);
    while (held_[hole].page != page || held_[hole].slot < 0) {
        if (held_[hole].slot < 0)
            return;
        hole = (hole + 1) & heldMask_;
    }
    // Entries after the hole that could not sit where they belong move up into it, so
    // that no search stops short of them.
    for (size_t next = (hole + 1) & heldMask_; held_[next].slot >= 0;
         next = (next + 1) & heldMask_) {
        const size_t home = Bucket(held_[next].page);
        const bool homeBetween =
            hole <= next ? (home > hole && home <= next) : (home > hole || home <= next);
        if (!homeBetween) {
            held_[hole] = held_[next];
            hole = next;
        }
    }
    held_[hole].slot = -1;
}

void LeafCache::Unlink(size_t slot) {
    Slot& s = slots_[slot];
    if (s.newer >= 0)
        slots_[size_t(s.newer)].older = s.older;
    else
        newest_ = s.older;
    if (s.older >= 0)
        slots_[size_t(s.older)].newer = s.newer;
    else
        oldest_ = s.newer;
    s.newer = s.older = -1;
}

void LeafCache::MakeNewest(size_t slot, bool linked) {
    if (newest_ == int(slot))
        return;
    Slot& s = slots_[slot];
    if (linked)
        Unlink(slot);
    s.older = newest_;
    s.newer = -1;
    if (newest_ >= 0)
        slots_[size_t(newest_)].newer = int(slot);
    newest_ = int(slot);
    if (oldest_ < 0)
        oldest_ = int(slot);
}

void LeafCache::Release(size_t slot) {
    Slot& s = slots_[slot];
    if (lastValid_ && lastSlot_ == slot)
        lastValid_ = false;
    Unlink(slot);
    ClearHeld(s.page);
    s.tree = nullptr;
    s.dirty = false;
    s.leaf.Clear();
    free_.push_back(slot);
}

size_t LeafCache::Take(TagTree& tree, uint32_t page) {
    if (free_.empty()) {
        // The leaf used longest ago makes room; a changed one is written first, and stays
        // when that fails.
        const size_t victim = size_t(oldest_);
        Slot& old = slots_[victim];
        if (old.dirty) {
            old.tree->WriteLeaf(old.page, old.leaf);
            old.dirty = false;
        }
        Release(victim);
    }
    const size_t slot = free_.back();
    free_.pop_back();
    Slot& s = slots_[slot];
    s.page = page;
    s.tree = &tree;
    s.dirty = false;
    s.leaf.Reset(tree.KeyLength(), tree.Pad());
    SetHeld(page, int32_t(slot));
    MakeNewest(slot, false);
    return slot;
}

size_t LeafCache::SlotOf(TagTree& tree, uint32_t page, size_t index) {
    if (lastValid_ && lastPage_ == page) {
        MakeNewest(lastSlot_, true);
        return lastSlot_;
    }
    const int32_t held = HeldSlot(page);
    size_t slot;
    if (held >= 0) {
        slot = size_t(held);
        MakeNewest(slot, true);
    } else {
        slot = Take(tree, page);
        try {
            tree.ReadLeaf(page, index, slots_[slot].leaf);
        } catch (...) {
            Release(slot);
            throw;
        }
    }
    lastPage_ = page;
    lastSlot_ = slot;
    lastValid_ = true;
    return slot;
}

CdxLeaf& LeafCache::Get(TagTree& tree, uint32_t page, size_t index) {
    return slots_[SlotOf(tree, page, index)].leaf;
}

CdxLeaf& LeafCache::GetForChange(TagTree& tree, uint32_t page, size_t index) {
    Slot& slot = slots_[SlotOf(tree, page, index)];
    slot.dirty = true;
    return slot.leaf;
}

CdxLeaf& LeafCache::Create(TagTree& tree, uint32_t page) {
    const size_t slot = Take(tree, page);
    slots_[slot].dirty = true;
    return slots_[slot].leaf;
}

void LeafCache::MarkDirty(uint32_t page) {
    if (lastValid_ && lastPage_ == page) {
        slots_[lastSlot_].dirty = true;
        return;
    }
    if (const int32_t held = HeldSlot(page); held >= 0)
        slots_[size_t(held)].dirty = true;
}

void LeafCache::Drop(uint32_t page) {
    if (const int32_t held = HeldSlot(page); held >= 0)
        Release(size_t(held));
}

void LeafCache::WriteDirty(const TagTree& tree) {
    for (Slot& s : slots_) {
        if (s.tree == &tree && s.dirty) {
            s.tree->WriteLeaf(s.page, s.leaf);
            s.dirty = false;
        }
    }
}

void LeafCache::DropAll(const TagTree& tree) {
    for (size_t i = 0; i < slots_.size(); ++i) {
        if (slots_[i].tree == &tree)
            Release(i);
    }
}

} // namespace qp::tables
