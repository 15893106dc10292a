#pragma once

#include <string>

// Where the program keeps its word lists: the main list "qpx.dct" and the user list
// "qpxu.dct", both in the data folder. The main list is delivered beside the program
// (or, in a build tree, where the build made it) and copied into the data folder when
// the data folder has none.
namespace SpellDictionaryFiles {

inline constexpr char MainListName[] = "qpx.dct";
inline constexpr char UserListName[] = "qpxu.dct";

std::string MainListPath();
std::string UserListPath();

// The delivered main list: beside the executable, else in the install's shared files, else the
// one the build made; empty when none exists.
std::string DeliveredMainList();

// Copies the delivered main list into the data folder when it is missing there. True
// when the data folder holds a main list afterwards.
bool InstallMainList();

} // namespace SpellDictionaryFiles
