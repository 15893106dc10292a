#include "tables/LeafDirectory.h"

#include <algorithm>
#include <cstring>

#include "tables/ByteOrder.h"

namespace qp::tables {

namespace {
constexpr size_t kChunkLeaves = 512;
}

LeafDirectory::LeafDirectory(int keyLength) : keyLength_(keyLength) {}

void LeafDirectory::Clear() {
    chunks_.clear();
    leaves_ = 0;
    keys_ = 0;
    startsValid_ = false;
}

void LeafDirectory::RefreshStarts() const {
    if (startsValid_)
        return;
    leafStarts_.resize(chunks_.size());
    keyStarts_.resize(chunks_.size());
    size_t leaf = 0;
    long key = 0;
    for (size_t c = 0; c < chunks_.size(); ++c) {
        leafStarts_[c] = leaf;
        keyStarts_[c] = key;
        leaf += chunks_[c].Size();
        key += chunks_[c].keys;
    }
    startsValid_ = true;
}

void LeafDirectory::Locate(size_t leaf, size_t& chunk, size_t& offset) const {
    RefreshStarts();
    auto it = std::upper_bound(leafStarts_.begin(), leafStarts_.end(), leaf);
    chunk = size_t(it - leafStarts_.begin()) - 1;
    offset = leaf - leafStarts_[chunk];
}

uint32_t LeafDirectory::Page(size_t leaf) const {
    size_t c, i;
    Locate(leaf, c, i);
    return chunks_[c].pages[i];
}

int LeafDirectory::Count(size_t leaf) const {
    size_t c, i;
    Locate(leaf, c, i);
    return chunks_[c].counts[i];
}

const char* LeafDirectory::LastKey(size_t leaf) const {
    size_t c, i;
    Locate(leaf, c, i);
    return chunks_[c].lastKeys.data() + i * size_t(keyLength_);
}

uint32_t LeafDirectory::LastRecno(size_t leaf) const {
    size_t c, i;
    Locate(leaf, c, i);
    return chunks_[c].lastRecnos[i];
}

void LeafDirectory::SetCount(size_t leaf, int count) {
    size_t c, i;
    Locate(leaf, c, i);
    const int change = count - chunks_[c].counts[i];
    chunks_[c].counts[i] = count;
    chunks_[c].keys += change;
    keys_ += change;
    // Key starts of the chunks after this one move; leaf starts stay.
    for (size_t k = c + 1; k < keyStarts_.size() && startsValid_; ++k)
        keyStarts_[k] += change;
}

void LeafDirectory::SetLast(size_t leaf, const char* key, uint32_t recno) {
    size_t c, i;
    Locate(leaf, c, i);
    std::memcpy(chunks_[c].lastKeys.data() + i * size_t(keyLength_), key, size_t(keyLength_));
    chunks_[c].lastRecnos[i] = recno;
}

void LeafDirectory::Insert(size_t at, uint32_t page, int count, const char* lastKey,
                           uint32_t lastRecno) {
    size_t c = 0, i = 0;
    if (chunks_.empty()) {
        chunks_.emplace_back();
    } else if (at == leaves_) {
        c = chunks_.size() - 1;
        i = chunks_[c].Size();
    } else {
        Locate(at, c, i);
    }
    Chunk& chunk = chunks_[c];
    chunk.lastKeys.insert(i * size_t(keyLength_), lastKey, size_t(keyLength_));
    chunk.pages.insert(chunk.pages.begin() + long(i), page);
    chunk.lastRecnos.insert(chunk.lastRecnos.begin() + long(i), lastRecno);
    chunk.counts.insert(chunk.counts.begin() + long(i), count);
    chunk.keys += count;
    keys_ += count;
    ++leaves_;
    startsValid_ = false;
    if (chunk.Size() > kChunkLeaves)
        SplitChunk(c);
}

void LeafDirectory::SplitChunk(size_t c) {
    Chunk upper;
    Chunk& lower = chunks_[c];
    const size_t half = lower.Size() / 2;
    upper.lastKeys = lower.lastKeys.substr(half * size_t(keyLength_));
    upper.pages.assign(lower.pages.begin() + long(half), lower.pages.end());
    upper.lastRecnos.assign(lower.lastRecnos.begin() + long(half), lower.lastRecnos.end());
    upper.counts.assign(lower.counts.begin() + long(half), lower.counts.end());
    for (int n : upper.counts)
        upper.keys += n;
    lower.keys -= upper.keys;
    lower.lastKeys.resize(half * size_t(keyLength_));
    lower.pages.resize(half);
    lower.lastRecnos.resize(half);
    lower.counts.resize(half);
    chunks_.insert(chunks_.begin() + long(c) + 1, std::move(upper));
    startsValid_ = false;
}

void LeafDirectory::Erase(size_t leaf) {
    size_t c, i;
    Locate(leaf, c, i);
    Chunk& chunk = chunks_[c];
    chunk.keys -= chunk.counts[i];
    keys_ -= chunk.counts[i];
    chunk.lastKeys.erase(i * size_t(keyLength_), size_t(keyLength_));
    chunk.pages.erase(chunk.pages.begin() + long(i));
    chunk.lastRecnos.erase(chunk.lastRecnos.begin() + long(i));
    chunk.counts.erase(chunk.counts.begin() + long(i));
    if (chunk.Size() == 0)
        chunks_.erase(chunks_.begin() + long(c));
    --leaves_;
    startsValid_ = false;
}

int LeafDirectory::CompareLast(const Chunk& c, size_t i, const char* key, uint32_t recno) const {
    int r = bytes::CompareKeys(c.lastKeys.data() + i * size_t(keyLength_), key, keyLength_);
    if (r != 0)
        return r;
    return c.lastRecnos[i] < recno ? -1 : c.lastRecnos[i] > recno ? 1 : 0;
}

size_t LeafDirectory::Find(const char* key, uint32_t recno) const {
    size_t lo = 0, hi = chunks_.size();
    while (lo < hi) {
        size_t mid = (lo + hi) / 2;
        if (CompareLast(chunks_[mid], chunks_[mid].Size() - 1, key, recno) < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    if (lo == chunks_.size())
        return leaves_ - 1;
    const Chunk& chunk = chunks_[lo];
    size_t first = 0, last = chunk.Size();
    while (first < last) {
        size_t mid = (first + last) / 2;
        if (CompareLast(chunk, mid, key, recno) < 0)
            first = mid + 1;
        else
            last = mid;
    }
    RefreshStarts();
    return leafStarts_[lo] + first;
}

size_t LeafDirectory::AtPosition(long pos, long& first) const {
    RefreshStarts();
    auto it = std::upper_bound(keyStarts_.begin(), keyStarts_.end(), pos);
    size_t c = it == keyStarts_.begin() ? 0 : size_t(it - keyStarts_.begin()) - 1;
    // Chunks without keys share their start with the next one: take the one holding it.
    while (c + 1 < chunks_.size() && keyStarts_[c] + chunks_[c].keys <= pos)
        ++c;
    long start = keyStarts_[c];
    const Chunk& chunk = chunks_[c];
    size_t i = 0;
    while (i + 1 < chunk.Size() && start + chunk.counts[i] <= pos)
        start += chunk.counts[i++];
    first = start;
    return leafStarts_[c] + i;
}

long LeafDirectory::FirstPosition(size_t leaf) const {
    size_t c, i;
    Locate(leaf, c, i);
    long position = keyStarts_[c];
    for (size_t k = 0; k < i; ++k)
        position += chunks_[c].counts[k];
    return position;
}

} // namespace qp::tables
