#include "SpellTestLists.h"

#include <fstream>
#include <iterator>
#include <random>
#include <set>

#include <gtest/gtest.h>

#include "TestPaths.h"
#include "spell/core/DictionaryBuilder.h"
#include "spell/core/DictionaryFormat.h"
#include "spell/core/TZizadSpell.h"
#include "spell/core/Windows1252.h"

namespace spelltest {

std::vector<std::string> ReadWordList(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> words;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty()) {
            words.push_back(line);
        }
    }
    return words;
}

std::vector<std::string> SmallWords() {
    return ReadWordList((qptest::TestDataDir() / "spell" / "small-words.txt").string());
}

std::string Cp1252(const std::string& utf8) {
    const auto bytes = Windows1252::FromUtf8(utf8);
    EXPECT_TRUE(bytes.has_value()) << utf8;
    return bytes.value_or(std::string());
}

void BuildMainList(const std::string& path, const std::vector<std::string>& utf8Words) {
    DictionaryBuilder builder;
    for (const auto& word : utf8Words) {
        const auto bytes = Windows1252::FromUtf8(word);
        if (bytes) {
            builder.AddWord(*bytes);
        }
    }
    std::string error;
    ASSERT_TRUE(builder.Write(path, &error)) << error;
}

std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::size_t SectionsStart(const std::string& bytes) {
    return bytes.find('\x1A') + 1;
}

std::vector<std::string> RandomWords(unsigned seed, std::size_t count,
                                     const std::vector<std::string>& avoid) {
    std::mt19937 random(seed);
    std::set<std::string> taken(avoid.begin(), avoid.end());
    std::vector<std::string> words;
    while (words.size() < count) {
        std::string word;
        const int length = 3 + static_cast<int>(random() % 8);
        for (int i = 0; i < length; ++i) {
            word.push_back(static_cast<char>('a' + random() % 26));
        }
        if (taken.insert(word).second) {
            words.push_back(word);
        }
    }
    return words;
}

std::vector<std::string> ChainWords(int count) {
    std::vector<std::string> words;
    for (int k = 0; k < count; ++k) {
        std::string word = "pqrst";
        word.push_back(static_cast<char>('a' + k / 676 % 26));
        word.push_back(static_cast<char>('a' + k / 26 % 26));
        word.push_back(static_cast<char>('a' + k % 26));
        words.push_back(word + "uvwxyzabcdefghijk");
    }
    return words;
}

int NodesInUse(const std::string& path) {
    const std::string bytes = ReadFileBytes(path);
    const std::size_t at = SectionsStart(bytes);
    if (at == 0 || bytes.size() < at + DictionaryFormat::HeaderSize) {
        return -1;
    }
    return SectionHeader::Decode(reinterpret_cast<const unsigned char*>(&bytes[at])).nodesInUse;
}

void MakeNearlyFullUserList(const std::string& path) {
    TZizadSpell speller;
    // 25-letter words until fewer than 25 nodes are left, then one word of new letters
    // that leaves 5.
    const int section = speller.CreateUserList(path, ChainWords(3547));
    ASSERT_GE(section, 0);
    const int room = DictionaryFormat::MaxNodes - NodesInUse(path);
    ASSERT_GT(room, 5);
    ASSERT_LE(room - 5, DictionaryFormat::MaxWordLength);
    ASSERT_TRUE(speller.AddWord(std::string(static_cast<std::size_t>(room - 5), 'y'), section));
    ASSERT_EQ(NodesInUse(path), DictionaryFormat::MaxNodes - 5);
}

void WriteWordFile(const std::string& path, const std::vector<std::string>& words) {
    std::ofstream out(path, std::ios::trunc);
    for (const auto& word : words) {
        out << word << "\n";
    }
}

} // namespace spelltest
