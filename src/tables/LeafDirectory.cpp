#include "tables/LeafDirectory.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

#include "tables/ByteOrder.h"
#include "tables/FileOps.h"
#include "tables/TableFault.h"

namespace qp::tables {

namespace {

constexpr size_t kResidentBytes = 256 * 1024;
constexpr size_t kMinResident = 4;
constexpr size_t kMaxResident = 256;
// Bytes per leaf besides its key: page, record number and count.
constexpr size_t kFixedBytes = 12;

} // namespace

LeafDirectory::LeafDirectory(int keyLength, size_t residentChunks, std::string spillFolder)
    : keyLength_(keyLength), spillFolder_(std::move(spillFolder)) {
    if (residentChunks == 0)
        residentChunks = kResidentBytes / RegionBytes();
    residentLimit_ = std::clamp(residentChunks, kMinResident, kMaxResident);
}

LeafDirectory::~LeafDirectory() {
    if (spillFd_ >= 0)
        ::close(spillFd_);
}

size_t LeafDirectory::RegionBytes() const {
    return (kChunkLeaves + 1) * (size_t(keyLength_) + kFixedBytes);
}

void LeafDirectory::Clear() {
    chunks_.clear();
    bodies_.clear();
    leaves_ = 0;
    keys_ = 0;
    startsValid_ = false;
    freeRegions_.clear();
    nextRegion_ = 0;
    if (spillFd_ >= 0 && ::ftruncate(spillFd_, 0) != 0) {
        ::close(spillFd_);
        spillFd_ = -1;
    }
}

// ---- Chunks in memory and in the file ---------------------------------------------

bool LeafDirectory::Spilled() const {
    return std::any_of(chunks_.begin(), chunks_.end(), [](const Chunk& c) { return c.slot < 0; });
}

bool LeafDirectory::OpenSpill() const {
    if (spillFd_ >= 0)
        return true;
    if (spillBroken_)
        return false;
    std::vector<std::string> folders;
    if (!spillFolder_.empty())
        folders.push_back(spillFolder_);
    std::error_code error;
    const std::filesystem::path temporary = std::filesystem::temp_directory_path(error);
    if (!error)
        folders.push_back(temporary.string());
    for (const std::string& folder : folders) {
        // A file without a name where the system can make one, else one named and
        // removed at once: either way nothing is left behind, whatever ends the process.
        int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
        if (fd < 0) {
            std::string name = folder + "/.leaves-XXXXXX";
            fd = ::mkostemp(name.data(), O_CLOEXEC);
            if (fd >= 0)
                ::unlink(name.c_str());
        }
        if (fd >= 0) {
            spillFd_ = fd;
            return true;
        }
    }
    spillBroken_ = true;
    return false;
}

bool LeafDirectory::MoveOut(size_t slot) const {
    Body& b = bodies_[slot];
    const Chunk& c = chunks_[b.chunk];
    if (b.dirty || c.region < 0) {
        if (!OpenSpill())
            return false;
        const size_t n = c.leaves;
        const size_t keyBytes = n * size_t(keyLength_);
        buffer_.resize(n * kFixedBytes + keyBytes);
        char* out = buffer_.data();
        std::memcpy(out, b.pages.data(), n * 4);
        std::memcpy(out + n * 4, b.lastRecnos.data(), n * 4);
        std::memcpy(out + n * 8, b.counts.data(), n * 4);
        std::memcpy(out + n * kFixedBytes, b.lastKeys.data(), keyBytes);
        int64_t region = c.region;
        if (region < 0) {
            if (freeRegions_.empty()) {
                region = nextRegion_++;
            } else {
                region = freeRegions_.back();
                freeRegions_.pop_back();
            }
        }
        try {
            FileOps::WriteAll(spillFd_, region * int64_t(RegionBytes()), buffer_.data(),
                              buffer_.size(), spillFolder_ + "/(leaf directory)");
        } catch (const TableFault&) {
            // A full disk: the chunks stay in memory from now on; nothing is lost.
            if (c.region < 0)
                freeRegions_.push_back(region);
            spillBroken_ = true;
            return false;
        }
        c.region = region;
    }
    c.slot = -1;
    b.inUse = false;
    b.dirty = false;
    return true;
}

size_t LeafDirectory::TakeSlot() const {
    for (size_t s = 0; s < bodies_.size(); ++s) {
        if (!bodies_[s].inUse)
            return s;
    }
    if (bodies_.size() >= residentLimit_ && !spillBroken_) {
        size_t oldest = 0;
        for (size_t s = 1; s < bodies_.size(); ++s) {
            if (bodies_[s].lastUse < bodies_[oldest].lastUse)
                oldest = s;
        }
        if (MoveOut(oldest))
            return oldest;
    }
    Body& b = bodies_.emplace_back();
    const size_t most = kChunkLeaves + 1;
    b.lastKeys.reserve(most * size_t(keyLength_));
    b.pages.reserve(most);
    b.lastRecnos.reserve(most);
    b.counts.reserve(most);
    return bodies_.size() - 1;
}

LeafDirectory::Body& LeafDirectory::Load(size_t chunk) const {
    const Chunk& c = chunks_[chunk];
    if (c.slot >= 0) {
        Body& b = bodies_[size_t(c.slot)];
        b.lastUse = ++useClock_;
        return b;
    }
    const size_t slot = TakeSlot();
    Body& b = bodies_[slot];
    const size_t n = c.leaves;
    buffer_.resize(n * (kFixedBytes + size_t(keyLength_)));
    if (FileOps::ReadAll(spillFd_, c.region * int64_t(RegionBytes()), buffer_.data(),
                         buffer_.size(),
                         spillFolder_ + "/(leaf directory)") != FileOps::ReadResult::kOk)
        throw TableFault(tbeIo, "The leaf directory of an index lost part of its file");
    const char* in = buffer_.data();
    b.pages.resize(n);
    b.lastRecnos.resize(n);
    b.counts.resize(n);
    std::memcpy(b.pages.data(), in, n * 4);
    std::memcpy(b.lastRecnos.data(), in + n * 4, n * 4);
    std::memcpy(b.counts.data(), in + n * 8, n * 4);
    b.lastKeys.assign(in + n * kFixedBytes, n * size_t(keyLength_));
    b.chunk = chunk;
    b.inUse = true;
    b.dirty = false;
    b.lastUse = ++useClock_;
    c.slot = int(slot);
    return b;
}

void LeafDirectory::ShiftBodies(size_t from, long by) {
    for (Body& b : bodies_) {
        if (b.inUse && b.chunk >= from)
            b.chunk = size_t(long(b.chunk) + by);
    }
}

// ---- Finding leaves ---------------------------------------------------------------

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
        leaf += chunks_[c].leaves;
        key += chunks_[c].keys;
    }
    startsValid_ = true;
}

void LeafDirectory::Locate(size_t leaf, size_t& chunk, size_t& offset) const {
    RefreshStarts();
    if (lastChunk_ < chunks_.size() && leaf >= leafStarts_[lastChunk_] &&
        leaf - leafStarts_[lastChunk_] < chunks_[lastChunk_].leaves) {
        chunk = lastChunk_;
        offset = leaf - leafStarts_[chunk];
        return;
    }
    auto it = std::upper_bound(leafStarts_.begin(), leafStarts_.end(), leaf);
    chunk = size_t(it - leafStarts_.begin()) - 1;
    offset = leaf - leafStarts_[chunk];
    lastChunk_ = chunk;
}

uint32_t LeafDirectory::Page(size_t leaf) const {
    size_t c, i;
    Locate(leaf, c, i);
    return Load(c).pages[i];
}

int LeafDirectory::Count(size_t leaf) const {
    size_t c, i;
    Locate(leaf, c, i);
    return Load(c).counts[i];
}

const char* LeafDirectory::LastKey(size_t leaf) const {
    size_t c, i;
    Locate(leaf, c, i);
    return Load(c).lastKeys.data() + i * size_t(keyLength_);
}

uint32_t LeafDirectory::LastRecno(size_t leaf) const {
    size_t c, i;
    Locate(leaf, c, i);
    return Load(c).lastRecnos[i];
}

int LeafDirectory::CompareLast(const Body& b, size_t i, const char* key, uint32_t recno) const {
    int r = bytes::CompareKeys(b.lastKeys.data() + i * size_t(keyLength_), key, keyLength_);
    if (r != 0)
        return r;
    return b.lastRecnos[i] < recno ? -1 : b.lastRecnos[i] > recno ? 1 : 0;
}

int LeafDirectory::CompareChunkLast(const Chunk& c, const char* key, uint32_t recno) const {
    int r = bytes::CompareKeys(c.lastKey.data(), key, keyLength_);
    if (r != 0)
        return r;
    return c.lastRecno < recno ? -1 : c.lastRecno > recno ? 1 : 0;
}

size_t LeafDirectory::Find(const char* key, uint32_t recno) const {
    size_t lo = 0, hi = chunks_.size();
    while (lo < hi) {
        size_t mid = (lo + hi) / 2;
        if (CompareChunkLast(chunks_[mid], key, recno) < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    if (lo == chunks_.size())
        return leaves_ - 1;
    const Body& body = Load(lo);
    size_t first = 0, last = chunks_[lo].leaves;
    while (first < last) {
        size_t mid = (first + last) / 2;
        if (CompareLast(body, mid, key, recno) < 0)
            first = mid + 1;
        else
            last = mid;
    }
    RefreshStarts();
    lastChunk_ = lo;
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
    const Body& body = Load(c);
    size_t i = 0;
    while (i + 1 < chunks_[c].leaves && start + body.counts[i] <= pos)
        start += body.counts[i++];
    first = start;
    return leafStarts_[c] + i;
}

long LeafDirectory::FirstPosition(size_t leaf) const {
    size_t c, i;
    Locate(leaf, c, i);
    const Body& body = Load(c);
    long position = keyStarts_[c];
    for (size_t k = 0; k < i; ++k)
        position += body.counts[k];
    return position;
}

// ---- Changes ----------------------------------------------------------------------

void LeafDirectory::SetCount(size_t leaf, int count) {
    size_t c, i;
    Locate(leaf, c, i);
    Body& body = Load(c);
    const int change = count - body.counts[i];
    body.counts[i] = count;
    body.dirty = true;
    chunks_[c].keys += change;
    keys_ += change;
    // Key starts of the chunks after this one move; leaf starts stay.
    for (size_t k = c + 1; k < keyStarts_.size() && startsValid_; ++k)
        keyStarts_[k] += change;
}

void LeafDirectory::SetLast(size_t leaf, const char* key, uint32_t recno) {
    size_t c, i;
    Locate(leaf, c, i);
    Body& body = Load(c);
    std::memcpy(body.lastKeys.data() + i * size_t(keyLength_), key, size_t(keyLength_));
    body.lastRecnos[i] = recno;
    body.dirty = true;
    Chunk& chunk = chunks_[c];
    if (i + 1 == chunk.leaves) {
        chunk.lastKey.assign(key, size_t(keyLength_));
        chunk.lastRecno = recno;
    }
}

void LeafDirectory::Insert(size_t at, uint32_t page, int count, const char* lastKey,
                           uint32_t lastRecno) {
    size_t c = 0, i = 0;
    if (chunks_.empty()) {
        const size_t slot = TakeSlot();
        chunks_.emplace_back().slot = int(slot);
        Body& b = bodies_[slot];
        b.lastKeys.clear();
        b.pages.clear();
        b.lastRecnos.clear();
        b.counts.clear();
        b.chunk = 0;
        b.inUse = true;
    } else if (at == leaves_) {
        c = chunks_.size() - 1;
        i = chunks_[c].leaves;
    } else {
        Locate(at, c, i);
    }
    Body& body = Load(c);
    body.lastKeys.insert(i * size_t(keyLength_), lastKey, size_t(keyLength_));
    body.pages.insert(body.pages.begin() + long(i), page);
    body.lastRecnos.insert(body.lastRecnos.begin() + long(i), lastRecno);
    body.counts.insert(body.counts.begin() + long(i), count);
    body.dirty = true;
    Chunk& chunk = chunks_[c];
    ++chunk.leaves;
    chunk.keys += count;
    if (i + 1 == chunk.leaves) {
        chunk.lastKey.assign(lastKey, size_t(keyLength_));
        chunk.lastRecno = lastRecno;
    }
    keys_ += count;
    ++leaves_;
    startsValid_ = false;
    if (chunk.leaves > kChunkLeaves)
        SplitChunk(c);
}

void LeafDirectory::SplitChunk(size_t c) {
    Load(c); // the newest: taking a slot below does not move it out
    const size_t slot = TakeSlot();
    Body& lower = bodies_[size_t(chunks_[c].slot)];
    Body& upper = bodies_[slot];
    const size_t half = chunks_[c].leaves / 2;
    const size_t kl = size_t(keyLength_);
    upper.lastKeys.assign(lower.lastKeys, half * kl, std::string::npos);
    upper.pages.assign(lower.pages.begin() + long(half), lower.pages.end());
    upper.lastRecnos.assign(lower.lastRecnos.begin() + long(half), lower.lastRecnos.end());
    upper.counts.assign(lower.counts.begin() + long(half), lower.counts.end());
    lower.lastKeys.resize(half * kl);
    lower.pages.resize(half);
    lower.lastRecnos.resize(half);
    lower.counts.resize(half);
    lower.dirty = upper.dirty = true;

    Chunk added;
    added.leaves = upper.pages.size();
    for (int n : upper.counts)
        added.keys += n;
    added.lastKey = chunks_[c].lastKey;
    added.lastRecno = chunks_[c].lastRecno;
    added.slot = int(slot);
    Chunk& kept = chunks_[c];
    kept.leaves = half;
    kept.keys -= added.keys;
    kept.lastKey.assign(lower.lastKeys.data() + (half - 1) * kl, kl);
    kept.lastRecno = lower.lastRecnos[half - 1];
    ShiftBodies(c + 1, 1);
    chunks_.insert(chunks_.begin() + long(c) + 1, std::move(added));
    upper.chunk = c + 1;
    upper.inUse = true;
    upper.lastUse = ++useClock_;
    startsValid_ = false;
}

void LeafDirectory::RemoveChunk(size_t c) {
    Chunk& chunk = chunks_[c];
    if (chunk.slot >= 0) {
        Body& b = bodies_[size_t(chunk.slot)];
        b.inUse = false;
        b.dirty = false;
    }
    if (chunk.region >= 0)
        freeRegions_.push_back(chunk.region);
    chunks_.erase(chunks_.begin() + long(c));
    ShiftBodies(c + 1, -1);
}

void LeafDirectory::Erase(size_t leaf) {
    size_t c, i;
    Locate(leaf, c, i);
    Body& body = Load(c);
    Chunk& chunk = chunks_[c];
    chunk.keys -= body.counts[i];
    keys_ -= body.counts[i];
    body.lastKeys.erase(i * size_t(keyLength_), size_t(keyLength_));
    body.pages.erase(body.pages.begin() + long(i));
    body.lastRecnos.erase(body.lastRecnos.begin() + long(i));
    body.counts.erase(body.counts.begin() + long(i));
    body.dirty = true;
    --chunk.leaves;
    --leaves_;
    startsValid_ = false;
    if (chunk.leaves == 0) {
        RemoveChunk(c);
    } else if (i == chunk.leaves) {
        chunk.lastKey.assign(body.lastKeys.data() + (i - 1) * size_t(keyLength_),
                             size_t(keyLength_));
        chunk.lastRecno = body.lastRecnos[i - 1];
    }
}

} // namespace qp::tables
