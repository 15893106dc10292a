#include "spell/core/DictionaryBuilder.h"

#include <algorithm>
#include <deque>
#include <fstream>

#include "spell/core/DictionaryFormat.h"
#include "spell/core/SpellAlphabet.h"

namespace {

constexpr int kApostropheCode = 26;
constexpr int kSCode = 'S' - 'A';

const char kBanner[] =
    "Quillpost main word list\r\nRead-only; words are added to the user list.\r\n";

struct TrieNode {
    int code = 0;
    bool endsWord = false;
    std::vector<int> children; // indexes into the node pool, in code order
    int index = 0;             // node index in the section, from 1
};

// A trie of sorted words as a pool of nodes; pool[0] stands for the root list's parent.
std::vector<TrieNode> BuildTrie(const std::vector<std::vector<int>>& words) {
    std::vector<TrieNode> pool(1);
    for (const auto& word : words) {
        int at = 0;
        for (int code : word) {
            const auto& children = pool[static_cast<std::size_t>(at)].children;
            auto child = std::find_if(children.begin(), children.end(), [&](int id) {
                return pool[static_cast<std::size_t>(id)].code == code;
            });
            if (child != children.end()) {
                at = *child;
                continue;
            }
            TrieNode node;
            node.code = code;
            pool.push_back(node);
            const int id = static_cast<int>(pool.size()) - 1;
            pool[static_cast<std::size_t>(at)].children.push_back(id);
            at = id;
        }
        pool[static_cast<std::size_t>(at)].endsWord = true;
    }
    return pool;
}

// Counts the words below each node and orders every sibling list by that count, most
// first (ties in letter-code order), so that lookups find common letters early.
int OrderSiblingsByUse(std::vector<TrieNode>& pool, int id) {
    TrieNode& node = pool[static_cast<std::size_t>(id)];
    int words = node.endsWord ? 1 : 0;
    std::vector<std::pair<int, int>> counted; // (words below, child id)
    for (int child : node.children) {
        counted.emplace_back(OrderSiblingsByUse(pool, child), child);
    }
    std::stable_sort(counted.begin(), counted.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    auto& children = pool[static_cast<std::size_t>(id)].children;
    for (std::size_t i = 0; i < counted.size(); ++i) {
        children[i] = counted[i].second;
        words += counted[i].first;
    }
    return words;
}

// Gives every node its index: sibling lists one after another, breadth first.
std::vector<int> LayOut(std::vector<TrieNode>& pool) {
    std::vector<int> order; // pool ids in node index order
    std::deque<int> parents{0};
    while (!parents.empty()) {
        const int parent = parents.front();
        parents.pop_front();
        for (int id : pool[static_cast<std::size_t>(parent)].children) {
            order.push_back(id);
            pool[static_cast<std::size_t>(id)].index = static_cast<int>(order.size());
            parents.push_back(id);
        }
    }
    return order;
}

std::vector<DictionaryNode> EncodeNodes(const std::vector<TrieNode>& pool,
                                        const std::vector<int>& order) {
    std::vector<DictionaryNode> nodes;
    nodes.reserve(order.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        const TrieNode& node = pool[static_cast<std::size_t>(order[i])];
        DictionaryNode encoded;
        encoded.flags = static_cast<std::uint8_t>(node.code);
        if (node.endsWord) {
            encoded.flags |= DictionaryFormat::WordEndBit;
        }
        if (!node.children.empty()) {
            encoded.child =
                static_cast<std::uint16_t>(pool[static_cast<std::size_t>(node.children[0])].index);
        }
        nodes.push_back(encoded);
    }
    // Mark the last node of every sibling list.
    for (const TrieNode& node : pool) {
        if (!node.children.empty()) {
            const int last = pool[static_cast<std::size_t>(node.children.back())].index;
            nodes[static_cast<std::size_t>(last - 1)].flags |= DictionaryFormat::LastSiblingBit;
        }
    }
    return nodes;
}

std::size_t CommonPrefix(const std::vector<int>& a, const std::vector<int>& b) {
    std::size_t n = 0;
    while (n < a.size() && n < b.size() && a[n] == b[n]) {
        ++n;
    }
    return n;
}

} // namespace

bool DictionaryBuilder::AddWord(std::string_view word) {
    if (word.empty() || word.size() > static_cast<std::size_t>(DictionaryFormat::MaxWordLength)) {
        return false;
    }
    Codes codes;
    for (unsigned char c : word) {
        const int code = SpellAlphabet::LetterCode(c);
        if (code == SpellAlphabet::NoLetterCode) {
            return false;
        }
        codes.push_back(code);
    }
    words_.insert(std::move(codes));
    return true;
}

std::vector<DictionaryBuilder::Codes> DictionaryBuilder::StoredWords() const {
    std::vector<Codes> stored;
    stored.reserve(words_.size());
    for (const auto& word : words_) {
        const std::size_t n = word.size();
        if (n > 2 && word[n - 2] == kApostropheCode && word[n - 1] == kSCode &&
            words_.count(Codes(word.begin(), word.end() - 2)) != 0) {
            continue;
        }
        stored.push_back(word);
    }
    return stored;
}

std::vector<std::vector<DictionaryBuilder::Codes>> DictionaryBuilder::SplitIntoSections() const {
    std::vector<std::vector<Codes>> sections;
    int nodes = 0;
    const Codes* previous = nullptr;
    for (const auto& word : StoredWords()) {
        const int shared = previous ? static_cast<int>(CommonPrefix(*previous, word)) : 0;
        const int added = static_cast<int>(word.size()) - shared;
        if (sections.empty() || nodes + added > DictionaryFormat::MaxNodes) {
            sections.emplace_back();
            nodes = static_cast<int>(word.size());
        } else {
            nodes += added;
        }
        sections.back().push_back(word);
        previous = &sections.back().back();
    }
    return sections;
}

std::vector<int> DictionaryBuilder::SectionNodeCounts() const {
    std::vector<int> counts;
    for (const auto& section : SplitIntoSections()) {
        counts.push_back(static_cast<int>(BuildTrie(section).size()) - 1);
    }
    return counts;
}

bool DictionaryBuilder::Write(const std::string& path, std::string* error) const {
    const auto sections = SplitIntoSections();
    if (sections.empty()) {
        if (error) {
            *error = "no words to store";
        }
        return false;
    }
    std::string bytes(kBanner);
    bytes.push_back(static_cast<char>(DictionaryFormat::BannerEnd));
    for (const auto& words : sections) {
        auto pool = BuildTrie(words);
        OrderSiblingsByUse(pool, 0);
        const auto order = LayOut(pool);
        const auto nodes = EncodeNodes(pool, order);
        SectionHeader header;
        header.nodesInUse = static_cast<std::int32_t>(nodes.size());
        header.capacity = header.nodesInUse;
        header.wordCounter = static_cast<std::int32_t>(words.size());
        header.kind = 1;
        header.headerOffset = static_cast<std::int32_t>(bytes.size());
        const auto encodedHeader = header.Encode();
        bytes.append(encodedHeader.begin(), encodedHeader.end());
        for (const auto& node : nodes) {
            const auto encoded = node.Encode();
            bytes.append(encoded.begin(), encoded.end());
        }
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        if (error) {
            *error = "cannot write " + path;
        }
        return false;
    }
    return true;
}
