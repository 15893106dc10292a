#pragma once

#include <string>
#include <vector>

// Helpers shared by the spelling tests: word lists and dictionary files built from them.
namespace spelltest {

// The lines of a UTF-8 word list file (empty lines left out).
std::vector<std::string> ReadWordList(const std::string& path);

// The small checked-in word list (tests/data/spell/small-words.txt), as UTF-8.
std::vector<std::string> SmallWords();

// Windows-1252 bytes of a UTF-8 word (the word must be convertible).
std::string Cp1252(const std::string& utf8);

// Builds a main list file from UTF-8 words; fails the test when it cannot.
void BuildMainList(const std::string& path, const std::vector<std::string>& utf8Words);

// The whole file as bytes, and writing bytes back.
std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);

// Offset just behind the banner's byte 26.
std::size_t SectionsStart(const std::string& bytes);

// `count` distinct random words of 3 to 10 letters a-z, none of them in `avoid`; the same
// seed gives the same words.
std::vector<std::string> RandomWords(unsigned seed, std::size_t count,
                                     const std::vector<std::string>& avoid = {});

// `count` words of 25 letters that share all but a few letters with the word before, so
// that a list takes them quickly: about 18 nodes each.
std::vector<std::string> ChainWords(int count);

// Makes a user list at `path` with room for exactly 5 more nodes (63994 in use).
void MakeNearlyFullUserList(const std::string& path);

// The nodes in use of the user list at `path`.
int NodesInUse(const std::string& path);

// Writes one word per line.
void WriteWordFile(const std::string& path, const std::vector<std::string>& words);

} // namespace spelltest
