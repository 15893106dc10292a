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

} // namespace spelltest
