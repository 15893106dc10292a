#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class DictionaryFile;
class DictionarySection;
class SuggestionTable;

// The spelling engine: reads a main word list and user word lists from dictionary files,
// decides whether a word is known, proposes replacements and adds words to a user list.
// Words are Windows-1252 bytes; case does not matter to the lists.
//
// An open dictionary is a chain of sections: those of the main list first, then those of
// the user lists in the order they were opened. Every section has a number (0 to 0xFFFE,
// then counting starts again at 0); AddWord names a user section by it.
class TZizadSpell final {
public:
    static constexpr int MaxStoredSuggestions = 220;
    static constexpr int MaxPrefixLength = 40;

    TZizadSpell();
    ~TZizadSpell();
    TZizadSpell(const TZizadSpell&) = delete;
    TZizadSpell& operator=(const TZizadSpell&) = delete;

    // Main list file, opened on demand by CheckWord and Suggestions (default "zizad.dct").
    const std::string& DictionaryName() const { return dictionaryName_; }
    void SetDictionaryName(const std::string& name) { dictionaryName_ = name; }
    // User list file name (default "custom.dct").
    const std::string& DictionaryUser() const { return dictionaryUser_; }
    void SetDictionaryUser(const std::string& name) { dictionaryUser_ = name; }
    // Most suggestions returned (default 10; values above 220 are stored as 220, below 0
    // as 0).
    int MaxSuggestions() const { return maxSuggestions_; }
    void SetMaxSuggestions(int count);

    // Opens a main list with all its sections. False when a main list is already open,
    // the file cannot be opened, or its first section is not a main list section.
    bool OpenMainList(const std::string& fileName);
    // Opens a user list; its section number, or -1 when the file is missing, cannot be
    // written or is not a user list.
    int OpenUserList(const std::string& fileName);
    // Writes a new user list (holding the word "A"), opens it and adds `words` to it; its
    // section number, or -1 when the file cannot be written.
    int CreateUserList(const std::string& fileName, const std::vector<std::string>& words = {});
    // Closes the main list and every section; does nothing when no main list is open.
    void Close();

    bool IsMainListOpen() const { return mainListOpen_; }
    int SectionCount() const { return static_cast<int>(sections_.size()); }

    // True when the word is in a list. Words of 0 or 1 characters are always correct; a
    // word ending in 'S is also correct when the word without it is listed.
    bool CheckWord(std::string_view word);
    // Replacements for a word, best first, at most MaxSuggestions, capitalised like the
    // word as typed.
    std::vector<std::string> Suggestions(std::string_view word);
    // Adds a word to the user section with that number. False when there is no such
    // section, it is not a user list, the word is longer than 25 characters or holds a
    // character no list can store, or the section would exceed its node limit.
    bool AddWord(std::string_view word, int section);

private:
    struct SearchState;

    int NextSectionNumber();
    void EnsureMainList();
    void ReloadUserHeaders();
    bool IsListed(const std::string& upperWord);
    bool FindInSections(const std::vector<int>& codes);
    void WalkList(DictionarySection& section, int listStart, std::string& prefix,
                  SearchState& state);
    void AddSplitWords(SearchState& state);
    DictionarySection* FindSection(int number);

    std::string dictionaryName_ = "zizad.dct";
    std::string dictionaryUser_ = "custom.dct";
    int maxSuggestions_ = 10;
    bool mainListOpen_ = false;
    int sectionCounter_ = 0;
    std::vector<std::unique_ptr<DictionarySection>> sections_;
};
