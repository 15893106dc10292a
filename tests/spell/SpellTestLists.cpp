#include "SpellTestLists.h"

#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

#include "TestPaths.h"
#include "spell/core/DictionaryBuilder.h"
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

} // namespace spelltest
