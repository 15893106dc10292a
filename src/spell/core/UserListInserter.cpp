#include "spell/core/UserListInserter.h"

#include <algorithm>

#include "spell/core/UserListImage.h"

using DictionaryFormat::LastSiblingBit;
using DictionaryFormat::WordEndBit;

UserListInserter::UserListInserter(UserListImage& list) : list_(list) {}

bool UserListInserter::AddWord(const std::vector<int>& codes) {
    const int nodesInUse = list_.NodesInUse();
    if (codes.empty() || static_cast<int>(codes.size()) > DictionaryFormat::MaxWordLength ||
        nodesInUse + static_cast<int>(codes.size()) > DictionaryFormat::MaxNodes) {
        return false;
    }
    if (nodesInUse == 0) {
        // An empty section: the whole word becomes the root list's only path.
        return AppendChain(1, codes, 0) && FinishWord(static_cast<int>(codes.size()));
    }
    int listStart = 1;
    for (std::size_t position = 0; position < codes.size(); ++position) {
        int found = 0;
        if (!FindLetter(listStart, codes[position], found)) {
            return false;
        }
        if (found == 0) {
            return InsertAtListStart(listStart, codes, position);
        }
        DictionaryNode node;
        if (!list_.ReadNode(found, node)) {
            return false;
        }
        if (position + 1 == codes.size()) {
            node.flags |= WordEndBit;
            return list_.WriteNode(found, node) && FinishWord(nodesInUse);
        }
        if (!node.HasChildList()) {
            const int chainStart = nodesInUse + 1;
            if (!AppendChain(chainStart, codes, position + 1)) {
                return false;
            }
            node.child = static_cast<std::uint16_t>(chainStart);
            const int added = static_cast<int>(codes.size() - position - 1);
            return list_.WriteNode(found, node) && FinishWord(nodesInUse + added);
        }
        listStart = node.child;
    }
    return false;
}

// Finds the node with letter `code` in the sibling list starting at `listStart`; `found`
// stays 0 when the list has none. False when the list cannot be read.
bool UserListInserter::FindLetter(int listStart, int code, int& found) {
    found = 0;
    DictionaryNode node;
    for (int index = listStart;; ++index) {
        if (!list_.ReadNode(index, node)) {
            return false;
        }
        if (node.LetterCode() == code) {
            found = index;
            return true;
        }
        if (node.IsLastSibling()) {
            return true;
        }
    }
}

// Writes codes[from..] as a chain of one-node lists starting at node `first`.
bool UserListInserter::AppendChain(int first, const std::vector<int>& codes, std::size_t from) {
    std::vector<DictionaryNode> chain;
    for (std::size_t i = from; i < codes.size(); ++i) {
        DictionaryNode node;
        node.flags = static_cast<std::uint8_t>(codes[i] | LastSiblingBit);
        const bool last = i + 1 == codes.size();
        if (last) {
            node.flags |= WordEndBit;
        } else {
            node.child = static_cast<std::uint16_t>(first + static_cast<int>(chain.size()) + 1);
        }
        chain.push_back(node);
    }
    return list_.WriteNodes(first, chain);
}

bool UserListInserter::InsertAtListStart(int listStart, const std::vector<int>& codes,
                                         std::size_t position) {
    const int nodesInUse = list_.NodesInUse();
    if (!MoveNodesUp(listStart, nodesInUse)) {
        return false;
    }
    list_.SetNodesInUse(nodesInUse + 1);
    if (!RaiseChildIndexes(listStart, nodesInUse + 1)) {
        return false;
    }
    DictionaryNode node;
    node.flags = static_cast<std::uint8_t>(codes[position]);
    int added = 1;
    if (position + 1 == codes.size()) {
        node.flags |= WordEndBit;
    } else {
        const int chainStart = nodesInUse + 2;
        if (!AppendChain(chainStart, codes, position + 1)) {
            return false;
        }
        node.child = static_cast<std::uint16_t>(chainStart);
        added += static_cast<int>(codes.size() - position - 1);
    }
    return list_.WriteNode(listStart, node) && FinishWord(nodesInUse + added);
}

// Moves nodes from..last up one place, copying from the high end down.
bool UserListInserter::MoveNodesUp(int from, int last) {
    std::vector<DictionaryNode> chunk;
    while (last >= from) {
        const int first = std::max(from, last - MoveChunkNodes + 1);
        if (!list_.ReadNodes(first, last - first + 1, chunk) ||
            !list_.WriteNodes(first + 1, chunk)) {
            return false;
        }
        last = first - 1;
    }
    return true;
}

// Adds one to every child index above `above` in nodes 1..last.
bool UserListInserter::RaiseChildIndexes(int above, int last) {
    std::vector<DictionaryNode> chunk;
    for (int first = 1; first <= last; first += MoveChunkNodes) {
        const int count = std::min(MoveChunkNodes, last - first + 1);
        if (!list_.ReadNodes(first, count, chunk)) {
            return false;
        }
        bool changed = false;
        for (auto& node : chunk) {
            if (node.HasChildList() && node.child > above) {
                ++node.child;
                changed = true;
            }
        }
        if (changed && !list_.WriteNodes(first, chunk)) {
            return false;
        }
    }
    return true;
}

bool UserListInserter::FinishWord(int nodesInUse) {
    list_.SetNodesInUse(nodesInUse);
    list_.CountAddedWord();
    return true;
}
