#pragma once

#include <string>
#include <string_view>

// The outcome of adding a word to a user list (TZizadSpell::LastAddResult).
enum class AddWordResult {
    awAdded,
    awNoUserList,  // no such section, or it belongs to a main list
    awEmpty,       // the word has no characters
    awTooLong,     // more than 25 characters
    awBadLetter,   // a character the lists' alphabet lacks
    awListFull,    // the list would pass its node limit
    awListBusy,    // another program kept the list locked too long
    awListDamaged, // the list is damaged and could not be repaired
    awWriteFailed, // the changed list could not be written (a full disk, no permission)
};

// Why a word (given as UTF-8) was refused, as the end of a sentence ("... was not
// added: <reason>"); names the first character the lists cannot store when that is the
// reason.
std::string AddWordRefusalReason(AddWordResult result, std::string_view utf8Word);

// The first character (UTF-8) of a UTF-8 word that no list can store: one outside
// Windows-1252 or without a letter code. Empty when there is none.
std::string FirstUnstorableCharacter(std::string_view utf8Word);
