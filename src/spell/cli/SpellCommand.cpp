#include "spell/cli/SpellCommand.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>

#include "spell/core/AddWordResult.h"
#include "spell/core/DictionaryBuilder.h"
#include "spell/core/SpellDictionaryFiles.h"
#include "spell/core/TZizadSpell.h"
#include "spell/core/Windows1252.h"

namespace {

constexpr int kUsageError = 2;

const char kUsage[] = "usage: qpx spell check WORD... [--main FILE] [--user FILE]\n"
                      "       qpx spell suggest WORD [--main FILE] [--user FILE] [--max N]\n"
                      "       qpx spell add WORD... [--main FILE] [--user FILE]\n"
                      "       qpx spell build WORDLIST -o FILE\n";

struct Options {
    std::vector<std::string> words;
    std::string mainList;
    std::string userList;
    std::string output;
    int maxSuggestions = 10;
};

int Usage(const std::string& problem) {
    std::cerr << "qpx spell: " << problem << "\n" << kUsage;
    return kUsageError;
}

// Splits the arguments after the subcommand into words and options.
std::optional<Options> ParseOptions(const std::vector<std::string>& args, std::string& problem) {
    Options options;
    options.mainList = SpellDictionaryFiles::MainListPath();
    options.userList = SpellDictionaryFiles::UserListPath();
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool takesValue = arg == "--main" || arg == "--user" || arg == "-o" || arg == "--max";
        if (takesValue && i + 1 >= args.size()) {
            problem = arg + " needs a value";
            return std::nullopt;
        }
        if (arg == "--main") {
            options.mainList = args[++i];
        } else if (arg == "--user") {
            options.userList = args[++i];
        } else if (arg == "-o") {
            options.output = args[++i];
        } else if (arg == "--max") {
            try {
                options.maxSuggestions = std::stoi(args[++i]);
            } catch (const std::exception&) {
                problem = "--max needs a number";
                return std::nullopt;
            }
        } else if (arg.size() > 1 && arg[0] == '-' && arg[1] == '-') {
            problem = "unknown option " + arg;
            return std::nullopt;
        } else {
            options.words.push_back(arg);
        }
    }
    return options;
}

// Tells about damaged user lists the engine found (and repaired where it could); true
// when there was one.
bool ReportRepairs(TZizadSpell& speller) {
    const auto repairs = speller.TakeUserListRepairs();
    for (const auto& repair : repairs) {
        std::cerr << "qpx spell: " << DescribeUserListRepair(repair) << "\n";
    }
    return !repairs.empty();
}

// Opens the main list (installing the delivered one into the data folder when the
// default is asked for) and the user list when it exists. False when the main list
// cannot be opened.
bool OpenLists(TZizadSpell& speller, const Options& options, int* userSection) {
    if (options.mainList == SpellDictionaryFiles::MainListPath()) {
        SpellDictionaryFiles::InstallMainList();
    }
    speller.SetDictionaryName(options.mainList);
    if (!speller.OpenMainList(options.mainList)) {
        std::cerr << "qpx spell: cannot open the main word list " << options.mainList << "\n";
        return false;
    }
    int section = -1;
    std::error_code error;
    if (std::filesystem::exists(options.userList, error)) {
        section = speller.OpenUserList(options.userList);
        const bool damaged = ReportRepairs(speller);
        if (section < 0 && !damaged) {
            std::cerr << "qpx spell: " << options.userList << " is not a user word list\n";
        }
    }
    if (userSection) {
        *userSection = section;
    }
    return true;
}

int Check(const Options& options) {
    if (options.words.empty()) {
        return Usage("check needs at least one word");
    }
    TZizadSpell speller;
    if (!OpenLists(speller, options, nullptr)) {
        return 1;
    }
    bool allKnown = true;
    for (const auto& word : options.words) {
        // A one-letter word is correct whatever the letter; a longer word with characters
        // outside Windows-1252 cannot be in any list.
        const auto bytes = Windows1252::FromUtf8(word);
        const bool known =
            Windows1252::CharacterCount(word) <= 1 || (bytes && speller.CheckWord(*bytes));
        allKnown = allKnown && known;
        std::cout << word << ": " << (known ? "known" : "unknown") << "\n";
    }
    return allKnown ? 0 : 1;
}

int Suggest(Options options) {
    if (options.words.size() != 1) {
        return Usage("suggest takes one word");
    }
    TZizadSpell speller;
    speller.SetMaxSuggestions(options.maxSuggestions);
    if (!OpenLists(speller, options, nullptr)) {
        return 1;
    }
    const auto bytes = Windows1252::FromUtf8(options.words.front());
    if (!bytes) {
        return 0;
    }
    for (const auto& suggestion : speller.Suggestions(*bytes)) {
        std::cout << Windows1252::ToUtf8(suggestion) << "\n";
    }
    return 0;
}

int Add(const Options& options) {
    if (options.words.empty()) {
        return Usage("add needs at least one word");
    }
    TZizadSpell speller;
    int section = -1;
    std::error_code error;
    if (std::filesystem::exists(options.userList, error)) {
        section = speller.OpenUserList(options.userList);
    } else {
        section = speller.CreateUserList(options.userList);
    }
    ReportRepairs(speller);
    if (section < 0) {
        std::cerr << "qpx spell: cannot open or create the user word list " << options.userList
                  << "\n";
        return 1;
    }
    int result = 0;
    for (const auto& word : options.words) {
        const auto bytes = Windows1252::FromUtf8(word);
        const bool added = bytes && speller.AddWord(*bytes, section);
        ReportRepairs(speller);
        if (!added) {
            const AddWordResult why = bytes ? speller.LastAddResult() : AddWordResult::awBadLetter;
            std::cerr << "qpx spell: " << word
                      << " was not added: " << AddWordRefusalReason(why, word) << "\n";
            result = 1;
        }
    }
    return result;
}

int Build(const Options& options) {
    if (options.words.size() != 1 || options.output.empty()) {
        return Usage("build needs a word list and -o FILE");
    }
    std::ifstream in(options.words.front());
    if (!in) {
        std::cerr << "qpx spell: cannot read " << options.words.front() << "\n";
        return 1;
    }
    DictionaryBuilder builder;
    int skipped = 0;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.empty()) {
            continue;
        }
        const auto bytes = Windows1252::FromUtf8(line);
        if (!bytes || !builder.AddWord(*bytes)) {
            ++skipped;
        }
    }
    std::string error;
    if (!builder.Write(options.output, &error)) {
        std::cerr << "qpx spell: " << error << "\n";
        return 1;
    }
    const std::size_t sections = builder.SectionNodeCounts().size();
    std::cout << options.output << ": " << builder.WordCount() << " words in " << sections
              << (sections == 1 ? " section" : " sections");
    if (skipped > 0) {
        std::cout << " (" << skipped << " lines left out)";
    }
    std::cout << "\n";
    return 0;
}

} // namespace

int QpxSpell(const std::vector<std::string>& args) {
    if (args.empty()) {
        return Usage("missing subcommand");
    }
    if (args[0] == "--help" || args[0] == "-h") {
        std::cout << kUsage;
        return 0;
    }
    std::string problem;
    auto options = ParseOptions(args, problem);
    if (!options) {
        return Usage(problem);
    }
    const std::string& command = args.front();
    if (command == "check") {
        return Check(*options);
    }
    if (command == "suggest") {
        return Suggest(*options);
    }
    if (command == "add") {
        return Add(*options);
    }
    if (command == "build") {
        return Build(*options);
    }
    return Usage("unknown subcommand " + command);
}
