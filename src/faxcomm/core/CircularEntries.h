#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

namespace qpcomm {

// A fixed number of entries kept in a circle: once full, each new entry overwrites the
// oldest. Adding can be paused. The store that a port's trace and its log are built on.
// Not thread-safe by itself: the port record's lock guards it.
template <typename Entry>
class CircularEntries {
public:
    // Room for `size` entries, at least 1 and at most `maxSize`.
    CircularEntries(std::size_t size, std::size_t maxSize)
        : entries_(std::clamp<std::size_t>(size, 1, maxSize)) {}

    // The place of the next entry (the oldest one once full), or nullptr while paused.
    Entry* Push() {
        if (paused_) {
            return nullptr;
        }
        Entry& entry = entries_[next_];
        next_ = (next_ + 1) % entries_.size();
        count_ = std::min(count_ + 1, entries_.size());
        return &entry;
    }

    void Clear() {
        next_ = 0;
        count_ = 0;
    }
    bool Paused() const { return paused_; }
    void SetPaused(bool paused) { paused_ = paused; }
    std::size_t Size() const { return entries_.size(); }
    std::size_t Count() const { return count_; }

    // From the oldest to the newest.
    std::vector<Entry> Entries() const {
        std::vector<Entry> result;
        result.reserve(count_);
        const std::size_t first = (next_ + entries_.size() - count_) % entries_.size();
        for (std::size_t i = 0; i < count_; ++i) {
            result.push_back(entries_[(first + i) % entries_.size()]);
        }
        return result;
    }

private:
    std::vector<Entry> entries_;
    std::size_t next_ = 0;
    std::size_t count_ = 0;
    bool paused_ = false;
};

} // namespace qpcomm
