#include "tables/KeyList.h"

#include <algorithm>
#include <cstring>

namespace qp::tables {

namespace {
constexpr long kChunkLimit = 1024;
}

KeyList::KeyList(int keyLength) : keyLength_(keyLength) {}

void KeyList::Changed() {
    ++version_;
    startsValid_ = false;
}

void KeyList::Clear() {
    chunks_.clear();
    size_ = 0;
    Changed();
}

int KeyList::Compare(const Chunk& c, long i, const std::string& key, uint32_t recno) const {
    int r = std::memcmp(c.keys.data() + size_t(i) * keyLength_, key.data(), size_t(keyLength_));
    if (r != 0)
        return r;
    uint32_t own = c.recnos[size_t(i)];
    return own < recno ? -1 : own > recno ? 1 : 0;
}

size_t KeyList::ChunkFor(const std::string& key, uint32_t recno) const {
    // First chunk whose last entry is not less than the target; the last chunk otherwise.
    size_t lo = 0, hi = chunks_.size();
    while (lo < hi) {
        size_t mid = (lo + hi) / 2;
        const Chunk& c = chunks_[mid];
        if (Compare(c, c.Count() - 1, key, recno) < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    return std::min(lo, chunks_.size() - 1);
}

long KeyList::IndexInChunk(const Chunk& c, const std::string& key, uint32_t recno) const {
    long lo = 0, hi = c.Count();
    while (lo < hi) {
        long mid = (lo + hi) / 2;
        if (Compare(c, mid, key, recno) < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

bool KeyList::Insert(const std::string& key, uint32_t recno) {
    if (chunks_.empty()) {
        PushBack(key, recno);
        return true;
    }
    size_t ci = ChunkFor(key, recno);
    Chunk& c = chunks_[ci];
    long i = IndexInChunk(c, key, recno);
    if (i < c.Count() && Compare(c, i, key, recno) == 0)
        return false;
    c.keys.insert(size_t(i) * keyLength_, key.data(), size_t(keyLength_));
    c.recnos.insert(c.recnos.begin() + i, recno);
    if (c.Count() > kChunkLimit) {
        Chunk upper;
        long half = c.Count() / 2;
        upper.keys = c.keys.substr(size_t(half) * keyLength_);
        upper.recnos.assign(c.recnos.begin() + half, c.recnos.end());
        c.keys.resize(size_t(half) * keyLength_);
        c.recnos.resize(size_t(half));
        chunks_.insert(chunks_.begin() + long(ci) + 1, std::move(upper));
    }
    ++size_;
    Changed();
    return true;
}

bool KeyList::Remove(const std::string& key, uint32_t recno) {
    if (chunks_.empty())
        return false;
    size_t ci = ChunkFor(key, recno);
    Chunk& c = chunks_[ci];
    long i = IndexInChunk(c, key, recno);
    if (i >= c.Count() || Compare(c, i, key, recno) != 0)
        return false;
    c.keys.erase(size_t(i) * keyLength_, size_t(keyLength_));
    c.recnos.erase(c.recnos.begin() + i);
    if (c.recnos.empty())
        chunks_.erase(chunks_.begin() + long(ci));
    --size_;
    Changed();
    return true;
}

void KeyList::PushBack(const std::string& key, uint32_t recno) {
    if (chunks_.empty() || chunks_.back().Count() >= kChunkLimit)
        chunks_.emplace_back();
    chunks_.back().keys.append(key.data(), size_t(keyLength_));
    chunks_.back().recnos.push_back(recno);
    ++size_;
    Changed();
}

void KeyList::RebuildStarts() const {
    starts_.resize(chunks_.size());
    long start = 0;
    for (size_t i = 0; i < chunks_.size(); ++i) {
        starts_[i] = start;
        start += chunks_[i].Count();
    }
    startsValid_ = true;
}

void KeyList::Locate(long pos, size_t& chunk, long& index) const {
    if (!startsValid_)
        RebuildStarts();
    auto it = std::upper_bound(starts_.begin(), starts_.end(), pos);
    chunk = size_t(it - starts_.begin()) - 1;
    index = pos - starts_[chunk];
}

uint32_t KeyList::RecnoAt(long pos) const {
    size_t chunk;
    long index;
    Locate(pos, chunk, index);
    return chunks_[chunk].recnos[size_t(index)];
}

std::string KeyList::KeyAt(long pos) const {
    size_t chunk;
    long index;
    Locate(pos, chunk, index);
    return chunks_[chunk].keys.substr(size_t(index) * keyLength_, size_t(keyLength_));
}

long KeyList::LowerBound(const std::string& key, uint32_t recno) const {
    if (chunks_.empty())
        return 0;
    if (!startsValid_)
        RebuildStarts();
    size_t ci = ChunkFor(key, recno);
    return starts_[ci] + IndexInChunk(chunks_[ci], key, recno);
}

long KeyList::Find(const std::string& key, uint32_t recno) const {
    long pos = LowerBound(key, recno);
    if (pos >= size_)
        return -1;
    size_t chunk;
    long index;
    Locate(pos, chunk, index);
    return Compare(chunks_[chunk], index, key, recno) == 0 ? pos : -1;
}

bool KeyList::ContainsKey(const std::string& key) const {
    long pos = LowerBound(key, 0);
    return pos < size_ && KeyAt(pos) == key;
}

} // namespace qp::tables
