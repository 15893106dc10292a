#pragma once

#include <vector>

class DictionarySection;

// Adds words to a user list section in place: follows the word's letters from the root
// list, inserts a missing letter at the start of its sibling list (moving the nodes
// behind it up one place and fixing the child indexes that pointed past it), appends
// the remaining letters as a chain of one-node lists behind the last node in use, marks
// the last letter as a word end and writes the header back.
class UserListInserter final {
public:
    // Nodes moved per read and write while making room for an inserted node.
    static constexpr int MoveChunkNodes = 2048;

    explicit UserListInserter(DictionarySection& section);

    // `codes` are the letter codes of the upper-cased word (1 to 25 of them). False when
    // the word would take the section past its node limit or the file cannot be read or
    // written as expected.
    bool AddWord(const std::vector<int>& codes);

private:
    bool AppendChain(int first, const std::vector<int>& codes, std::size_t from);
    bool InsertAtListStart(int listStart, const std::vector<int>& codes, std::size_t position);
    bool MoveNodesUp(int from, int last);
    bool RaiseChildIndexes(int above, int last);
    bool FindLetter(int listStart, int code, int& found);
    bool FinishWord(int nodesInUse);

    DictionarySection& section_;
};
