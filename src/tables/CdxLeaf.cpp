#include "tables/CdxLeaf.h"

#include <algorithm>
#include <cstring>

#include "tables/ByteOrder.h"
#include "tables/TableFault.h"

namespace qp::tables {

using namespace bytes;

namespace {

constexpr int kEntriesStart = 24;
constexpr uint32_t kInsertRoom = 8;

int BitLength(uint32_t v) {
    int bits = 0;
    for (; v; v >>= 1)
        ++bits;
    return bits;
}

} // namespace

CdxLeaf::CdxLeaf(int keyLength, char pad) : keyLength_(keyLength), pad_(pad) {}

CdxLeaf::Layout CdxLeaf::LayoutFor(int keyLength, uint32_t maxRecno) {
    Layout l{};
    l.dupBits = l.trailBits = BitLength(uint32_t(keyLength));
    for (l.entryBytes = 3;; ++l.entryBytes) {
        l.recBits = 8 * l.entryBytes - l.dupBits - l.trailBits;
        if (l.recBits >= 32 || (maxRecno >> l.recBits) == 0)
            break;
    }
    l.recBits = std::min(l.recBits, 32);
    return l;
}

int CdxLeaf::Compare(int i, const char* key, uint32_t recno) const {
    int r = CompareKeys(KeyAt(i), key, keyLength_);
    if (r != 0)
        return r;
    uint32_t own = RecnoAt(i);
    return own < recno ? -1 : own > recno ? 1 : 0;
}

int CdxLeaf::LowerBound(const char* key, uint32_t recno) const {
    int lo = 0, hi = Count();
    while (lo < hi) {
        int mid = (lo + hi) / 2;
        if (Compare(mid, key, recno) < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

int CdxLeaf::TrailOf(const char* key, int known) const {
    int n = known;
    while (n < keyLength_ && key[keyLength_ - 1 - n] == pad_)
        ++n;
    return n;
}

int CdxLeaf::DupOf(const char* previous, int previousTrail, const char* key, int trail,
                   int known) const {
    const int limit = keyLength_ - std::max(trail, previousTrail);
    int dup = std::min(known, limit);
    while (dup < limit && key[dup] == previous[dup])
        ++dup;
    return dup;
}

int CdxLeaf::Trail(int i) const {
    return TrailOf(KeyAt(i));
}

int CdxLeaf::Dup(int i) const {
    if (i == 0)
        return 0; // the first key of a node is stored whole
    return DupOf(KeyAt(i - 1), Trail(i - 1), KeyAt(i), Trail(i));
}

void CdxLeaf::Insert(int i, const char* key, uint32_t recno) {
    const int before = i < Count() ? Fragment(i) : 0;
    if (recnos_.size() == recnos_.capacity()) {
        // Room for a few more keys at a time rather than twice the size: a leaf never
        // holds more than a page's worth, and the cache counts what its buffers take.
        recnos_.reserve(recnos_.size() + kInsertRoom);
        keys_.reserve(keys_.size() + kInsertRoom * size_t(keyLength_));
    }
    keys_.insert(keys_.begin() + ptrdiff_t(size_t(i) * size_t(keyLength_)), key, key + keyLength_);
    recnos_.insert(recnos_.begin() + i, recno);
    fragmentBytes_ += Fragment(i) + (i + 1 < Count() ? Fragment(i + 1) : 0) - before;
    maxRecno_ = std::max(maxRecno_, recno);
}

void CdxLeaf::Erase(int i) {
    const int before = Fragment(i) + (i + 1 < Count() ? Fragment(i + 1) : 0);
    const uint32_t recno = RecnoAt(i);
    const auto at = keys_.begin() + ptrdiff_t(size_t(i) * size_t(keyLength_));
    keys_.erase(at, at + keyLength_);
    recnos_.erase(recnos_.begin() + i);
    fragmentBytes_ += (i < Count() ? Fragment(i) : 0) - before;
    if (recno == maxRecno_)
        maxRecno_ = recnos_.empty() ? 0 : *std::max_element(recnos_.begin(), recnos_.end());
}

void CdxLeaf::Reset(int keyLength, char pad) {
    keyLength_ = keyLength;
    pad_ = pad;
    Clear();
    keys_.shrink_to_fit();
    recnos_.shrink_to_fit();
}

void CdxLeaf::Prepare(int keyLength, char pad) {
    if (keyLength == keyLength_ && pad == pad_)
        Clear();
    else
        Reset(keyLength, pad);
}

void CdxLeaf::Compact() {
    if (recnos_.capacity() - recnos_.size() > kInsertRoom) {
        keys_.shrink_to_fit();
        recnos_.shrink_to_fit();
    }
}

void CdxLeaf::Clear() {
    keys_.clear();
    recnos_.clear();
    fragmentBytes_ = 0;
    maxRecno_ = 0;
}

void CdxLeaf::Recount() {
    fragmentBytes_ = 0;
    maxRecno_ = 0;
    int previousTrail = 0;
    for (int i = 0; i < Count(); ++i) {
        const int trail = Trail(i);
        const int dup = i == 0 ? 0 : DupOf(KeyAt(i - 1), previousTrail, KeyAt(i), trail);
        fragmentBytes_ += keyLength_ - dup - trail;
        maxRecno_ = std::max(maxRecno_, recnos_[size_t(i)]);
        previousTrail = trail;
    }
}

void CdxLeaf::MoveTail(int from, CdxLeaf& tail) {
    tail.keys_.insert(tail.keys_.end(),
                      keys_.begin() + ptrdiff_t(size_t(from) * size_t(keyLength_)), keys_.end());
    tail.recnos_.insert(tail.recnos_.end(), recnos_.begin() + from, recnos_.end());
    keys_.resize(size_t(from) * size_t(keyLength_));
    recnos_.resize(size_t(from));
    Recount();
    tail.Recount();
}

int CdxLeaf::EncodedSize() const {
    return Count() * LayoutFor(keyLength_, maxRecno_).entryBytes + fragmentBytes_;
}

void CdxLeaf::Encode(unsigned char* page, bool root, uint32_t left, uint32_t right) const {
    std::memset(page, 0, kPageSize);
    const Layout l = LayoutFor(keyLength_, maxRecno_);
    PutLE16(page, root ? 3 : 2);
    PutLE16(page + 2, uint32_t(Count()));
    PutLE32(page + 4, left);
    PutLE32(page + 8, right);
    PutLE16(page + 12, uint32_t(kArea - EncodedSize()));
    PutLE32(page + 14, l.recBits >= 32 ? 0xFFFFFFFF : (uint32_t(1) << l.recBits) - 1);
    page[18] = static_cast<unsigned char>((1u << l.dupBits) - 1);
    page[19] = static_cast<unsigned char>((1u << l.trailBits) - 1);
    page[20] = static_cast<unsigned char>(l.recBits);
    page[21] = static_cast<unsigned char>(l.dupBits);
    page[22] = static_cast<unsigned char>(l.trailBits);
    page[23] = static_cast<unsigned char>(l.entryBytes);
    size_t fragmentEnd = kPageSize;
    int previousTrail = 0;
    for (int i = 0; i < Count(); ++i) {
        const int trail = Trail(i);
        const int dup = i == 0 ? 0 : DupOf(KeyAt(i - 1), previousTrail, KeyAt(i), trail);
        previousTrail = trail;
        const uint64_t e = uint64_t(RecnoAt(i)) | (uint64_t(dup) << l.recBits) |
                           (uint64_t(trail) << (l.recBits + l.dupBits));
        for (int b = 0; b < l.entryBytes; ++b)
            page[kEntriesStart + i * l.entryBytes + b] = static_cast<unsigned char>(e >> (8 * b));
        const size_t fragment = size_t(keyLength_ - dup - trail);
        fragmentEnd -= fragment;
        std::memcpy(page + fragmentEnd, KeyAt(i) + dup, fragment);
    }
}

void CdxLeaf::Decode(const unsigned char* page, const std::string& where, const char* before) {
    auto fail = [&](const std::string& what) { throw TableFault(tbeCorrupt, where + " " + what); };
    Clear();
    const uint32_t count = GetLE16(page + 2);
    const uint32_t recMask = GetLE32(page + 14);
    const uint32_t dupMask = page[18], trailMask = page[19];
    const uint32_t recBits = page[20], dupBits = page[21], trailBits = page[22];
    const uint32_t entryBytes = page[23];
    if (entryBytes < 1 || entryBytes > 8 || recBits + dupBits + trailBits > entryBytes * 8 ||
        recBits > 32 || dupBits > 8 || trailBits > 8)
        fail("has impossible entry sizes");
    if (count * entryBytes > kPageSize - kEntriesStart)
        fail("claims too many keys");
    // Room for a few more keys, so that the inserts a read leaf usually takes before it
    // splits need no larger buffers.
    const size_t room = count + kInsertRoom;
    keys_.reserve(room * size_t(keyLength_));
    recnos_.reserve(room);
    size_t fragmentEnd = kPageSize;
    std::string key(size_t(keyLength_), pad_);
    if (before)
        key.assign(before, size_t(keyLength_));
    int previousTrail = 0;
    for (uint32_t i = 0; i < count; ++i) {
        uint64_t e = 0;
        for (uint32_t b = 0; b < entryBytes; ++b)
            e |= uint64_t(page[kEntriesStart + i * entryBytes + b]) << (8 * b);
        const uint32_t recno = uint32_t(e & recMask);
        const uint32_t dup = uint32_t((e >> recBits) & dupMask);
        const uint32_t trail = uint32_t((e >> (recBits + dupBits)) & trailMask);
        if (dup + trail > uint32_t(keyLength_))
            fail("has an entry longer than the key");
        const size_t fragment = size_t(keyLength_) - dup - trail;
        if (fragment > fragmentEnd || fragmentEnd - fragment < kEntriesStart + count * entryBytes)
            fail("has key data overlapping its entries");
        fragmentEnd -= fragment;
        // The leading bytes come from the key before.
        std::memcpy(key.data() + dup, page + fragmentEnd, fragment);
        std::memset(key.data() + dup + fragment, pad_, trail);
        if (recno == 0)
            fail("lists record number 0");
        if (i > 0 && Compare(int(i) - 1, key.data(), recno) >= 0)
            fail("has keys out of order");
        // The node's size counts what this program would share (a writer may have shared
        // less than it could).
        const int ownTrail = TrailOf(key.data(), int(trail));
        const int ownDup =
            i == 0 ? 0 : DupOf(KeyAt(int(i) - 1), previousTrail, key.data(), ownTrail, int(dup));
        fragmentBytes_ += keyLength_ - ownDup - ownTrail;
        maxRecno_ = std::max(maxRecno_, recno);
        previousTrail = ownTrail;
        keys_.insert(keys_.end(), key.begin(), key.end());
        recnos_.push_back(recno);
    }
}

} // namespace qp::tables
