#include "spell/core/UserListStructure.h"

#include <algorithm>
#include <set>
#include <utility>

#include "spell/core/UserListImage.h"

namespace UserListStructure {

bool IsSound(const UserListImage& image) {
    const SectionHeader& header = image.Header();
    const int nodes = header.nodesInUse;
    if (nodes < 0 || header.capacity < 0 || nodes > image.NodesInFile()) {
        return false;
    }
    if (nodes == 0) {
        return true;
    }
    // Child indexes from 65000 up mean "none", so such nodes could never be reached.
    if (nodes >= DictionaryFormat::NoChild) {
        return false;
    }
    std::vector<char> seen(static_cast<std::size_t>(nodes) + 1, 0);
    std::vector<int> lists = {1};
    int visited = 0;
    while (!lists.empty()) {
        int index = lists.back();
        lists.pop_back();
        for (;; ++index) {
            if (index > nodes || seen[static_cast<std::size_t>(index)]) {
                return false; // a list runs past the nodes in use, or into another list
            }
            seen[static_cast<std::size_t>(index)] = 1;
            ++visited;
            DictionaryNode node;
            image.ReadNode(index, node);
            if (node.HasChildList()) {
                if (node.child > nodes) {
                    return false;
                }
                lists.push_back(node.child);
            }
            if (node.IsLastSibling()) {
                break;
            }
        }
    }
    return visited == nodes;
}

std::vector<std::vector<int>> ReachableWords(const UserListImage& image) {
    const int limit = std::min(image.NodesInFile(), DictionaryFormat::NoChild - 1);
    std::vector<char> nodeRead(static_cast<std::size_t>(std::max(limit, 0)) + 1, 0);
    std::vector<std::pair<int, std::vector<int>>> lists = {{1, {}}};
    std::set<std::vector<int>> found;
    std::vector<std::vector<int>> words;
    while (!lists.empty()) {
        auto [index, prefix] = std::move(lists.back());
        lists.pop_back();
        for (; index >= 1 && index <= limit; ++index) {
            if (nodeRead[static_cast<std::size_t>(index)]) {
                break;
            }
            nodeRead[static_cast<std::size_t>(index)] = 1;
            DictionaryNode node;
            image.ReadStoredNode(index, node);
            std::vector<int> word = prefix;
            word.push_back(node.LetterCode());
            if (node.EndsWord() && found.insert(word).second) {
                words.push_back(word);
            }
            if (node.HasChildList() &&
                static_cast<int>(word.size()) < DictionaryFormat::MaxWordLength) {
                lists.emplace_back(node.child, std::move(word));
            }
            if (node.IsLastSibling()) {
                break;
            }
        }
    }
    return words;
}

} // namespace UserListStructure
