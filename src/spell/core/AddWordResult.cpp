#include "spell/core/AddWordResult.h"

#include <algorithm>

#include "spell/core/SpellAlphabet.h"
#include "spell/core/Windows1252.h"

namespace {

// Bytes in the UTF-8 character that starts with `lead` (1 for stray bytes).
std::size_t Utf8CharacterLength(unsigned char lead) {
    if (lead >= 0xF0 && lead < 0xF8) {
        return 4;
    }
    if (lead >= 0xE0) {
        return lead < 0xF0 ? 3 : 1;
    }
    return lead >= 0xC0 ? 2 : 1;
}

} // namespace

std::string FirstUnstorableCharacter(std::string_view utf8Word) {
    for (std::size_t at = 0; at < utf8Word.size();) {
        const std::size_t length = std::min(
            Utf8CharacterLength(static_cast<unsigned char>(utf8Word[at])), utf8Word.size() - at);
        const std::string_view character = utf8Word.substr(at, length);
        const auto bytes = Windows1252::FromUtf8(character);
        if (!bytes || bytes->size() != 1 ||
            SpellAlphabet::LetterCode(static_cast<unsigned char>((*bytes)[0])) ==
                SpellAlphabet::NoLetterCode) {
            return std::string(character);
        }
        at += length;
    }
    return {};
}

std::string AddWordRefusalReason(AddWordResult result, std::string_view utf8Word) {
    if (result == AddWordResult::awBadLetter) {
        const std::string character = FirstUnstorableCharacter(utf8Word);
        if (!character.empty()) {
            return "the word list cannot store the letter \"" + character + "\"";
        }
    }
    switch (result) {
    case AddWordResult::awAdded:
        return "it was added";
    case AddWordResult::awNoUserList:
        return "there is no user word list to add it to";
    case AddWordResult::awEmpty:
        return "there is no word";
    case AddWordResult::awTooLong:
        return "words longer than 25 letters cannot be stored";
    case AddWordResult::awBadLetter:
        return "the word list cannot store one of its characters";
    case AddWordResult::awListFull:
        return "the word list is full";
    case AddWordResult::awListBusy:
        return "the word list is in use by another program; please try again";
    case AddWordResult::awListDamaged:
        return "the word list is damaged and could not be repaired";
    case AddWordResult::awWriteFailed:
        return "the word list could not be written (is the disk full?)";
    }
    return "unknown reason";
}
