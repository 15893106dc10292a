#include "spell/core/TZizadSpell.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <system_error>
#include <utility>

#include "spell/core/DictionaryFile.h"
#include "spell/core/DictionaryFormat.h"
#include "spell/core/DictionarySection.h"
#include "spell/core/PhoneticKey.h"
#include "spell/core/SimilarityScore.h"
#include "spell/core/SpellAlphabet.h"
#include "spell/core/SuggestionTable.h"
#include "spell/core/UserListInserter.h"
#include "spell/core/UserListStructure.h"

namespace {

constexpr int kLastSectionNumber = 0xFFFE;

std::optional<SectionHeader> ReadHeader(const DictionaryFile& file, std::int64_t position,
                                        bool mainList) {
    unsigned char bytes[DictionaryFormat::HeaderSize];
    if (!file.ReadExactly(position, bytes, sizeof bytes)) {
        return std::nullopt;
    }
    const SectionHeader header = SectionHeader::Decode(bytes);
    if (!DictionarySection::IsPlausible(header, mainList)) {
        return std::nullopt;
    }
    return header;
}

// The letter codes of an upper-cased word, or nothing when a character has none.
std::optional<std::vector<int>> LetterCodes(std::string_view upperWord) {
    std::vector<int> codes;
    codes.reserve(upperWord.size());
    for (unsigned char c : upperWord) {
        const int code = SpellAlphabet::LetterCode(c);
        if (code == SpellAlphabet::NoLetterCode) {
            return std::nullopt;
        }
        codes.push_back(code);
    }
    return codes;
}

bool EndsInApostropheS(std::string_view upperWord) {
    return upperWord.size() >= 2 && upperWord.substr(upperWord.size() - 2) == "'S";
}

bool IsAOrI(char c) {
    return c == 'A' || c == 'I';
}

// The letter codes of every word that a list can take (upper-cased, 1 to 25 letters of
// the alphabet); the others are left out.
std::vector<std::vector<int>> StorableWords(const std::vector<std::string>& words) {
    std::vector<std::vector<int>> storable;
    for (const auto& word : words) {
        const std::string upper = SpellAlphabet::UpperCase(word);
        const auto codes = LetterCodes(upper);
        if (codes && !codes->empty() &&
            static_cast<int>(codes->size()) <= DictionaryFormat::MaxWordLength) {
            storable.push_back(*codes);
        }
    }
    return storable;
}

// A free name beside the list for keeping a damaged one: "<list>.damaged", then
// "<list>.damaged2", ...
std::string BackupName(const std::string& listPath, int attempt) {
    return listPath + ".damaged" + (attempt == 1 ? std::string() : std::to_string(attempt));
}

constexpr int kBackupNames = 99;

} // namespace

// What one suggestion search works with.
struct TZizadSpell::SearchState {
    std::string word; // upper-cased, cut to 25 characters
    std::string key;  // the word's key, first character set to the letter being tried
    SuggestionTable table;
    int budget = 0; // nodes a walk may still visit (guards against damaged tries)

    void Offer(const std::string& candidate) {
        table.Insert(candidate, SimilarityScore(candidate, word));
    }
};

TZizadSpell::TZizadSpell() = default;

TZizadSpell::~TZizadSpell() = default;

void TZizadSpell::SetMaxSuggestions(int count) {
    maxSuggestions_ = std::clamp(count, 0, MaxStoredSuggestions);
}

int TZizadSpell::NextSectionNumber() {
    const int number = sectionCounter_;
    sectionCounter_ = sectionCounter_ >= kLastSectionNumber ? 0 : sectionCounter_ + 1;
    return number;
}

bool TZizadSpell::OpenMainList(const std::string& fileName) {
    if (mainListOpen_) {
        return false;
    }
    auto file = DictionaryFile::OpenReadOnly(fileName);
    if (!file) {
        return false;
    }
    const std::int64_t size = file->Size();
    std::int64_t position = file->SectionsStart();
    std::vector<std::unique_ptr<DictionarySection>> loaded;
    while (position >= 0) {
        const auto header = ReadHeader(*file, position, true);
        if (!header || (loaded.empty() && !header->IsMainList())) {
            break;
        }
        loaded.push_back(std::make_unique<DictionarySection>(file, *header, position, true,
                                                             NextSectionNumber()));
        position = loaded.back()->EndOfCapacity();
        if (size - position < DictionaryFormat::MinimumSectionBytes) {
            break;
        }
    }
    if (loaded.empty()) {
        return false;
    }
    // Main sections go in front of any user sections opened before.
    sections_.insert(sections_.begin(), std::make_move_iterator(loaded.begin()),
                     std::make_move_iterator(loaded.end()));
    mainListOpen_ = true;
    return true;
}

int TZizadSpell::OpenUserList(const std::string& fileName) {
    auto file = DictionaryFile::OpenReadWrite(fileName);
    if (!file) {
        return -1;
    }
    auto list = ReadUserList(*file);
    if (list && !UserListStructure::IsSound(*list)) {
        if (!file->Lock(DictionaryFile::LockKind::lkExclusive, WriterWait)) {
            ReportUnrepaired(*file, "it is in use by another program");
            return -1;
        }
        // Read again under the lock: another engine may have repaired it meanwhile.
        std::string bytes;
        list = file->ReadAll(bytes) ? UserListImage::FromBytes(std::move(bytes)) : std::nullopt;
        if (list && !UserListStructure::IsSound(*list)) {
            list = RepairLocked(*file, *list);
        }
        file->Unlock();
    }
    if (!list) {
        return -1;
    }
    const int number = NextSectionNumber();
    sections_.push_back(std::make_unique<DictionarySection>(std::move(file), list->Header(),
                                                            list->HeaderPosition(), false, number));
    return number;
}

// The whole user list as it is now (read under a shared lock), or nothing when the file
// holds no user list.
std::optional<UserListImage> TZizadSpell::ReadUserList(DictionaryFile& file) {
    const bool locked = file.Lock(DictionaryFile::LockKind::lkShared, ReaderWait);
    std::string bytes;
    const bool read = file.ReadAll(bytes);
    if (locked) {
        file.Unlock();
    }
    return read ? UserListImage::FromBytes(std::move(bytes)) : std::nullopt;
}

// Keeps the damaged list under a backup name and replaces it by a new list holding every
// word still reachable in it. Runs under the exclusive lock. The new list is complete on
// disk before the old one goes, so a crash in between leaves the damaged list in place
// (and it is repaired at the next open). The new list, or nothing (with the list left as
// it was) when it cannot be written.
std::optional<UserListImage> TZizadSpell::RepairLocked(DictionaryFile& file,
                                                       const UserListImage& damaged) {
    UserListImage repaired = UserListImage::NewList();
    int recovered = 0;
    for (const auto& codes : UserListStructure::ReachableWords(damaged)) {
        recovered += UserListInserter(repaired).AddWord(codes) ? 1 : 0;
    }
    std::string backup;
    for (int attempt = 1; attempt <= kBackupNames && backup.empty(); ++attempt) {
        if (file.KeepAs(BackupName(file.Path(), attempt))) {
            backup = BackupName(file.Path(), attempt);
        }
    }
    if (backup.empty()) {
        ReportUnrepaired(file, "no backup of it could be written");
        return std::nullopt;
    }
    if (!file.Replace(repaired.Bytes())) {
        std::error_code ignored;
        std::filesystem::remove(backup, ignored); // the list itself is still there
        ReportUnrepaired(file, "no new word list could be written");
        return std::nullopt;
    }
    UserListRepair repair;
    repair.listPath = file.Path();
    repair.backupPath = backup;
    repair.wordsRecovered = recovered;
    repair.repaired = true;
    repairs_.push_back(repair);
    return repaired;
}

void TZizadSpell::ReportUnrepaired(const DictionaryFile& file, const std::string& problem) {
    UserListRepair repair;
    repair.listPath = file.Path();
    repair.problem = problem;
    repairs_.push_back(repair);
}

std::vector<UserListRepair> TZizadSpell::TakeUserListRepairs() {
    return std::exchange(repairs_, {});
}

int TZizadSpell::CreateUserList(const std::string& fileName,
                                const std::vector<std::string>& words) {
    const auto storable = StorableWords(words);
    UserListImage list = UserListImage::NewList();
    for (const auto& codes : storable) {
        UserListInserter(list).AddWord(codes);
    }
    const auto created = DictionaryFile::CreateExclusive(fileName, list.Bytes());
    if (created == DictionaryFile::CreateResult::crFailed) {
        return -1;
    }
    const int number = OpenUserList(fileName);
    if (number >= 0 && created == DictionaryFile::CreateResult::crExists && !storable.empty()) {
        // Another engine made the list first: add the words to it.
        AddCodes(*FindSection(number), storable);
    }
    return number;
}

void TZizadSpell::Close() {
    if (!mainListOpen_) {
        return;
    }
    sections_.clear();
    mainListOpen_ = false;
}

void TZizadSpell::EnsureMainList() {
    if (!mainListOpen_) {
        OpenMainList(dictionaryName_);
    }
}

void TZizadSpell::ReloadUserHeaders() {
    for (auto& section : sections_) {
        if (!section->IsMainList()) {
            section->ReloadHeader(ReaderWait);
        }
    }
}

bool TZizadSpell::FindInSections(const std::vector<int>& codes) {
    for (auto& section : sections_) {
        if (section->ContainsWord(codes)) {
            return true;
        }
    }
    return false;
}

bool TZizadSpell::IsListed(const std::string& upperWord) {
    const auto codes = LetterCodes(upperWord);
    if (codes && FindInSections(*codes)) {
        return true;
    }
    if (EndsInApostropheS(upperWord)) {
        const auto base = LetterCodes(std::string_view(upperWord).substr(0, upperWord.size() - 2));
        return base && FindInSections(*base);
    }
    return false;
}

bool TZizadSpell::CheckWord(std::string_view word) {
    EnsureMainList();
    ReloadUserHeaders();
    const std::string upper = SpellAlphabet::UpperCase(word);
    if (upper.size() <= 1) {
        return true;
    }
    return IsListed(upper);
}

std::vector<std::string> TZizadSpell::Suggestions(std::string_view word) {
    EnsureMainList();
    ReloadUserHeaders();
    const std::string_view typed = word.substr(0, DictionaryFormat::MaxWordLength);
    SearchState state{SpellAlphabet::UpperCase(typed), {}, SuggestionTable(maxSuggestions_), 0};
    if (state.word.empty()) {
        return {};
    }
    const std::string wordKey = PhoneticKey::WordKey(state.word);
    for (char letter :
         PhoneticKey::FirstLetterAlternatives(static_cast<unsigned char>(state.word[0]))) {
        state.key = wordKey;
        state.key[0] = letter;
        for (auto& section : sections_) {
            std::string prefix;
            state.budget = section->NodesInUse();
            WalkList(*section, 1, prefix, state);
        }
    }
    AddSplitWords(state);
    std::vector<std::string> result;
    for (const auto& candidate : state.table.Words()) {
        result.push_back(SpellAlphabet::CapitaliseLike(candidate, typed));
    }
    return result;
}

// Offers every word ending in the sibling list at `listStart` and descends into the
// child lists whose prefix key still agrees with the word's key. In a sound trie every
// node is visited at most once, so the node budget only stops walks through damaged
// files that loop back on themselves.
void TZizadSpell::WalkList(DictionarySection& section, int listStart, std::string& prefix,
                           SearchState& state) {
    DictionaryNode node;
    for (int index = listStart;; ++index) {
        if (state.budget-- <= 0 || !section.ReadNode(index, node)) {
            return;
        }
        const char letter = static_cast<char>(SpellAlphabet::LetterOfFlags(node.flags));
        if (node.EndsWord()) {
            state.Offer(prefix + letter);
        }
        if (node.HasChildList() && static_cast<int>(prefix.size()) < MaxPrefixLength) {
            prefix.push_back(letter);
            if (PhoneticKey::PrefixKey(prefix, state.key) == state.key) {
                WalkList(section, node.child, prefix, state);
            }
            prefix.pop_back();
        }
        if (node.IsLastSibling()) {
            return;
        }
    }
}

// Offers the word split in two where both parts are correct words.
void TZizadSpell::AddSplitWords(SearchState& state) {
    const std::string word = state.word;
    const int length = static_cast<int>(word.size());
    const int first = IsAOrI(word.front()) ? 1 : 2;
    const int last = IsAOrI(word.back()) ? length - 1 : length - 2;
    for (int split = first; split <= last; ++split) {
        const std::string left = word.substr(0, static_cast<std::size_t>(split));
        const std::string right = word.substr(static_cast<std::size_t>(split));
        if (CheckWord(left) && CheckWord(right)) {
            state.Offer(left + " " + right);
        }
    }
}

DictionarySection* TZizadSpell::FindSection(int number) {
    for (auto& section : sections_) {
        if (section->Number() == number) {
            return section.get();
        }
    }
    return nullptr;
}

bool TZizadSpell::AddWord(std::string_view word, int section) {
    lastAddResult_ = AddWordResult::awAdded;
    DictionarySection* target = FindSection(section);
    const std::string upper = SpellAlphabet::UpperCase(word);
    const auto codes = LetterCodes(upper);
    if (!target || target->IsMainList() || !target->IsWritable()) {
        lastAddResult_ = AddWordResult::awNoUserList;
    } else if (upper.empty()) {
        lastAddResult_ = AddWordResult::awEmpty;
    } else if (static_cast<int>(upper.size()) > DictionaryFormat::MaxWordLength) {
        lastAddResult_ = AddWordResult::awTooLong;
    } else if (!codes) {
        lastAddResult_ = AddWordResult::awBadLetter;
    } else {
        lastAddResult_ = AddCodes(*target, {*codes});
    }
    return lastAddResult_ == AddWordResult::awAdded;
}

// Adds words to a user list as one change: locks the list, reads it whole, adds the
// words in memory and replaces the file. The list on disk is either as before or holds
// every word. A damaged list is repaired first (which replaces the file and so ends the
// lock), then the add starts again on the new list.
AddWordResult TZizadSpell::AddCodes(DictionarySection& section,
                                    const std::vector<std::vector<int>>& words) {
    DictionaryFile& file = section.File();
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!file.Lock(DictionaryFile::LockKind::lkExclusive, WriterWait)) {
            return AddWordResult::awListBusy;
        }
        std::string bytes;
        auto list = file.ReadAll(bytes) ? UserListImage::FromBytes(std::move(bytes)) : std::nullopt;
        if (list && !UserListStructure::IsSound(*list)) {
            list = RepairLocked(file, *list);
            if (list) {
                section.Adopt(list->Header(), list->HeaderPosition());
                continue;
            }
        }
        if (!list) {
            file.Unlock();
            return AddWordResult::awListDamaged;
        }
        const AddWordResult result = InsertAll(*list, words);
        if (result != AddWordResult::awAdded) {
            file.Unlock();
            return result;
        }
        if (!file.Replace(list->Bytes())) {
            file.Unlock();
            return AddWordResult::awWriteFailed;
        }
        section.Adopt(list->Header(), list->HeaderPosition());
        return AddWordResult::awAdded;
    }
    return AddWordResult::awListDamaged; // damaged again straight after its repair
}

AddWordResult TZizadSpell::InsertAll(UserListImage& list,
                                     const std::vector<std::vector<int>>& words) {
    for (const auto& codes : words) {
        if (list.NodesInUse() + static_cast<int>(codes.size()) > DictionaryFormat::MaxNodes) {
            return AddWordResult::awListFull;
        }
        if (!UserListInserter(list).AddWord(codes)) {
            return AddWordResult::awListDamaged;
        }
    }
    return AddWordResult::awAdded;
}
