#pragma once

#include <vector>

class UserListImage;

// The shape of a user list's trie: whether it can be trusted, and which words can still
// be read from one that cannot.
namespace UserListStructure {

// True when the list is sound: its counts are sane, every node in use is in the file,
// every child index points inside the nodes in use, every sibling list ends inside
// them, and each node in use belongs to exactly one list reached from the root list.
// Lists the engine writes are always sound; anything else was damaged (cut short, a
// wrong header, a writer that died halfway) and adding to it could overwrite words.
bool IsSound(const UserListImage& image);

// The words (as letter codes, at most 25 each) reachable from the root list through
// the nodes the file holds, whatever its header says; each list is read once, so
// circles and shared lists end. Used to carry what is left of a damaged list into a
// new one.
std::vector<std::vector<int>> ReachableWords(const UserListImage& image);

} // namespace UserListStructure
