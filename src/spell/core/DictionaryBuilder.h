#pragma once

#include <set>
#include <string>
#include <string_view>
#include <vector>

// Builds a main list file from words: upper-cases them, leaves out possessives ("DOG'S")
// whose base word is listed (a lookup finds those through the base word), splits the
// sorted words into sections of at most 63999 trie nodes and lays each trie out list by
// list, breadth first, each sibling list ordered by the number of words below its
// nodes (most first) so that lookups meet common letters early.
class DictionaryBuilder final {
public:
    // Adds a word given in Windows-1252. False (and the word is left out) when it is
    // empty, longer than 25 characters or holds a character no list can store.
    bool AddWord(std::string_view word);

    // Writes the main list file. False with a message in `error` when it cannot.
    bool Write(const std::string& path, std::string* error = nullptr) const;

    // Words the file will hold (after leaving out listed possessives).
    int WordCount() const { return static_cast<int>(StoredWords().size()); }
    // Node counts of the sections Write lays out.
    std::vector<int> SectionNodeCounts() const;

private:
    using Codes = std::vector<int>;
    std::vector<Codes> StoredWords() const;
    std::vector<std::vector<Codes>> SplitIntoSections() const;

    std::set<Codes> words_;
};
