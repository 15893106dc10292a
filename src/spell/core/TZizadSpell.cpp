#include "spell/core/TZizadSpell.h"

#include <algorithm>
#include <array>

#include "spell/core/DictionaryFile.h"
#include "spell/core/DictionaryFormat.h"
#include "spell/core/DictionarySection.h"
#include "spell/core/PhoneticKey.h"
#include "spell/core/SimilarityScore.h"
#include "spell/core/SpellAlphabet.h"
#include "spell/core/SuggestionTable.h"
#include "spell/core/UserListInserter.h"

namespace {

constexpr int kLastSectionNumber = 0xFFFE;

const char kUserBanner[] = "Quillpost user word list\r\nWords added during spell checks.\r\n";

// The file offset just behind the banner's closing byte 26, or -1 when there is none.
std::int64_t SectionsStart(const DictionaryFile& file) {
    std::array<char, 4096> buffer{};
    std::int64_t position = 0;
    while (true) {
        const std::size_t n = file.ReadAt(position, buffer.data(), buffer.size());
        if (n == 0) {
            return -1;
        }
        const auto end = std::find(buffer.begin(), buffer.begin() + static_cast<long>(n),
                                   static_cast<char>(DictionaryFormat::BannerEnd));
        if (end != buffer.begin() + static_cast<long>(n)) {
            return position + (end - buffer.begin()) + 1;
        }
        position += static_cast<std::int64_t>(n);
    }
}

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

bool WriteNewUserList(DictionaryFile& file) {
    std::string bytes(kUserBanner);
    bytes.push_back(static_cast<char>(DictionaryFormat::BannerEnd));
    SectionHeader header;
    header.nodesInUse = 1;
    header.capacity = DictionaryFormat::UserListCapacity;
    header.wordCounter = 1;
    header.kind = 0;
    header.headerOffset = static_cast<std::int32_t>(bytes.size());
    const auto encodedHeader = header.Encode();
    bytes.append(encodedHeader.begin(), encodedHeader.end());
    // Node 1 holds "A"; the empty slots repeat its flags with no child list.
    const std::uint8_t flags = DictionaryFormat::LastSiblingBit | DictionaryFormat::WordEndBit;
    const DictionaryNode first{0, flags};
    const DictionaryNode empty{DictionaryFormat::NoChild, flags};
    for (int i = 1; i <= DictionaryFormat::UserListCapacity; ++i) {
        const auto encoded = (i == 1 ? first : empty).Encode();
        bytes.append(encoded.begin(), encoded.end());
    }
    return file.WriteAt(0, bytes.data(), bytes.size());
}

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
    std::int64_t position = SectionsStart(*file);
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
    const std::int64_t position = SectionsStart(*file);
    const auto header = ReadHeader(*file, position, false);
    if (position < 0 || !header || header->IsMainList()) {
        return -1;
    }
    const int number = NextSectionNumber();
    sections_.push_back(
        std::make_unique<DictionarySection>(std::move(file), *header, position, false, number));
    return number;
}

int TZizadSpell::CreateUserList(const std::string& fileName,
                                const std::vector<std::string>& words) {
    {
        auto file = DictionaryFile::Create(fileName);
        if (!file || !WriteNewUserList(*file)) {
            return -1;
        }
    }
    const int number = OpenUserList(fileName);
    if (number >= 0) {
        for (const auto& word : words) {
            AddWord(word, number);
        }
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
            section->ReloadHeader();
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
    DictionarySection* target = FindSection(section);
    if (!target || target->IsMainList() || !target->IsWritable()) {
        return false;
    }
    // Another engine may have added words since the last lookup.
    if (!target->ReloadHeader()) {
        return false;
    }
    const auto codes = LetterCodes(SpellAlphabet::UpperCase(word));
    if (!codes) {
        return false;
    }
    return UserListInserter(*target).AddWord(*codes);
}
