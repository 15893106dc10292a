#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "spell/core/AddWordResult.h"
#include "spell/core/UserListImage.h"
#include "spell/core/UserListRepair.h"

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
//
// User lists are shared safely between engines and programs: each add locks the list,
// reads it whole, changes it in memory and replaces the file whole (see DictionaryFile),
// so writers never undo each other's words and a writer that dies loses at most its own
// word. A user list found damaged is kept aside under a backup name and its readable
// words are carried into a new list; TakeUserListRepairs tells what happened.
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
    // written or is not a user list. A damaged list is repaired first (see
    // TakeUserListRepairs); -1 when that is not possible.
    int OpenUserList(const std::string& fileName);
    // Makes a new user list holding the word "A" and `words`, and opens it; its section
    // number, or -1 when the file cannot be written. When another engine made the list
    // first, that list is opened and the words are added to it: an existing list is
    // never overwritten.
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
    // Why the last AddWord refused its word (awAdded when it did not).
    AddWordResult LastAddResult() const { return lastAddResult_; }

    // The damaged user lists found since the last call, each reported once.
    std::vector<UserListRepair> TakeUserListRepairs();

    // How long an add waits for another writer, and a lookup for a writer to finish.
    static constexpr std::chrono::milliseconds WriterWait{20000};
    static constexpr std::chrono::milliseconds ReaderWait{2000};

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
    AddWordResult AddCodes(DictionarySection& section, const std::vector<std::vector<int>>& words);
    static AddWordResult InsertAll(UserListImage& list, const std::vector<std::vector<int>>& words);
    std::optional<UserListImage> ReadUserList(DictionaryFile& file);
    std::optional<UserListImage> RepairLocked(DictionaryFile& file, const UserListImage& damaged);
    void ReportUnrepaired(const DictionaryFile& file, const std::string& problem);

    std::string dictionaryName_ = "zizad.dct";
    std::string dictionaryUser_ = "custom.dct";
    int maxSuggestions_ = 10;
    bool mainListOpen_ = false;
    int sectionCounter_ = 0;
    std::vector<std::unique_ptr<DictionarySection>> sections_;
    AddWordResult lastAddResult_ = AddWordResult::awAdded;
    std::vector<UserListRepair> repairs_;
};
