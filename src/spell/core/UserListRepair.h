#pragma once

#include <string>

// What became of a damaged user list the engine found (see TZizadSpell::OpenUserList
// and AddWord): kept aside under a backup name with its readable words carried into a
// new list, or left untouched because no new list could be written.
struct UserListRepair {
    std::string listPath;
    // Where the damaged file was kept; empty when it was not repaired.
    std::string backupPath;
    // Distinct words read from the damaged list into the new one.
    int wordsRecovered = 0;
    bool repaired = false;
    // Why it was not repaired.
    std::string problem;
};

// The message for the user, in one or two sentences.
std::string DescribeUserListRepair(const UserListRepair& repair);
