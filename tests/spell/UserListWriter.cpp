// spell_list_writer: a second program that adds words to a user word list the way the
// spell check dialog does (open the list when it exists, else create it; then one
// AddWord per word with the same engine). The multi-process tests run several of these
// at once and kill them at random points.
//
//   spell_list_writer LIST WORDFILE [--file-size-limit BYTES]
//
// Prints "added WORD" or "refused WORD" after each word (flushed at once, so a parent
// that kills the writer knows which adds were confirmed) and exits 0 when every word was
// added, 1 when one was refused, 2 when the list could not be opened.
#include <cstdio>
#include <cstdlib>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <vector>

#include "spell/core/TZizadSpell.h"

namespace {

std::vector<std::string> ReadWords(const std::string& path) {
    std::vector<std::string> words;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty()) {
            words.push_back(line);
        }
    }
    return words;
}

// Makes writes past `bytes` fail (EFBIG) as they would on a full disk.
void LimitFileSize(long bytes) {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    limit.rlim_cur = static_cast<rlim_t>(bytes);
    limit.rlim_max = static_cast<rlim_t>(bytes);
    setrlimit(RLIMIT_FSIZE, &limit);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3 && !(argc == 5 && std::string(argv[3]) == "--file-size-limit")) {
        std::fprintf(stderr, "usage: spell_list_writer LIST WORDFILE [--file-size-limit BYTES]\n");
        return 2;
    }
    const std::string list = argv[1];
    const std::vector<std::string> words = ReadWords(argv[2]);
    if (argc == 5) {
        LimitFileSize(std::atol(argv[4]));
    }
    TZizadSpell speller;
    std::error_code error;
    const int section = std::filesystem::exists(list, error) ? speller.OpenUserList(list)
                                                             : speller.CreateUserList(list);
    if (section < 0) {
        std::printf("cannot open %s\n", list.c_str());
        return 2;
    }
    int result = 0;
    for (const auto& word : words) {
        const bool added = speller.AddWord(word, section);
        std::printf("%s %s\n", added ? "added" : "refused", word.c_str());
        std::fflush(stdout);
        result = added ? result : 1;
    }
    return result;
}
