#include "tables/LeafCache.h"

#include <algorithm>
#include <string>

#include "tables/TableFault.h"
#include "tables/TagTree.h"

namespace qp::tables {

namespace {

// Working leaves: enough for the few leaves one change touches (a split reaches three or
// four) with room to spare, and few enough that the room they keep does not count.
constexpr size_t kMinWorking = 8;
constexpr size_t kMaxWorking = 64;

size_t WorkingShare(size_t leaves) {
    return std::clamp(leaves / 32, kMinWorking, kMaxWorking);
}

} // namespace

LeafCache::LeafCache(size_t leaves, size_t compactBytes)
    : entries_(std::max(leaves, kMinWorking)), leaves_(entries_.size(), CdxLeaf(1, ' ')),
      working_(WorkingShare(entries_.size())), compactBudget_(compactBytes) {
    for (size_t i = entries_.size(); i-- > 0;)
        KindOf(i).free.push_back(i);
    size_t buckets = 16;
    while (buckets < 2 * entries_.size())
        buckets *= 2;
    held_.resize(buckets);
    heldMask_ = buckets - 1;
}

size_t LeafCache::Bucket(uint32_t page) const {
    return size_t((page / CdxLeaf::kPageSize) * 2654435761u) & heldMask_;
}

int32_t LeafCache::HeldEntry(uint32_t page) const {
    for (size_t b = Bucket(page);; b = (b + 1) & heldMask_) {
        if (held_[b].entry < 0)
            return -1;
        if (held_[b].page == page)
            return held_[b].entry;
    }
}

void LeafCache::SetHeld(uint32_t page, int32_t entry) {
    size_t b = Bucket(page);
    while (held_[b].entry >= 0 && held_[b].page != page)
        b = (b + 1) & heldMask_;
    held_[b] = {page, entry};
}

void LeafCache::ClearHeld(uint32_t page) {
    size_t hole = Bucket(page);
    while (held_[hole].page != page || held_[hole].entry < 0) {
        if (held_[hole].entry < 0)
            return;
        hole = (hole + 1) & heldMask_;
    }
    // Entries after the hole that could not sit where they belong move up into it, so
    // that no search stops short of them.
    for (size_t next = (hole + 1) & heldMask_; held_[next].entry >= 0;
         next = (next + 1) & heldMask_) {
        const size_t home = Bucket(held_[next].page);
        const bool homeBetween =
            hole <= next ? (home > hole && home <= next) : (home > hole || home <= next);
        if (!homeBetween) {
            held_[hole] = held_[next];
            hole = next;
        }
    }
    held_[hole].entry = -1;
}

void LeafCache::Unlink(size_t entry) {
    Entry& e = entries_[entry];
    Kind& kind = KindOf(entry);
    if (e.newer >= 0)
        entries_[size_t(e.newer)].older = e.older;
    else
        kind.newest = e.older;
    if (e.older >= 0)
        entries_[size_t(e.older)].newer = e.newer;
    else
        kind.oldest = e.newer;
    e.newer = e.older = -1;
}

void LeafCache::MakeNewest(size_t entry, bool linked) {
    Kind& kind = KindOf(entry);
    if (kind.newest == int(entry))
        return;
    Entry& e = entries_[entry];
    if (linked)
        Unlink(entry);
    e.older = kind.newest;
    e.newer = -1;
    if (kind.newest >= 0)
        entries_[size_t(kind.newest)].newer = int(entry);
    kind.newest = int(entry);
    if (kind.oldest < 0)
        kind.oldest = int(entry);
}

void LeafCache::Occupy(size_t entry, TagTree& tree, uint32_t page, bool dirty) {
    if (!IsWorking(entry))
        compactBytes_ += leaves_[entry].HeldBytes();
    Entry& e = entries_[entry];
    e.page = page;
    e.tree = &tree;
    e.dirty = dirty;
    SetHeld(page, int32_t(entry));
    MakeNewest(entry, false);
}

void LeafCache::Release(size_t entry, bool clearLeaf) {
    Entry& e = entries_[entry];
    if (lastValid_ && lastEntry_ == entry)
        lastValid_ = false;
    Unlink(entry);
    ClearHeld(e.page);
    e.tree = nullptr;
    e.dirty = false;
    if (!IsWorking(entry))
        compactBytes_ -= leaves_[entry].HeldBytes();
    if (clearLeaf && IsWorking(entry)) {
        leaves_[entry].Clear();
    } else if (clearLeaf) {
        // A free compact place keeps no buffers.
        leaves_[entry].Clear();
        leaves_[entry].Compact();
    }
    KindOf(entry).free.push_back(entry);
}

void LeafCache::WriteBack(size_t entry) {
    Entry& e = entries_[entry];
    if (e.dirty) {
        e.tree->WriteLeaf(e.page, leaves_[entry]);
        e.dirty = false;
    }
}

size_t LeafCache::FreeCompact(size_t incoming) {
    // The compact leaves used longest ago make room, in places and in bytes; a changed
    // one is written first, and stays when that fails.
    while (compactKind_.oldest >= 0 &&
           (compactKind_.free.empty() || compactBytes_ + incoming > compactBudget_)) {
        const size_t victim = size_t(compactKind_.oldest);
        WriteBack(victim);
        Release(victim);
    }
    const size_t entry = compactKind_.free.back();
    compactKind_.free.pop_back();
    return entry;
}

size_t LeafCache::FreeWorking() {
    if (workingKind_.free.empty()) {
        // The leaf used longest ago makes room. A leaf over its page size (waiting for the
        // split of the change in progress) could not be written; the next one goes.
        size_t victim = size_t(workingKind_.oldest);
        for (size_t tries = 0; !leaves_[victim].Fits(); ++tries) {
            if (tries == working_)
                throw TableFault(tbeCorrupt, "Every cached index leaf is over its page size");
            MakeNewest(victim, true);
            victim = size_t(workingKind_.oldest);
        }
        leaves_[victim].Compact();
        if (CompactPlaces() == 0 || leaves_[victim].HeldBytes() > compactBudget_) {
            WriteBack(victim);
            Release(victim);
        } else {
            const size_t compact = FreeCompact(leaves_[victim].HeldBytes());
            const Entry old = entries_[victim];
            // The leaf moves to the compact place; whatever that place held comes back
            // (the leaf being promoted, when it is the place Promote gave up).
            std::swap(leaves_[victim], leaves_[compact]);
            Release(victim, false);
            Occupy(compact, *old.tree, old.page, old.dirty);
        }
    }
    const size_t entry = workingKind_.free.back();
    workingKind_.free.pop_back();
    return entry;
}

size_t LeafCache::Promote(size_t entry) {
    const Entry held = entries_[entry];
    // The compact place is given up first, so that the working leaf making room can take
    // it without writing anything; the leaf itself waits in it until it moves.
    Release(entry, false);
    size_t working;
    try {
        working = FreeWorking();
    } catch (...) {
        auto& free = compactKind_.free;
        free.erase(std::find(free.begin(), free.end(), entry));
        Occupy(entry, *held.tree, held.page, held.dirty);
        throw;
    }
    // When FreeWorking made a working leaf compact in the place just given up, the two
    // leaves traded places already; otherwise the leaf still waits there.
    if (entries_[entry].tree == nullptr)
        std::swap(leaves_[working], leaves_[entry]);
    Occupy(working, *held.tree, held.page, held.dirty);
    return working;
}

size_t LeafCache::SlotOf(TagTree& tree, uint32_t page, size_t index) {
    if (lastValid_ && lastPage_ == page) {
        MakeNewest(lastEntry_, true);
        return lastEntry_;
    }
    const int32_t held = HeldEntry(page);
    size_t entry;
    if (held >= 0 && IsWorking(size_t(held))) {
        entry = size_t(held);
        MakeNewest(entry, true);
    } else if (held >= 0) {
        entry = Promote(size_t(held));
    } else {
        entry = FreeWorking();
        leaves_[entry].Prepare(tree.KeyLength(), tree.Pad());
        Occupy(entry, tree, page, false);
        try {
            tree.ReadLeaf(page, index, leaves_[entry]);
        } catch (...) {
            Release(entry);
            throw;
        }
    }
    lastPage_ = page;
    lastEntry_ = entry;
    lastValid_ = true;
    return entry;
}

CdxLeaf& LeafCache::Get(TagTree& tree, uint32_t page, size_t index) {
    return leaves_[SlotOf(tree, page, index)];
}

CdxLeaf& LeafCache::GetForChange(TagTree& tree, uint32_t page, size_t index) {
    const size_t entry = SlotOf(tree, page, index);
    entries_[entry].dirty = true;
    return leaves_[entry];
}

CdxLeaf& LeafCache::Create(TagTree& tree, uint32_t page) {
    const size_t entry = FreeWorking();
    leaves_[entry].Prepare(tree.KeyLength(), tree.Pad());
    Occupy(entry, tree, page, true);
    return leaves_[entry];
}

void LeafCache::MarkDirty(uint32_t page) {
    if (lastValid_ && lastPage_ == page) {
        entries_[lastEntry_].dirty = true;
        return;
    }
    if (const int32_t held = HeldEntry(page); held >= 0)
        entries_[size_t(held)].dirty = true;
}

void LeafCache::Drop(uint32_t page) {
    if (const int32_t held = HeldEntry(page); held >= 0)
        Release(size_t(held));
}

void LeafCache::WriteDirty(const TagTree& tree) {
    for (size_t i = 0; i < entries_.size(); ++i) {
        if (entries_[i].tree == &tree)
            WriteBack(i);
    }
}

void LeafCache::DropAll(const TagTree& tree) {
    for (size_t i = 0; i < entries_.size(); ++i) {
        if (entries_[i].tree == &tree)
            Release(i);
    }
}

} // namespace qp::tables
