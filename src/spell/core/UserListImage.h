#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "spell/core/DictionaryFormat.h"

// A user list file held in memory while it is checked or changed: the banner, the
// header of its (first) section and the node array behind it, plus any bytes beyond.
// Changes are made here and written back as a whole file, so a list on disk is never
// half changed. Bytes the changes do not touch are kept exactly as they were read.
class UserListImage final {
public:
    // The image of `bytes` when they hold a user list: a banner ended by byte 26 and a
    // whole section header of kind 0. Its counts are not trusted here (see
    // UserListStructure); nothing when the bytes are no user list at all.
    static std::optional<UserListImage> FromBytes(std::string bytes);
    // A new list: a banner, a header {1 node in use, capacity 500, counter 1}, node 1
    // holding "A" (the last of its list, a word end) and 499 empty slots.
    static UserListImage NewList();

    const SectionHeader& Header() const { return header_; }
    int NodesInUse() const { return header_.nodesInUse; }
    // Offset of the section header in the file.
    std::int64_t HeaderPosition() const { return headerPosition_; }
    // Whole nodes the bytes hold behind the header, used or not.
    int NodesInFile() const;

    // Node `index` (from 1) of the nodes in use; false outside them or the bytes.
    bool ReadNode(int index, DictionaryNode& node) const;
    // Any node the bytes hold, whatever the header says (for recovering words).
    bool ReadStoredNode(int index, DictionaryNode& node) const;
    // Nodes first .. first + count - 1, all in use; false otherwise.
    bool ReadNodes(int first, int count, std::vector<DictionaryNode>& nodes) const;
    // Writes nodes from `first` on, growing the bytes when they reach past the end.
    // False beyond what a 16-bit child index can address.
    bool WriteNodes(int first, const std::vector<DictionaryNode>& nodes);
    bool WriteNode(int index, const DictionaryNode& node) { return WriteNodes(index, {node}); }

    void SetNodesInUse(int nodes) { header_.nodesInUse = nodes; }
    void CountAddedWord() { ++header_.wordCounter; }

    // The whole file: the bytes with the current header written in (its own offset set
    // to where it lies).
    std::string Bytes() const;

private:
    UserListImage(std::string bytes, std::int64_t headerPosition, const SectionHeader& header);

    std::int64_t NodeOffset(int index) const;

    std::string bytes_;
    std::int64_t headerPosition_;
    SectionHeader header_;
};
