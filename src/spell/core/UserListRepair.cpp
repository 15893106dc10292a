#include "spell/core/UserListRepair.h"

#include <filesystem>

std::string DescribeUserListRepair(const UserListRepair& repair) {
    const std::string name = std::filesystem::path(repair.listPath).filename().string();
    if (!repair.repaired) {
        return "Your word list \"" + name + "\" is damaged and could not be repaired (" +
               repair.problem + "). It has been left as it is, and words cannot be added to it.";
    }
    const std::string words = repair.wordsRecovered == 1
                                  ? "the 1 word that could still be read is"
                                  : "the " + std::to_string(repair.wordsRecovered) +
                                        " words that could still be read are";
    return "Your word list \"" + name + "\" was damaged. It has been kept as \"" +
           repair.backupPath + "\", and " + words + " in a new word list.";
}
