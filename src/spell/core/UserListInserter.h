#pragma once

#include <vector>

class UserListImage;

// Adds words to a user list held in memory: follows the word's letters from the root
// list, inserts a missing letter at the start of its sibling list (moving the nodes
// behind it up one place and fixing the child indexes that pointed past it), appends
// the remaining letters as a chain of one-node lists behind the last node in use, marks
// the last letter as a word end and counts the nodes and the word in the header. The
// caller writes the changed list back as a whole.
class UserListInserter final {
public:
    // Nodes moved per read and write while making room for an inserted node.
    static constexpr int MoveChunkNodes = 2048;

    explicit UserListInserter(UserListImage& list);

    // `codes` are the letter codes of the upper-cased word (1 to 25 of them). False when
    // the word would take the list past its node limit or its nodes are not as expected.
    bool AddWord(const std::vector<int>& codes);

private:
    bool AppendChain(int first, const std::vector<int>& codes, std::size_t from);
    bool InsertAtListStart(int listStart, const std::vector<int>& codes, std::size_t position);
    bool MoveNodesUp(int from, int last);
    bool RaiseChildIndexes(int above, int last);
    bool FindLetter(int listStart, int code, int& found);
    bool FinishWord(int nodesInUse);

    UserListImage& list_;
};
