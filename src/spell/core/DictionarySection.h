#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "spell/core/DictionaryFormat.h"

class DictionaryFile;

// One section of an open dictionary: its header, the file it lies in and its number.
// Sections of a main list are read through a cache of 1024 slots, each holding one
// 24-byte block of 8 nodes; sections of a user list are read node by node, uncached,
// and their header is reloaded before each lookup because another engine may have added
// words. User lists are changed through UserListImage, never through a section.
//
// Node reads check the index against the nodes in use and the end of the file, so a
// damaged file yields "no such node", never a read outside the section.
class DictionarySection final {
public:
    static constexpr int CacheSlots = 1024;
    static constexpr int BlockNodes = 8;
    static constexpr int BlockBytes = BlockNodes * DictionaryFormat::NodeSize;

    // `position` is where the header was read; `mainList` says whether the section
    // belongs to a main list file (read-only, cached).
    DictionarySection(std::shared_ptr<DictionaryFile> file, const SectionHeader& header,
                      std::int64_t position, bool mainList, int number);
    ~DictionarySection();
    DictionarySection(const DictionarySection&) = delete;
    DictionarySection& operator=(const DictionarySection&) = delete;

    // A header whose counts can describe a section (used before trusting a file).
    static bool IsPlausible(const SectionHeader& header, bool mainList);

    int Number() const { return number_; }
    bool IsMainList() const { return mainList_; }
    bool IsWritable() const;
    const std::string& FileName() const;
    const SectionHeader& Header() const { return header_; }
    int NodesInUse() const { return header_.nodesInUse; }
    std::int64_t HeaderPosition() const { return position_; }
    // File offset just behind the last node of the capacity (where a next section starts).
    std::int64_t EndOfCapacity() const;

    // Node `index` (from 1); false when it is outside the nodes in use or the file.
    bool ReadNode(int index, DictionaryNode& node);

    // Rereads the header of a user list when another engine has replaced the file since
    // (it added words; lists are only ever replaced whole, so an unchanged file needs no
    // reading). The header is read under a shared lock that waits at most `wait` for a
    // writer to finish (and reads anyway after that: what this handle reads stays
    // consistent). False (and an empty section) when no plausible header can be read.
    bool ReloadHeader(std::chrono::milliseconds wait);
    // Takes the header of the list just written by this engine.
    void Adopt(const SectionHeader& header, std::int64_t position);

    DictionaryFile& File() { return *file_; }

    // True when the word, given as letter codes, ends at a node of this section's trie.
    bool ContainsWord(const std::vector<int>& codes);

private:
    struct CacheSlot {
        std::int64_t offset = -1;
        std::size_t length = 0;
        std::array<unsigned char, BlockBytes> bytes{};
    };

    std::int64_t NodeOffset(int index) const;
    bool ReadCachedNode(int index, DictionaryNode& node);
    void FillSlot(CacheSlot& slot, std::int64_t blockOffset);
    bool ReadUncachedNode(int index, DictionaryNode& node) const;
    bool ReadHeaderAt(std::int64_t position);

    std::shared_ptr<DictionaryFile> file_;
    SectionHeader header_;
    std::int64_t position_;
    bool mainList_;
    bool headerValid_ = true;
    int generation_;
    int number_;
    std::vector<CacheSlot> cache_;
};
